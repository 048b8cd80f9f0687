#include "formats/kxf/kxf_codec.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zalor {

namespace {

void PutLE32(unsigned char* p, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

int32_t GetLE32(const unsigned char* p)
{
    uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(u);
}

// The coded bytes of v into `out` (at least 4 bytes); returns their number.
int EncodeCoded(int32_t v, unsigned char* out)
{
    int64_t a = v < 0 ? -int64_t{v} : int64_t{v};
    if (a <= 63) {
        out[0] = static_cast<unsigned char>(static_cast<uint32_t>(v) * 2u);
        return 1;
    }
    if (a <= 8191) {
        uint32_t w = static_cast<uint32_t>(v) * 4u + 1u;
        out[0] = static_cast<unsigned char>(w);
        out[1] = static_cast<unsigned char>(w >> 8);
        return 2;
    }
    PutLE32(out, static_cast<int32_t>(static_cast<uint32_t>(v) * 4u + 3u));
    return 4;
}

void WriteCoded(TTextFile& kxf, int32_t v)
{
    unsigned char b[4];
    int n = EncodeCoded(v, b);
    kxf.WriteRaw(b, static_cast<std::size_t>(n));
}

// The text without blanks and control characters at either end.
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

int ClassOfLetter(char c)
{
    switch (c) {
    case 'A': return 1;
    case 'B': return 2;
    case 'C': return 3;
    case 'D': return 4;
    case 'E': return 5;
    case 'F': return 6;
    case 'H': return 7;
    default: return 0;
    }
}

} // namespace

int WriteCodedInteger(TTextFile& kxf, int32_t v)
{
    if (!KxfCodable(v)) return 0;
    unsigned char b[4];
    int n = EncodeCoded(v, b);
    kxf.WriteRaw(b, static_cast<std::size_t>(n));
    return n;
}

void WriteKxfHeader(TTextFile& kxf, const KxfBox* box, int32_t recordCount)
{
    unsigned char h[kKxfHeaderSize] = {};
    std::memcpy(h, "KOVEN", 5);
    PutLE32(h + 5, recordCount);
    if (box) {
        PutLE32(h + 9, box->minX);
        PutLE32(h + 13, box->maxY);
        PutLE32(h + 17, box->maxX);
        PutLE32(h + 21, box->minY);
    }
    int64_t was = kxf.GetPosition();
    kxf.SetPosition(0);
    kxf.WriteRaw(h, sizeof h);
    if (was > kKxfHeaderSize) kxf.SetPosition(was);
}

int KxfLineClass(std::string_view cfcc)
{
    if (cfcc.empty()) return 0;
    int digit = cfcc.size() >= 2 && cfcc[1] >= '0' && cfcc[1] <= '9' ? cfcc[1] - '0' : 0;
    return 10 * ClassOfLetter(cfcc[0]) + digit;
}

bool WriteKxfLineRecord(TTextFile& kxf, int lineClass, std::span<const GeoPoint> points)
{
    const int64_t count = static_cast<int64_t>(points.size());
    if (lineClass < 0 || lineClass > 127 || count == 0 || !KxfCodable(count)) return false;
    // Check every difference before the first byte goes out.
    GeoPoint prev{0, 0};
    for (const GeoPoint& p : points) {
        if (!KxfCodable(int64_t{p.x} - prev.x) || !KxfCodable(int64_t{p.y} - prev.y)) return false;
        prev = p;
    }
    unsigned char head[2] = {static_cast<unsigned char>(128 + lineClass), kKxfLineTag};
    kxf.WriteRaw(head, 2);
    WriteCoded(kxf, static_cast<int32_t>(-count));
    prev = GeoPoint{0, 0};
    for (const GeoPoint& p : points) {
        WriteCoded(kxf, static_cast<int32_t>(int64_t{p.x} - prev.x));
        WriteCoded(kxf, static_cast<int32_t>(int64_t{p.y} - prev.y));
        prev = p;
    }
    return true;
}

bool WriteKxfAreaRecord(TTextFile& kxf, std::span<const GeoPoint> points, std::span<const int32_t> ringSizes,
                        int entityCode, KxfBox& box)
{
    if (entityCode < 0 || entityCode > 127) return false;
    std::size_t total = 0;
    std::size_t lastRing = ringSizes.size();
    for (std::size_t r = 0; r < ringSizes.size(); ++r) {
        int32_t n = ringSizes[r];
        if (n < 0 || static_cast<std::size_t>(n) > points.size() - total || !KxfCodable(n)) return false;
        total += static_cast<std::size_t>(n);
        if (n > 0) lastRing = r;
    }
    if (lastRing == ringSizes.size()) return false; // no ring with points
    GeoPoint prev{0, 0};
    for (std::size_t i = 0; i < total; ++i) {
        if (!KxfCodable(int64_t{points[i].x} - prev.x) || !KxfCodable(int64_t{points[i].y} - prev.y)) return false;
        prev = points[i];
    }

    unsigned char head[2] = {static_cast<unsigned char>(128 + entityCode), kKxfAreaTag};
    kxf.WriteRaw(head, 2);
    prev = GeoPoint{0, 0};
    std::size_t at = 0;
    for (std::size_t r = 0; r <= lastRing; ++r) {
        int32_t n = ringSizes[r];
        if (n == 0) continue;
        WriteCoded(kxf, r == lastRing ? -n : n);
        for (int32_t k = 0; k < n; ++k, ++at) {
            const GeoPoint& p = points[at];
            WriteCoded(kxf, static_cast<int32_t>(int64_t{p.x} - prev.x));
            WriteCoded(kxf, static_cast<int32_t>(int64_t{p.y} - prev.y));
            box.Widen(p);
            prev = p;
        }
    }
    return true;
}

KxfFileSet::KxfFileSet(const std::string& basePath)
{
    kxf_ = std::make_unique<TTextFile>(basePath + ".KXF", TTextFile::kCreate);
    mtd_ = std::make_unique<TTextFile>(basePath + ".MTD", TTextFile::kCreate);
    WriteKxfHeader(*kxf_, nullptr, 0);
}

bool KxfFileSet::Close()
{
    bool okKxf = kxf_->Close();
    bool okMtd = mtd_->Close();
    return okKxf && okMtd;
}

std::string KxfFileSet::FailedPath() const
{
    if (kxf_->Failed()) return kxf_->Name();
    if (mtd_->Failed()) return mtd_->Name();
    return std::string();
}

std::string KxfFileSet::FailureReason() const
{
    if (kxf_->Failed()) return kxf_->FailureReason();
    if (mtd_->Failed()) return mtd_->FailureReason();
    return std::string();
}

// ---------------------------------------------------------------------------

bool DecodeKxfHeader(std::span<const unsigned char> data, KxfHeader& header)
{
    if (data.size() < static_cast<std::size_t>(kKxfHeaderSize) || std::memcmp(data.data(), "KOVEN", 5) != 0)
        return false;
    header.recordCount = GetLE32(data.data() + 5);
    header.box.minX = GetLE32(data.data() + 9);
    header.box.maxY = GetLE32(data.data() + 13);
    header.box.maxX = GetLE32(data.data() + 17);
    header.box.minY = GetLE32(data.data() + 21);
    return true;
}

bool DecodeCodedInteger(std::span<const unsigned char> data, std::size_t& pos, int32_t& v)
{
    if (pos >= data.size()) return false;
    unsigned char b0 = data[pos];
    if ((b0 & 1) == 0) {
        v = static_cast<int8_t>(b0) >> 1;
        pos += 1;
        return true;
    }
    if ((b0 & 3) == 1) {
        if (data.size() - pos < 2) return false;
        v = static_cast<int16_t>(static_cast<uint16_t>(b0 | (data[pos + 1] << 8))) >> 2;
        pos += 2;
        return true;
    }
    if (data.size() - pos < 4) return false;
    v = GetLE32(data.data() + pos) >> 2;
    pos += 4;
    return true;
}

bool DecodeKxfRecord(std::span<const unsigned char> data, std::size_t& pos, KxfRecord& record, std::string& error)
{
    record = KxfRecord();
    record.offset = pos;
    if (data.size() < pos + 2) {
        error = "record cut short";
        return false;
    }
    unsigned char cls = data[pos];
    unsigned char tag = data[pos + 1];
    if (cls < 128) {
        error = "bad class byte " + std::to_string(cls);
        return false;
    }
    if (tag != kKxfLineTag && tag != kKxfAreaTag) {
        error = "bad record tag " + std::to_string(tag);
        return false;
    }
    record.classCode = cls - 128;
    record.tag = tag;
    std::size_t p = pos + 2;
    int64_t x = 0, y = 0;
    for (;;) {
        int32_t count;
        if (!DecodeCodedInteger(data, p, count)) {
            error = "record cut short in a point count";
            return false;
        }
        bool last = count < 0;
        int64_t n = last ? -int64_t{count} : count;
        if (n == 0) {
            error = "part without points";
            return false;
        }
        // Every point takes at least two bytes.
        if (static_cast<uint64_t>(n) > (data.size() - p) / 2) {
            error = "point count " + std::to_string(n) + " exceeds the rest of the file";
            return false;
        }
        for (int64_t i = 0; i < n; ++i) {
            int32_t dx, dy;
            if (!DecodeCodedInteger(data, p, dx) || !DecodeCodedInteger(data, p, dy)) {
                error = "record cut short in a point";
                return false;
            }
            x += dx;
            y += dy;
            if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) {
                error = "coordinate out of range";
                return false;
            }
            record.points.push_back(GeoPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
        }
        record.partSizes.push_back(static_cast<int32_t>(n));
        if (last) break;
    }
    pos = p;
    return true;
}

bool ParseMtd(std::string_view text, MtdTable& table, std::string& error)
{
    table = MtdTable();
    std::size_t at = 0;
    auto nextLine = [&](std::string_view& line) {
        if (at >= text.size()) return false;
        std::size_t cr = text.find('\r', at);
        if (cr == std::string_view::npos) {
            line = text.substr(at);
            at = text.size();
        } else {
            line = text.substr(at, cr - at);
            at = std::min(text.size(), cr + 2); // CR and the byte after it
        }
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || !line.starts_with("FIELDS ")) {
        error = "no FIELDS line";
        return false;
    }
    std::string_view countText = Trim(line.substr(7));
    int declared = -1;
    auto r = std::from_chars(countText.data(), countText.data() + countText.size(), declared);
    if (r.ec != std::errc() || r.ptr != countText.data() + countText.size() || declared < 0) {
        error = "bad FIELDS line";
        return false;
    }
    bool data = false;
    while (nextLine(line)) {
        if (Trim(line) == "DATA") {
            data = true;
            break;
        }
        if (!Trim(line).empty()) table.columns.emplace_back(line);
    }
    if (!data) {
        error = "no DATA line";
        return false;
    }
    if (static_cast<int>(table.columns.size()) != declared) {
        error = "FIELDS " + std::to_string(declared) + " but " + std::to_string(table.columns.size()) +
                " column lines";
        return false;
    }
    while (nextLine(line)) table.rows.emplace_back(line);
    return true;
}

} // namespace zalor
