#include "formats/shp/dbf.h"

#include <algorithm>
#include <cstring>

namespace zalor {

namespace {

void PutU16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void PutU32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetU16(const unsigned char* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }

uint32_t GetU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

constexpr std::size_t kPageBytes = 16384;

} // namespace

DbfFieldDescriptor DbfFieldDescriptor::Make(std::string_view name, char type, int length)
{
    DbfFieldDescriptor d;
    std::size_t n = std::min<std::size_t>(name.size(), 11);
    std::memcpy(d.bytes.data(), name.data(), n);
    d.bytes[11] = static_cast<unsigned char>(type);
    d.bytes[16] = static_cast<unsigned char>(std::clamp(length, 0, 255));
    return d;
}

std::string DbfFieldDescriptor::Name() const
{
    const char* p = reinterpret_cast<const char*>(bytes.data());
    return std::string(p, strnlen(p, 11));
}

Tdbx::Tdbx(const std::string& fileName, int mode) : fileName_(fileName)
{
    writeMode_ = mode == kCreate;
    file_ = std::make_unique<TTextFile>(fileName, writeMode_ ? TTextFile::kCreate : TTextFile::kRead);
    if (writeMode_) {
        ComputeOffsets();
        WriteHeader();
    } else {
        ReadHeader();
    }
}

Tdbx::~Tdbx() { Close(); }

void Tdbx::ComputeOffsets()
{
    offsets_.assign(fields_.size(), 0);
    int at = 1;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        offsets_[i] = at;
        at += fields_[i].Length();
    }
    record_.assign(static_cast<std::size_t>(recordLength_), '\0');
    record_[0] = ' ';
    int64_t p = 1;
    while (p * 2 <= static_cast<int64_t>(kPageBytes) / recordLength_) p *= 2;
    pageSize_ = p;
    cacheStart_ = -1;
    cacheCount_ = 0;
}

void Tdbx::WriteHeader()
{
    // The 32 bytes of the table, its field descriptors and the terminator
    // (the header length of a table being written is just that).
    unsigned char h[32] = {3, 98, 5, 28};
    PutU32(&h[4], recordCount_);
    PutU16(&h[8], static_cast<uint32_t>(headerLength_));
    PutU16(&h[10], static_cast<uint32_t>(recordLength_));
    h[29] = languageDriver_;
    file_->SetPosition(0);
    file_->WriteRaw(h, sizeof h);
    for (const DbfFieldDescriptor& field : fields_) file_->WriteRaw(field.bytes.data(), field.bytes.size());
    const unsigned char terminator = 13;
    file_->WriteRaw(&terminator, 1);
}

void Tdbx::ReadHeader()
{
    unsigned char h[32];
    if (file_->ReadRaw(h, 32) != 32) throw FileError("Not a dBASE table (too short): " + fileName_, fileName_);
    recordCount_ = GetU32(h + 4);
    headerLength_ = static_cast<int>(GetU16(h + 8));
    recordLength_ = static_cast<int>(GetU16(h + 10));
    languageDriver_ = h[29];
    if (headerLength_ < 33 || recordLength_ < 1) throw FileError("Not a dBASE table (bad header): " + fileName_, fileName_);
    int count = (headerLength_ - 32) / 32;
    int used = 1;
    for (int i = 0; i < count; ++i) {
        DbfFieldDescriptor d;
        std::size_t got = file_->ReadRaw(d.bytes.data(), 32);
        if (got >= 1 && d.bytes[0] == 13) break; // header terminator: no more fields
        if (got != 32) throw FileError("Damaged dBASE table (field descriptors cut short): " + fileName_, fileName_);
        used += d.Length();
        if (used > recordLength_) throw FileError("Damaged dBASE table (fields longer than the record): " + fileName_, fileName_);
        fields_.push_back(d);
    }
    ComputeOffsets();
    record_.assign(record_.size(), '\0');
}

bool Tdbx::AddField(const DbfFieldDescriptor& descriptor) { return AddFields({&descriptor, 1}) == 1; }

int Tdbx::AddFields(std::span<const DbfFieldDescriptor> descriptors)
{
    if (!writeMode_ || closed_) return 0;
    int added = 0;
    for (const DbfFieldDescriptor& d : descriptors) {
        if (FieldCount() >= kMaxFields || recordLength_ + d.Length() > kMaxRecordLength) continue;
        fields_.push_back(d);
        recordLength_ += d.Length();
        headerLength_ += 32;
        ++added;
    }
    if (added == 0) return 0;
    ComputeOffsets();
    WriteHeader();
    return added;
}

int Tdbx::SetFieldText(int field, std::string_view text)
{
    if (field < 1 || field > FieldCount()) return 0;
    std::size_t at = static_cast<std::size_t>(offsets_[static_cast<std::size_t>(field - 1)]);
    std::size_t len = static_cast<std::size_t>(fields_[static_cast<std::size_t>(field - 1)].Length());
    std::size_t n = std::min(len, text.size());
    std::memcpy(record_.data() + at, text.data(), n);
    std::memset(record_.data() + at + n, 0, len - n);
    return 1;
}

void Tdbx::ClearRecord()
{
    std::fill(record_.begin() + 1, record_.end(), '\0');
    record_[0] = ' ';
}

bool Tdbx::WriteRecord(int64_t record)
{
    if (!writeMode_ || closed_ || record < 1 || record > static_cast<int64_t>(UINT32_MAX)) return false;
    record_[0] = ' ';
    file_->SetPosition(headerLength_ + (record - 1) * recordLength_);
    file_->WriteRaw(record_.data(), record_.size());
    if (record > static_cast<int64_t>(recordCount_)) recordCount_ = static_cast<uint32_t>(record);
    dirty_ = true;
    cacheStart_ = -1;
    return true;
}

bool Tdbx::ReadRecord(int64_t record)
{
    if (closed_ || record < 1 || record > static_cast<int64_t>(recordCount_)) {
        std::fill(record_.begin(), record_.end(), '\0');
        return false;
    }
    int64_t c = (record - 1) / pageSize_ * pageSize_;
    if (c != cacheStart_) {
        int64_t n = std::min<int64_t>(pageSize_, static_cast<int64_t>(recordCount_) - c);
        cache_.resize(static_cast<std::size_t>(n * recordLength_));
        file_->SetPosition(headerLength_ + c * recordLength_);
        std::size_t got = file_->ReadRaw(cache_.data(), cache_.size());
        cacheStart_ = c;
        cacheCount_ = static_cast<int64_t>(got) / recordLength_;
    }
    int64_t k = record - 1 - c;
    if (k >= cacheCount_) {
        std::fill(record_.begin(), record_.end(), '\0');
        return false;
    }
    std::memcpy(record_.data(), cache_.data() + k * recordLength_, static_cast<std::size_t>(recordLength_));
    return true;
}

std::string Tdbx::GetFieldName(int field) const
{
    if (field < 1 || field > FieldCount()) return std::string();
    return fields_[static_cast<std::size_t>(field - 1)].Name();
}

std::string Tdbx::GetFieldText(int field) const
{
    if (field < 1) return "ERROR";
    if (field > FieldCount()) return "OvrFlow";
    const char* p = record_.data() + offsets_[static_cast<std::size_t>(field - 1)];
    std::size_t len = static_cast<std::size_t>(fields_[static_cast<std::size_t>(field - 1)].Length());
    return std::string(p, strnlen(p, len));
}

bool Tdbx::Close()
{
    if (closed_) return closeResult_;
    if (writeMode_ && dirty_) WriteHeader();
    closed_ = true;
    closeResult_ = file_->Close();
    return closeResult_;
}

} // namespace zalor
