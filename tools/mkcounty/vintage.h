// The TIGER/Line releases the generator writes: those of the 1990s (1990
// Census, 1992, 1994, 1995, 1997, 1998, 1999), Census 2000 (2000), 2002,
// 2003, 2004, 2005 and the 2006 Second Edition (2006). One seed gives the
// same county in each; the record layouts, the set of record files, the
// codes they carry and (before 1995, and for Hawaii and the Pacific until
// 2000) the datum of the coordinates differ.
#pragma once

namespace mkcounty {

inline bool KnownVintage(int year)
{
    switch (year) {
    case 1990:
    case 1992:
    case 1994:
    case 1995:
    case 1997:
    case 1998:
    case 1999:
    case 2000:
    case 2002:
    case 2003:
    case 2004:
    case 2005:
    case 2006: return true;
    default: return false;
    }
}

// The version code of columns 2-5: a fixed code up to 1995, then the MMYY
// of a month of the release.
inline const char* VersionCode(int year)
{
    switch (year) {
    case 1990: return "0003";
    case 1992: return "0005";
    case 1994: return "0021";
    case 1995: return "0024";
    case 1997: return "1097";
    case 1998: return "1298";
    case 1999: return "0700";
    case 2002: return "1002";
    case 2003: return "1203";
    case 2004: return "0404";
    case 2005: return "0505";
    case 2006: return "0806";
    default: return "0301";
    }
}

// From 2002 RTA holds the current codes and RTS the Census 2000 ones, the
// water flag moves to RTP, RT9 is gone and RT5, RTC and RTI grow.
inline bool CurrentLayouts(int year) { return year >= 2002; }

// Before 2000 RTC has a two-digit year and every field after the county
// two columns earlier, RTS has six-character legislative districts and no
// block group, ZCTA or collection block, and RT3 carries the 1990 codes of
// each chain side.
inline bool EarlyLayouts(int year) { return year < 2000; }

// The 1990 Census and 1992 files have no RTS, RTC or RT9: their polygons
// carry only the RTA codes.
inline bool HasAdditionalCodes(int year) { return year >= 1994; }

inline bool HasRt9(int year) { return HasAdditionalCodes(year) && !CurrentLayouts(year); }
inline bool HasRtp(int year) { return EarlyLayouts(year) || CurrentLayouts(year); }

} // namespace mkcounty
