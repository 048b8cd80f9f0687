#include "geometry/datum.h"

namespace zalor {

std::string_view DatumName(Datum datum)
{
    switch (datum) {
    case Datum::Nad83: return "NAD83";
    case Datum::Nad27: return "NAD27";
    case Datum::OldHawaiian: return "Old Hawaiian";
    case Datum::PuertoRico: return "Puerto Rico";
    case Datum::Guam1963: return "Guam 1963";
    case Datum::AmericanSamoa1962: return "American Samoa 1962";
    }
    return "NAD83";
}

int DatumEpsg(Datum datum)
{
    switch (datum) {
    case Datum::Nad83: return 4269;
    case Datum::Nad27: return 4267;
    case Datum::OldHawaiian: return 4135;
    case Datum::PuertoRico: return 4139;
    case Datum::Guam1963: return 4675;
    case Datum::AmericanSamoa1962: return 4169;
    }
    return 4269;
}

} // namespace zalor
