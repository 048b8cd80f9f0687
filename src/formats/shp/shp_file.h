// The shapefile writer: the main file (.SHP) and its index (.SHX).
// Coordinates arrive as integer micro-degrees and are stored as degrees.
#pragma once

#include "formats/textfile.h"
#include "geometry/coords.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zalor {

// What the writer and the viewer's reader share of the layout: the file
// code and version that open the 100-byte header, the shape types, and the
// bytes of a poly record before its part starts (type, box, part and point
// counts).
inline constexpr int32_t kShpFileCode = 9994;
inline constexpr int32_t kShpVersion = 1000;
inline constexpr int kShpHeaderSize = 100;
inline constexpr int32_t kShpNullShape = 0;
inline constexpr int kShpPolyRecordHead = 44;

class TShpFile {
public:
    static constexpr int32_t kPoint = 1;
    static constexpr int32_t kPolyLine = 3;
    static constexpr int32_t kPolygon = 5;

    // Creates the main file and the index (the main name with its extension
    // changed to ".SHX"), each with a 100-byte header of file length 0.
    // Throws FileError when a file cannot be created. An empty name keeps
    // both in memory (TTextFile's in-memory streams).
    TShpFile(const std::string& mainFileName, int32_t shapeType);
    ~TShpFile();
    TShpFile(const TShpFile&) = delete;
    TShpFile& operator=(const TShpFile&) = delete;

    void WritePointRecord(int32_t recordNumber, int32_t x, int32_t y);
    void WritePointRecord(int32_t recordNumber, GeoPoint p) { WritePointRecord(recordNumber, p.x, p.y); }
    // One PolyLine (3) or Polygon (5) record: the parts lie one after
    // another in `points`, their point counts in `partCounts`. Returns false
    // and writes nothing when the counts do not add up to the points, or the
    // record would be too large for the format.
    bool WritePolyRecord(int32_t shapeType, std::span<const GeoPoint> points, int32_t recordNumber,
                         std::span<const int32_t> partCounts);

    // Completes both headers (file lengths, bounding box) and closes both
    // files. False when any write or close failed.
    bool Close();
    std::string FailedPath() const;
    std::string FailureReason() const;
    const std::string& IndexFileName() const { return indexName_; }
    const std::string& MainPath() const { return main_->Name(); }

    // A micro-degree value as degrees, as stored in the file.
    static double Degrees(int32_t v);

private:
    void Widen(int32_t x, int32_t y);
    void WriteIndexEntry(int64_t recordStart);
    void WriteFileHeader(TTextFile& f, int64_t fileBytes, bool withBox);

    std::string indexName_;
    std::unique_ptr<TTextFile> main_;
    std::unique_ptr<TTextFile> index_;
    int32_t shapeType_;
    std::vector<unsigned char> scratch_;
    // Bounding box of every point written, as min x, max y, max x, min y.
    int32_t minX_ = 2147483647;
    int32_t maxY_ = -2147483647;
    int32_t maxX_ = -2147483647;
    int32_t minY_ = 2147483647;
    bool closed_ = false;
    bool closeResult_ = true;
};

// The name with the extension of its file-name part replaced by `ext`
// (which includes the "."); appended when there is none.
std::string ChangeFileExtension(const std::string& name, const std::string& ext);

} // namespace zalor

namespace zalor {

// The coordinate system of the shapefiles we write: geographic on the
// county's datum (NAD83, as TIGER/Line is from 1995 on; NAD27 or a local
// datum in the older files), in the form GIS programs read from a .PRJ
// file.
std::string_view PrjText(Datum datum);

// Writes the .PRJ file beside a shapefile (same name, extension ".PRJ").
// Returns why it cannot be written; empty when it was.
std::string WritePrjFile(const std::string& shpPath, Datum datum);

// The code page of a shapefile's texts as its .CPG file states it: ISO
// 8859-1 in the short form of ESRI's code page names, which GDAL (and so
// QGIS) reads as Latin-1. It agrees with the DBF's language driver
// (Tdbx::kLatin1Driver).
inline constexpr std::string_view kCpgText = "88591";

// Writes the .CPG file beside a shapefile (same name, extension ".CPG").
// Returns why it cannot be written; empty when it was.
std::string WriteCpgFile(const std::string& shpPath);

// Whether the text of a shapefile's .CPG file declares UTF-8 texts
// ("UTF-8" or "UTF8" in any case, as GDAL and QGIS write it). Every other
// declaration, and none, is a single-byte code page, which readers take as
// Latin-1: a DBF's language driver never names UTF-8.
bool CpgDeclaresUtf8(std::string_view cpg);

} // namespace zalor
