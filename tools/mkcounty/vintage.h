// The TIGER/Line releases the generator writes: Census 2000 (2000), 2002,
// 2003, 2004, 2005 and the 2006 Second Edition (2006). One seed gives the
// same county in each; the record layouts, the set of record files and the
// codes they carry differ.
#pragma once

namespace mkcounty {

inline bool KnownVintage(int year)
{
    return year == 2000 || year == 2002 || year == 2003 || year == 2004 || year == 2005 || year == 2006;
}

// The version code of columns 2-5 (MMYY of a month of the release).
inline const char* VersionCode(int year)
{
    switch (year) {
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

} // namespace mkcounty
