// Hand-made TIGER/Line records for the reader tests.
#pragma once

#include "support/recorder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace zalor::test {

// A record of `length` characters (line end included) with `fields` put at
// their 1-based columns; blanks elsewhere; CR LF at the end.
inline std::string Record(int length, const std::vector<std::pair<int, std::string>>& fields)
{
    std::string r(static_cast<std::size_t>(length - 2), ' ');
    for (const auto& [col, text] : fields)
        for (std::size_t i = 0; i < text.size() && col - 1 + i < r.size(); ++i) r[col - 1 + i] = text[i];
    return r + "\r\n";
}

// A signed, zero-padded number as TIGER writes coordinates: Signed(-87654321, 10) is "-087654321".
inline std::string Signed(int64_t v, int width)
{
    std::string digits = std::to_string(v < 0 ? -v : v);
    std::string s = (v < 0 ? "-" : "+") + std::string(width - 1 - static_cast<int>(digits.size()), '0') + digits;
    return s;
}

// A right-justified number.
inline std::string Right(const std::string& text, int width)
{
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}
inline std::string Right(int64_t v, int width) { return Right(std::to_string(v), width); }

struct Rt1 {
    int32_t tlid = 0;
    std::string cfcc = "A41";
    std::string dirp, name, type;
    int32_t fraddl = 0, toaddl = 0, fraddr = 0, toaddr = 0;
    std::string zipl, zipr, fmcdl, fmcdr, fpll, fplr;
    int32_t fx = 0, fy = 0, tx = 0, ty = 0;
};

inline std::string Rt1Record(const Rt1& c)
{
    auto addr = [](int32_t v) { return v ? Right(v, 11) : std::string(); };
    return Record(230, {{1, "1"},
                        {2, "1006"},
                        {6, Right(c.tlid, 10)},
                        {18, c.dirp},
                        {20, c.name},
                        {50, c.type},
                        {56, c.cfcc},
                        {59, addr(c.fraddl)},
                        {70, addr(c.toaddl)},
                        {81, addr(c.fraddr)},
                        {92, addr(c.toaddr)},
                        {107, c.zipl},
                        {112, c.zipr},
                        {141, c.fmcdl},
                        {146, c.fmcdr},
                        {161, c.fpll},
                        {166, c.fplr},
                        {191, Signed(c.fx, 10)},
                        {201, Signed(c.fy, 9)},
                        {210, Signed(c.tx, 10)},
                        {220, Signed(c.ty, 9)}});
}

// One RT2 record with up to ten points; unused pairs are zeros.
inline std::string Rt2Record(int32_t tlid, int seq, const std::vector<std::pair<int32_t, int32_t>>& pts)
{
    std::vector<std::pair<int, std::string>> f = {{1, "2"}, {2, "1006"}, {6, Right(tlid, 10)}, {16, Right(seq, 3)}};
    for (int k = 0; k < 10; ++k) {
        auto p = k < static_cast<int>(pts.size()) ? pts[static_cast<std::size_t>(k)] : std::pair<int32_t, int32_t>{0, 0};
        f.push_back({19 + 19 * k, Signed(p.first, 10)});
        f.push_back({29 + 19 * k, Signed(p.second, 9)});
    }
    return Record(210, f);
}

inline std::string Rt4Record(int32_t tlid, int seq, int32_t f1, int32_t f2, int32_t f3)
{
    auto feat = [](int32_t v) { return v ? Right(v, 8) : std::string(); };
    return Record(60, {{1, "4"}, {6, Right(tlid, 10)}, {16, Right(seq, 3)}, {19, feat(f1)}, {27, feat(f2)},
                       {35, feat(f3)}});
}

inline std::string Rt5Record(const std::string& dirp, const std::string& name, const std::string& type,
                             const std::string& dirs)
{
    return Record(54, {{1, "5"}, {15, dirp}, {17, name}, {47, type}, {51, dirs}});
}

inline std::string RtiRecord(int32_t tlid, int32_t left, int32_t right)
{
    return Record(54, {{1, "I"}, {6, Right(tlid, 10)}, {27, Right(left, 10)}, {42, Right(right, 10)}});
}

inline std::string Rt7Record(int32_t land, const std::string& cfcc, const std::string& name, int32_t x, int32_t y)
{
    return Record(76, {{1, "7"}, {11, Right(land, 10)}, {22, cfcc}, {25, name}, {55, Signed(x, 10)},
                       {65, Signed(y, 9)}});
}

// An RTC record of the 112-character layout (114 with CR LF).
inline std::string RtcRecord(char type, const std::vector<std::pair<int, std::string>>& codes, const std::string& name)
{
    std::vector<std::pair<int, std::string>> f = codes;
    f.push_back({1, "C"});
    f.push_back({25, std::string(1, type)});
    f.push_back({53, name});
    return Record(114, f);
}

// The same text with every CR LF turned into LF.
inline std::string LfOnly(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    return out;
}

} // namespace zalor::test
