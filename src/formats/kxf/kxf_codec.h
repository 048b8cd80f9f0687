// KXF, the compact vector file of line and area records with delta-coded
// integer micro-degree coordinates, and its MTD attribute file.
//
// Layout (integers little-endian):
//   header, 32 bytes: "KOVEN", record count (int32), box as min x, max y,
//   max x, min y (int32 each), 7 zero bytes;
//   records back to back: class byte (128 + class code), tag byte (67 line,
//   68 area), then parts: point count as a coded integer (negated for the
//   last part) and the points as coded dx, dy from the previous point of
//   the record (the first from 0, 0).
// A coded integer takes 1 byte (2v) for |v| <= 63, 2 bytes (4v + 1) for
// |v| <= 8191, else 4 bytes (4v + 3); it holds |v| < 2^29.
#pragma once

#include "formats/textfile.h"
#include "geometry/assembly.h"
#include "geometry/coords.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

constexpr int kKxfHeaderSize = 32;
constexpr uint8_t kKxfLineTag = 67;
constexpr uint8_t kKxfAreaTag = 68;
constexpr int32_t kKxfMaxCoded = (1 << 29) - 1;

// A bounding box in micro-degrees, empty until widened.
using KxfBox = AreaBox;

inline bool KxfCodable(int64_t v) { return v >= -kKxfMaxCoded && v <= kKxfMaxCoded; }

// Writes the coded form of v; returns the number of bytes written, 0 (and
// nothing written) when v is beyond the codable range.
int WriteCodedInteger(TTextFile& kxf, int32_t v);

// Moves to offset 0 and writes the 32 header bytes; with no box the box
// bytes are zero. A write position beyond the header is kept.
void WriteKxfHeader(TTextFile& kxf, const KxfBox* box, int32_t recordCount);

// The class code of a line record from its CFCC: 10 x the class of the
// first letter (A 1 ... F 6, H 7, others 0) + the digit value of the second
// character (0 when it is not a digit). A41 gives 14, H11 71, X00 0.
int KxfLineClass(std::string_view cfcc);

// One line record of the points of a chain (start point, shape points, end
// point) with `lineClass` (KxfLineClass) as its class code. Returns false
// and writes nothing when the code is out of range (0..127), the line has no
// point or a coordinate difference lies beyond the codable range.
bool WriteKxfLineRecord(TTextFile& kxf, int lineClass, std::span<const GeoPoint> points);

// One area record of the rings that lie one after another in `points`
// (their sizes in `ringSizes`; rings of no point are left out), with
// `entityCode` (0..127) as its class code; widens `box` by every point
// written. Returns false and writes nothing when there is no ring, the
// sizes do not fit the points, the code is out of range or a coordinate
// difference cannot be coded.
bool WriteKxfAreaRecord(TTextFile& kxf, std::span<const GeoPoint> points, std::span<const int32_t> ringSizes,
                        int entityCode, KxfBox& box);

// A KXF file with its MTD companion: base + ".KXF" and base + ".MTD" are
// created and the KXF file gets a placeholder header. The caller writes
// the MTD head and rows, the records, and finally the header.
class KxfFileSet {
public:
    explicit KxfFileSet(const std::string& basePath);
    TTextFile& Kxf() { return *kxf_; }
    TTextFile& Mtd() { return *mtd_; }
    const std::string& KxfPath() const { return kxf_->Name(); }
    // The final header: the record count and the box (none: zero bytes).
    void WriteHeader(int32_t recordCount, const KxfBox* box) { WriteKxfHeader(*kxf_, box, recordCount); }
    // Closes both files; false when any write or close failed.
    bool Close();
    std::string FailedPath() const;
    std::string FailureReason() const;

private:
    std::unique_ptr<TTextFile> kxf_;
    std::unique_ptr<TTextFile> mtd_;
};

// ---------------------------------------------------------------------------
// Reading

struct KxfHeader {
    int32_t recordCount = 0;
    KxfBox box;
};

// False when the data is shorter than a header or does not start "KOVEN".
bool DecodeKxfHeader(std::span<const unsigned char> data, KxfHeader& header);
// The coded integer at `pos` (advanced past it); false when the data ends
// inside it.
bool DecodeCodedInteger(std::span<const unsigned char> data, std::size_t& pos, int32_t& v);

struct KxfRecord {
    std::size_t offset = 0; // of the class byte
    int classCode = 0;
    int tag = 0;            // 67 line, 68 area
    std::vector<int32_t> partSizes;
    std::vector<GeoPoint> points; // absolute, all parts one after another
};

// The record at `pos` (advanced past it). False, with the reason in
// `error`, for a damaged record.
bool DecodeKxfRecord(std::span<const unsigned char> data, std::size_t& pos, KxfRecord& record, std::string& error);

// An MTD file: its column lines and its data rows (raw MID-syntax text).
struct MtdTable {
    std::vector<std::string> columns;
    std::vector<std::string> rows;
};

// False, with the reason in `error`, when the text does not start with
// "FIELDS n" or has no "DATA" line.
bool ParseMtd(std::string_view text, MtdTable& table, std::string& error);

} // namespace zalor
