// The TIGER/Line record files of a synthetic county.
#pragma once

#include "model.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mkcounty {

// The eleven record files, in the order RT1, RT2, RT4, RT5, RT7, RT8, RT9,
// RTA, RTC, RTI, RTS: (file name, contents). Records end in CR LF, or LF
// with `lfOnly`.
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

// The polygon's RTS and RTA records (also read back by the truth writer).
Record RtsRecord(const County& c, const Polygon& p);
Record RtaRecord(const County& c, const Polygon& p);

} // namespace mkcounty
