// The dBASE III table that goes with every shapefile.
#pragma once

#include "formats/textfile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// One 32-byte field descriptor as it stands in the file.
struct DbfFieldDescriptor {
    std::array<unsigned char, 32> bytes{};

    // Name (at most 11 characters), type 'C' or 'N', length in bytes.
    static DbfFieldDescriptor Make(std::string_view name, char type, int length);
    std::string Name() const;
    char Type() const { return static_cast<char>(bytes[11]); }
    int Length() const { return bytes[16]; }
};

class Tdbx {
public:
    static constexpr int kCreate = 0xFFFF;
    static constexpr int kRead = 0;
    static constexpr int kMaxFields = 2046;      // the header length must fit 16 bits
    static constexpr int kMaxRecordLength = 65535;
    // The language driver our tables declare in header byte 29: 0x57, which
    // GDAL (and so QGIS) reads as ISO-8859-1, the single-byte Latin-1 our
    // texts are in.
    static constexpr uint8_t kLatin1Driver = 0x57;

    // kCreate: creates (or truncates) the file and writes an empty table's
    // header. Any other mode opens an existing table read-only and reads its
    // header and field descriptors. Throws FileError when the file cannot be
    // opened or is not a readable table.
    Tdbx(const std::string& fileName, int mode);
    ~Tdbx();
    Tdbx(const Tdbx&) = delete;
    Tdbx& operator=(const Tdbx&) = delete;

    // Appends a field and rewrites the whole header. Refused (false) on a
    // table opened for reading and when the header or record length would
    // no longer fit their 16-bit fields.
    bool AddField(const DbfFieldDescriptor& descriptor);
    // Appends the fields in order as AddField does, each one that fits,
    // and rewrites the header once; returns how many were added.
    int AddFields(std::span<const DbfFieldDescriptor> descriptors);

    // Puts the text into field `field` (from 1) of the record buffer:
    // left-aligned, cut to the field length, the rest zero bytes. Returns 0
    // and changes nothing for a field number outside 1..FieldCount().
    int SetFieldText(int field, std::string_view text);
    // Fills every field of the record buffer with zero bytes.
    void ClearRecord();
    // Writes the record buffer as record `record` (from 1); the record count
    // becomes `record` when that is higher. False for a number below 1.
    bool WriteRecord(int64_t record);
    // Loads record `record` (from 1) into the record buffer. False, with an
    // all-zero buffer, outside 1..RecordCount() or when the file ends early.
    bool ReadRecord(int64_t record);

    // The field's name; empty for a number outside 1..FieldCount().
    std::string GetFieldName(int field) const;
    // The field's bytes up to the first zero byte; "ERROR" for a number
    // below 1 and "OvrFlow" for one above the field count.
    std::string GetFieldText(int field) const;

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    const DbfFieldDescriptor& Field(int field) const { return fields_[static_cast<std::size_t>(field - 1)]; }
    uint32_t RecordCount() const { return recordCount_; }
    int HeaderLength() const { return headerLength_; }
    // Header byte 29: the table's code page as a dBASE language driver
    // (0 when the table declares none).
    uint8_t LanguageDriver() const { return languageDriver_; }
    int RecordLength() const { return recordLength_; }

    // Writes the final header (when records were written) and closes the
    // file. False when any write or the close failed.
    bool Close();
    std::string FailedPath() const { return file_ ? file_->FailedPath() : std::string(); }
    std::string FailureReason() const { return file_ ? file_->FailureReason() : std::string(); }
    const std::string& FileName() const { return fileName_; }

private:
    void WriteHeader();
    void ReadHeader();
    void ComputeOffsets();

    std::string fileName_;
    std::unique_ptr<TTextFile> file_;
    bool writeMode_ = false;
    bool dirty_ = false;
    bool closed_ = false;
    bool closeResult_ = true;
    uint32_t recordCount_ = 0;
    uint8_t languageDriver_ = kLatin1Driver;
    int headerLength_ = 33;
    int recordLength_ = 1;
    std::vector<DbfFieldDescriptor> fields_;
    std::vector<int> offsets_; // field start within a record; the first at 1
    std::vector<char> record_;

    // Read cache: `pageSize_` records starting after record `cacheStart_`.
    int64_t pageSize_ = 1;
    int64_t cacheStart_ = -1;
    int64_t cacheCount_ = 0;
    std::vector<char> cache_;
};

} // namespace zalor
