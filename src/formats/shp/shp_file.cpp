#include "formats/shp/shp_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace zalor {

namespace {

void Append(std::vector<unsigned char>& out, const unsigned char* bytes, std::size_t n)
{
    std::size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, bytes, n);
}

void PutBE32(std::vector<unsigned char>& out, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    const unsigned char b[4] = {static_cast<unsigned char>(u >> 24), static_cast<unsigned char>(u >> 16),
                                static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u)};
    Append(out, b, 4);
}

void PutLE32(std::vector<unsigned char>& out, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    const unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                                static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    Append(out, b, 4);
}

void PutDouble(std::vector<unsigned char>& out, double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
    Append(out, b, 8);
}

// A length in 16-bit words, as the 32-bit header fields hold it.
int32_t Words(int64_t bytes)
{
    int64_t w = bytes / 2;
    return static_cast<int32_t>(std::min<int64_t>(w, std::numeric_limits<int32_t>::max()));
}

} // namespace

std::string ChangeFileExtension(const std::string& name, const std::string& ext)
{
    std::size_t slash = name.find_last_of('/');
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ext;
    return name.substr(0, dot) + ext;
}

double TShpFile::Degrees(int32_t v) { return static_cast<double>(static_cast<long double>(v) * 0.000001L); }

TShpFile::TShpFile(const std::string& mainFileName, int32_t shapeType)
    : indexName_(mainFileName.empty() ? std::string() : ChangeFileExtension(mainFileName, ".SHX")),
      shapeType_(shapeType)
{
    main_ = std::make_unique<TTextFile>(mainFileName, TTextFile::kCreate);
    index_ = std::make_unique<TTextFile>(indexName_, TTextFile::kCreate);
    WriteFileHeader(*main_, 0, false);
    WriteFileHeader(*index_, 0, false);
}

TShpFile::~TShpFile() { Close(); }

void TShpFile::WriteFileHeader(TTextFile& f, int64_t fileBytes, bool withBox)
{
    scratch_.clear();
    PutBE32(scratch_, kShpFileCode);
    scratch_.resize(24, 0);
    PutBE32(scratch_, Words(fileBytes));
    PutLE32(scratch_, kShpVersion);
    PutLE32(scratch_, shapeType_);
    if (withBox) {
        PutDouble(scratch_, Degrees(minX_));
        PutDouble(scratch_, Degrees(minY_));
        PutDouble(scratch_, Degrees(maxX_));
        PutDouble(scratch_, Degrees(maxY_));
    }
    scratch_.resize(kShpHeaderSize, 0);
    f.SetPosition(0);
    f.WriteRaw(scratch_.data(), scratch_.size());
}

void TShpFile::Widen(int32_t x, int32_t y)
{
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
}

void TShpFile::WriteIndexEntry(int64_t recordStart)
{
    int64_t contentBytes = main_->GetPosition() - recordStart - 8;
    scratch_.clear();
    PutBE32(scratch_, Words(recordStart));
    PutBE32(scratch_, Words(contentBytes));
    index_->WriteRaw(scratch_.data(), scratch_.size());
}

void TShpFile::WritePointRecord(int32_t recordNumber, int32_t x, int32_t y)
{
    if (closed_) return;
    int64_t start = main_->GetPosition();
    scratch_.clear();
    PutBE32(scratch_, recordNumber);
    PutBE32(scratch_, 10);
    PutLE32(scratch_, kPoint);
    Widen(x, y);
    PutDouble(scratch_, Degrees(x));
    PutDouble(scratch_, Degrees(y));
    main_->WriteRaw(scratch_.data(), scratch_.size());
    WriteIndexEntry(start);
}

namespace {

// Little-endian and big-endian values straight into a record buffer.
unsigned char* Le32(unsigned char* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
    p[2] = static_cast<unsigned char>(u >> 16);
    p[3] = static_cast<unsigned char>(u >> 24);
    return p + 4;
}

unsigned char* Be32(unsigned char* p, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<unsigned char>(u >> 24);
    p[1] = static_cast<unsigned char>(u >> 16);
    p[2] = static_cast<unsigned char>(u >> 8);
    p[3] = static_cast<unsigned char>(u);
    return p + 4;
}

unsigned char* LeDouble(unsigned char* p, double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &u, 8); // the file's byte order already
    } else {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
    }
    return p + 8;
}

} // namespace

