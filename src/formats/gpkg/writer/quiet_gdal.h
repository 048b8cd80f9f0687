// GDAL as the GeoPackage writer uses it: its drivers registered once, and
// its messages kept quiet while it works for us.
#pragma once

#include <cpl_error.h>

#include <string>

namespace zalor {

// Registers GDAL's drivers, the first time only.
void RegisterGdal();

// GDAL's messages go nowhere while it works for us: a failure is read back
// with CPLGetLastErrorMsg and reported as the other formats' are.
class QuietGdal {
public:
    QuietGdal()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;

    static bool Failed() { return CPLGetLastErrorType() >= CE_Failure; }
    static std::string Message()
    {
        const char* m = CPLGetLastErrorMsg();
        return m && *m ? m : "unknown GDAL error";
    }
};

} // namespace zalor
