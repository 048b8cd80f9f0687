#include "formats/shp/shp_set.h"

#include "formats/shp/shp_file.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace zalor {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The first `count` bytes of the file and its size; false when it cannot
// be read or is not a regular file of at least that many bytes.
bool ReadHead(const std::string& path, unsigned char* head, std::size_t count, int64_t& size)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<int64_t>(st.st_size);
    if (size < static_cast<int64_t>(count)) return false;
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    return f && std::fread(head, 1, count, f.get()) == count;
}

// The bytes at `at` of the file.
bool ReadAt(const std::string& path, int64_t at, unsigned char* bytes, std::size_t count)
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    return f && std::fseek(f.get(), static_cast<long>(at), SEEK_SET) == 0 &&
           std::fread(bytes, 1, count, f.get()) == count;
}

int64_t BigEndian32(const unsigned char* p)
{
    return (static_cast<int64_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

int64_t LittleEndian(const unsigned char* p, int bytes)
{
    int64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::string NamePart(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The records of the index; -1 (and the reason) when it is not one whole.
int64_t IndexRecords(const std::string& shx, const std::string& shp, std::string& fault)
{
    unsigned char head[kShpHeaderSize];
    int64_t shxSize = 0;
    int64_t shpSize = 0;
    unsigned char shpHead[kShpHeaderSize];
    if (!ReadHead(shx, head, sizeof head, shxSize) || !ReadHead(shp, shpHead, sizeof shpHead, shpSize)) {
        fault = "its .SHP or .SHX is missing or shorter than a header";
        return -1;
    }
    if (BigEndian32(head + 24) * 2 != shxSize || BigEndian32(shpHead + 24) * 2 != shpSize ||
        (shxSize - kShpHeaderSize) % 8 != 0) {
        fault = "its .SHP or .SHX is not as long as its header says";
        return -1;
    }
    const int64_t records = (shxSize - kShpHeaderSize) / 8;
    unsigned char last[8];
    // The last record indexed ends where the main file ends.
    const int64_t end = records == 0 ? kShpHeaderSize
                        : ReadAt(shx, shxSize - 8, last, sizeof last)
                            ? BigEndian32(last) * 2 + 8 + BigEndian32(last + 4) * 2
                            : -1;
    if (end != shpSize) {
        fault = NamePart(shx) + " does not index " + NamePart(shp);
        return -1;
    }
    return records;
}

// The records of the table; -1 (and the reason) when it is not one whole.
int64_t TableRecords(const std::string& dbf, std::string& fault)
{
    unsigned char head[32];
    int64_t size = 0;
    if (!ReadHead(dbf, head, sizeof head, size)) {
        fault = "its .DBF is missing or shorter than a header";
        return -1;
    }
    const int64_t records = LittleEndian(head + 4, 4);
    const int64_t whole = LittleEndian(head + 8, 2) + records * LittleEndian(head + 10, 2);
    if (size != whole && size != whole + 1) {
        fault = NamePart(dbf) + " is not as long as its header says";
        return -1;
    }
    return records;
}

} // namespace

std::string ShapefileSetFault(const std::string& basePath)
{
    const std::string shp = basePath + ".SHP";
    const std::string shx = basePath + ".SHX";
    const std::string dbf = basePath + ".DBF";
    std::string fault;
    const int64_t shapes = IndexRecords(shx, shp, fault);
    if (shapes < 0) return fault;
    const int64_t rows = TableRecords(dbf, fault);
    if (rows < 0) return fault;
    if (rows != shapes)
        return NamePart(shx) + " holds " + std::to_string(shapes) + " records, " + NamePart(dbf) + " " +
               std::to_string(rows);
    return {};
}

} // namespace zalor