bool TShpFile::WritePolyRecord(int32_t shapeType, std::span<const GeoPoint> points, int32_t recordNumber,
                               std::span<const int32_t> partCounts)
{
    if (closed_) return false;
    int64_t total = 0;
    for (int32_t n : partCounts) {
        if (n < 0) return false;
        total += n;
    }
    if (total != static_cast<int64_t>(points.size())) return false;
    int64_t bytes = kShpPolyRecordHead + 4 * static_cast<int64_t>(partCounts.size()) + 16 * static_cast<int64_t>(points.size());
    if (bytes / 2 > std::numeric_limits<int32_t>::max()) return false;

    int64_t start = main_->GetPosition();
    int32_t bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
    if (!points.empty()) {
        bx0 = bx1 = points[0].x;
        by0 = by1 = points[0].y;
        for (const GeoPoint& p : points) {
            bx0 = std::min(bx0, p.x);
            bx1 = std::max(bx1, p.x);
            by0 = std::min(by0, p.y);
            by1 = std::max(by1, p.y);
        }
        Widen(bx0, by0);
        Widen(bx1, by1);
    }
    // The whole record in one buffer, written with one call.
    scratch_.resize(static_cast<std::size_t>(bytes + 8));
    unsigned char* p = scratch_.data();
    p = Be32(p, recordNumber);
    p = Be32(p, static_cast<int32_t>(bytes / 2));
    p = Le32(p, shapeType);
    p = LeDouble(p, Degrees(bx0));
    p = LeDouble(p, Degrees(by0));
    p = LeDouble(p, Degrees(bx1));
    p = LeDouble(p, Degrees(by1));
    p = Le32(p, static_cast<int32_t>(partCounts.size()));
    p = Le32(p, static_cast<int32_t>(points.size()));
    int32_t first = 0;
    for (int32_t n : partCounts) {
        p = Le32(p, first);
        first += n;
    }
    for (const GeoPoint& q : points) {
        p = LeDouble(p, Degrees(q.x));
        p = LeDouble(p, Degrees(q.y));
    }
    main_->WriteRaw(scratch_.data(), scratch_.size());
    WriteIndexEntry(start);
    return true;
}

bool TShpFile::Close()
{
    if (closed_) return closeResult_;
    closed_ = true;
    WriteFileHeader(*main_, main_->GetSize(), true);
    WriteFileHeader(*index_, index_->GetSize(), true);
    bool okMain = main_->Close();
    bool okIndex = index_->Close();
    closeResult_ = okMain && okIndex;
    return closeResult_;
}

std::string TShpFile::FailedPath() const
{
    if (main_ && main_->Failed()) return main_->Name();
    if (index_ && index_->Failed()) return index_->Name();
    return std::string();
}

std::string TShpFile::FailureReason() const
{
    if (main_ && main_->Failed()) return main_->FailureReason();
    if (index_ && index_->Failed()) return index_->FailureReason();
    return std::string();
}

} // namespace zalor

namespace zalor {

namespace {

// The ESRI forms of the datums' geographic coordinate systems.
constexpr std::string_view kNad83Prj =
    "GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\","
    "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";
// The old datums are all on the Clarke 1866 ellipsoid.
constexpr std::string_view kNad27Prj =
    "GEOGCS[\"GCS_North_American_1927\",DATUM[\"D_North_American_1927\","
    "SPHEROID[\"Clarke_1866\",6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";
constexpr std::string_view kOldHawaiianPrj =
    "GEOGCS[\"GCS_Old_Hawaiian\",DATUM[\"D_Old_Hawaiian\","
    "SPHEROID[\"Clarke_1866\",6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";
constexpr std::string_view kPuertoRicoPrj =
    "GEOGCS[\"GCS_Puerto_Rico\",DATUM[\"D_Puerto_Rico\","
    "SPHEROID[\"Clarke_1866\",6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";
constexpr std::string_view kGuamPrj =
    "GEOGCS[\"GCS_Guam_1963\",DATUM[\"D_Guam_1963\","
    "SPHEROID[\"Clarke_1866\",6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";
constexpr std::string_view kAmericanSamoaPrj =
    "GEOGCS[\"GCS_American_Samoa_1962\",DATUM[\"D_American_Samoa_1962\","
    "SPHEROID[\"Clarke_1866\",6378206.4,294.978698213898]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]]";

} // namespace

std::string_view PrjText(Datum datum)
{
    switch (datum) {
    case Datum::Nad83: return kNad83Prj;
    case Datum::Nad27: return kNad27Prj;
    case Datum::OldHawaiian: return kOldHawaiianPrj;
    case Datum::PuertoRico: return kPuertoRicoPrj;
    case Datum::Guam1963: return kGuamPrj;
    case Datum::AmericanSamoa1962: return kAmericanSamoaPrj;
    }
    return kNad83Prj;
}

namespace {

std::string WriteCompanion(const std::string& path, std::string_view text)
{
    try {
        TTextFile file(path, TTextFile::kCreate);
        file.WriteRaw(text);
        if (file.Close()) return {};
        return file.FailureReason().empty() ? "write error" : file.FailureReason();
    } catch (const FileError& e) {
        return e.Reason().empty() ? e.what() : e.Reason();
    }
}

} // namespace

std::string WritePrjFile(const std::string& shpPath, Datum datum)
{
    return WriteCompanion(ChangeFileExtension(shpPath, ".PRJ"), PrjText(datum));
}

std::string WriteCpgFile(const std::string& shpPath)
{
    return WriteCompanion(ChangeFileExtension(shpPath, ".CPG"), kCpgText);
}

bool CpgDeclaresUtf8(std::string_view cpg)
{
    while (!cpg.empty() && (cpg.front() == ' ' || cpg.front() == '\t')) cpg.remove_prefix(1);
    auto startsWith = [cpg](std::string_view word) {
        if (cpg.size() < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            const char c = cpg[i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != word[i]) return false;
        }
        return true;
    };
    return startsWith("UTF-8") || startsWith("UTF8");
}

} // namespace zalor
