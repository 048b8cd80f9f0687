// The TIGER/Line record files of a synthetic county, in the layouts of the
// county's vintage (vintage.h).
#pragma once

#include "model.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mkcounty {

// The record files: (file name, contents). RT1, RT2, RT4, RT5, RT7, RT8,
// RT9, RTA, RTC, RTI, RTS for 2000; from 2002 RTP takes the place of RT9.
// Before 2000 RT3 and RTP join the eleven of 2000, and the 1990 Census and
// 1992 files have no RT9, RTC or RTS. Records end in CR LF, or LF with
// `lfOnly`.
std::vector<std::pair<std::string, std::string>> RecordFiles(const County& c, bool lfOnly);

// A record of `length` characters, blank-filled, whose fields are set by
// 1-based column.
class Record {
public:
    explicit Record(int length);
    // Left-justified, blank-padded (cut to the width).
    void Text(int col, int width, std::string_view s);
    // Right-justified, blank-padded (cut to the width).
    void Right(int col, int width, std::string_view s);
    // Right-justified decimal number.
    void Number(int col, int width, int64_t v);
    // Signed, zero-padded coordinate: "-087654321" (10 columns) or
    // "+41500000" (9 columns).
    void Coordinate(int col, int width, int32_t v);
    void AppendTo(std::string& out, bool lfOnly) const;
    std::string_view View() const { return std::string_view(buf_, static_cast<size_t>(length_)); }

private:
    char buf_[256];
    int length_;
};

// A record of type `type` with the county's version code in columns 2-5.
Record Versioned(const County& c, char type, int length);
// The file code (6-10) and the polygon key, CENID (11-15) and POLYID (16-25),
// of the records that describe a polygon.
void PolygonKey(const County& c, int32_t polyid, Record& r);

// The polygon's RTS, RTA and RTP records and the RT9 record of a key
// geographic location in one polygon (also read back by the truth writer).
Record RtsRecord(const County& c, const Polygon& p);
Record RtaRecord(const County& c, const Polygon& p);
Record RtpRecord(const County& c, const Polygon& p);
Record Rt9Record(const County& c, const KeyLocation& k, int32_t polyid);

} // namespace mkcounty
