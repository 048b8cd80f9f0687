#include "tiger/record_file.h"

#include "tiger/file_names.h"
#include "tiger/inflater.h"
#include "tiger/layouts.h"
#include "tiger/paths.h"
#include "tiger/validation.h"
#include "tiger/zip_archive.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zalor {

namespace {

constexpr std::size_t kBlockSize = MemberInflater::kBlockSize; // bytes inflated or read at a time

} // namespace

TZipFile::TZipFile(const std::string& archiveName, const std::string& fileName, int recordLength)
    : recordLength_(std::max(recordLength, 1)), readLength_(std::max(recordLength, 1))
{
    std::string archive = archiveName;
    std::string file = fileName;
    std::size_t gt = archive.find('>');
    if (gt != std::string::npos) {
        file = archive.substr(gt + 1);
        archive.resize(gt);
    }
    name_ = file;
    if (!archive.empty()) OpenMember(archive, file);
    else OpenLooseFile(file);
}

void TZipFile::OpenMember(const std::string& archive, const std::string& member)
{
    archiveMode_ = true;
    auto zip = std::make_unique<TZipObj>();
    if (!IsRegularFile(archive) && ::access(archive.c_str(), F_OK) == 0) {
        openFailed_ = true;
        openError_ = archive + " is not a regular file";
        return;
    }
    if (zip->OpenUnZip(archive, member, MemberInflater::TakesRawDeflate()) != 0) {
        openFailed_ = true;
        if (!zip->OpenError().empty())
            openError_ = (zip->MemberName().empty() ? FileNamePart(member) : zip->MemberName()) + " in " + archive +
                         ": " + zip->OpenError();
        return;
    }
    name_ = zip->MemberName();
    size_ = zip->Size();
    // A member of more than one block is inflated ahead, on a thread.
    inflater_ = std::make_unique<MemberInflater>(std::move(zip), size_ > static_cast<int64_t>(kBlockSize));
}

void TZipFile::OpenLooseFile(const std::string& file)
{
    std::string path = FindFileIgnoringCase(file);
    if (path.empty()) {
        openFailed_ = true;
        // Only regular files are read: a device or a pipe could block for ever.
        struct stat st;
        if (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) openError_ = file + " is not a regular file";
        return;
    }
    name_ = path;
    file_.reset(std::fopen(path.c_str(), "rb"));
    struct stat st;
    if (!file_ || ::fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        file_.reset();
        openFailed_ = true;
        return;
    }
    std::setvbuf(file_.get(), nullptr, _IONBF, 0); // reads are large blocks already
    size_ = static_cast<int64_t>(st.st_size);
}

TZipFile::TZipFile(int recordLength) : recordLength_(std::max(recordLength, 1)), readLength_(std::max(recordLength, 1)) {}

TZipFile TZipFile::InMemory(std::string name, std::string_view bytes, int recordLength)
{
    TZipFile file(recordLength);
    file.name_ = std::move(name);
    file.memory_ = bytes;
    file.inMemory_ = true;
    file.size_ = static_cast<int64_t>(bytes.size());
    return file;
}

TZipFile TZipFile::Missing(int recordLength)
{
    TZipFile file(recordLength);
    file.openFailed_ = true;
    return file;
}

TZipFile::~TZipFile() { Close(); }
TZipFile::TZipFile(TZipFile&&) noexcept = default;
TZipFile& TZipFile::operator=(TZipFile&&) noexcept = default;

void TZipFile::Close()
{
    inflater_.reset(); // stops its thread, closes the member and the archive
    file_.reset();
    sourceDone_ = true;
}

int64_t TZipFile::ReadSource(char* dst, std::size_t n)
{
    if (sourceDone_) return 0;
    int64_t got = 0;
    if (inflater_) {
        got = static_cast<int64_t>(inflater_->Read(dst, n));
        if (got == 0) {
            if (inflater_->Damaged()) error_ = "damaged archive member";
            else if (inflater_->Corrupt() && error_.empty()) error_ = "damaged archive member (CRC error)";
        }
    } else if (inMemory_) {
        const std::size_t rest = memory_.size() - static_cast<std::size_t>(sourceBytes_);
        got = static_cast<int64_t>(std::min(n, rest));
        if (got > 0) std::memcpy(dst, memory_.data() + sourceBytes_, static_cast<std::size_t>(got));
    } else if (file_) {
        got = static_cast<int64_t>(std::fread(dst, 1, n, file_.get()));
        if (got == 0 && std::ferror(file_.get())) error_ = "read error";
    }
    if (got == 0) {
        sourceDone_ = true;
        if (sourceBytes_ < size_ && error_.empty()) error_ = "the data ends before the size given for it";
    }
    sourceBytes_ += got;
    return got;
}

bool TZipFile::Fill(std::size_t want)
{
    if (end_ - pos_ >= want) return true;
    // A file smaller than a block needs a buffer of its own size only.
    const std::size_t block =
        size_ > 0 && static_cast<uint64_t>(size_) < kBlockSize ? static_cast<std::size_t>(size_) : kBlockSize;
    std::size_t capacity = std::max(block, want * 4);
    if (buffer_.size() < capacity) buffer_.resize(capacity);
    if (buffer_.size() - pos_ < want) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    while (end_ - pos_ < want && !sourceDone_) {
        int64_t got = ReadSource(buffer_.data() + end_, buffer_.size() - end_);
        end_ += static_cast<std::size_t>(got);
    }
    return end_ - pos_ >= want;
}

void TZipFile::Prepare()
{
    if (prepared_) return;
    prepared_ = true;
    readLength_ = recordLength_;
    if (openFailed_ || size_ <= 0) {
        atEnd_ = true;
        return;
    }
    // A first record that ends in a lone LF where CR LF belongs: the whole
    // file has LF line ends, and every record is one byte shorter.
    const std::size_t n = static_cast<std::size_t>(recordLength_);
    Fill(n);
    if (n >= 2 && end_ - pos_ >= n - 1) {
        const char* r = buffer_.data() + pos_;
        if (r[n - 2] == '\n' && (n < 3 || r[n - 3] != '\r')) readLength_ = recordLength_ - 1;
    }
}

void TZipFile::SetRecordLength(int recordLength)
{
    if (started_) return;
    recordLength_ = readLength_ = std::max(recordLength, 1);
    prepared_ = false;
    atEnd_ = false;
}

std::string_view TZipFile::Peek(std::size_t n)
{
    if (started_ || openFailed_ || size_ <= 0) return {};
    Fill(n);
    std::size_t avail = std::min<std::size_t>({end_ - pos_, n, static_cast<std::size_t>(size_)});
    return std::string_view(buffer_.data() + pos_, avail);
}

bool TZipFile::AtEnd()
{
    Prepare();
    if (atEnd_) return true;
    if (delivered_ >= size_) {
        // Read on to the end of an archive member so that its check runs.
        if (inflater_ && !sourceDone_) {
            char probe[1];
            ReadSource(probe, sizeof probe);
        }
        atEnd_ = true;
        return true;
    }
    const std::size_t len = static_cast<std::size_t>(readLength_);
    Fill(len);
    const std::size_t avail = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(end_ - pos_), size_ - delivered_));
    if (avail >= len) return false;
    // The last record is short. Missing line-end bytes are tolerated;
    // anything shorter is an incomplete record, not delivered.
    const std::size_t lineEnd = readLength_ < recordLength_ ? 1 : std::min<std::size_t>(2, len - 1);
    if (avail > 0 && avail >= len - lineEnd) return false;
    const char* p = buffer_.data() + pos_;
    for (std::size_t i = 0; i < avail; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c > ' ' && c != 0x1A) { // 0x1A: an end-of-file mark
            if (error_.empty()) error_ = "incomplete last record";
            break;
        }
    }
    pos_ += avail;
    delivered_ += static_cast<int64_t>(avail);
    atEnd_ = true;
    return true;
}

std::string_view TZipFile::NextRecord()
{
    if (AtEnd()) return {};
    started_ = true;
    const std::size_t avail = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(end_ - pos_), size_ - delivered_));
    const std::size_t n = std::min(avail, static_cast<std::size_t>(readLength_));
    std::string_view record(buffer_.data() + pos_, n);
    pos_ += n;
    delivered_ += static_cast<int64_t>(n);
    ++tally_.read;
    // A whole record ends in its line end; one that does not means that the
    // records are not all of one length, and every field after it would be
    // read from the wrong columns.
    const bool lf = readLength_ < recordLength_;
    if (n == static_cast<std::size_t>(readLength_) && n >= 2 &&
        (record[n - 1] != '\n' || (!lf && record[n - 2] != '\r'))) {
        // Damaged data of an archive member misplaces line ends too: read
        // to the member's end so that its check names the real fault.
        char rest[4096];
        while (inflater_ && !sourceDone_ && ReadSource(rest, sizeof rest) > 0) {
        }
        if (error_.empty())
            error_ = "record " + std::to_string(tally_.read) + " does not end where a record ends (records of other lengths)";
        atEnd_ = true;
        return {};
    }
    return record;
}

std::string_view TZipFile::ReadRecord()
{
    for (;;) {
        std::string_view record = NextRecord();
        if (record.empty() || !validator_) return record;
        const char* reason = validator_(record);
        if (!reason) return record;
        Reject(reason);
    }
}

int32_t TZipFile::RecordEstimate()
{
    Prepare();
    return static_cast<int32_t>(std::min<int64_t>(size_ / readLength_, INT32_MAX));
}

int TZipFile::RecordLength()
{
    Prepare();
    return readLength_;
}

bool TZipFile::LfLineEnds()
{
    Prepare();
    return readLength_ < recordLength_;
}

// --- opening a county's record file -----------------------------------------------------

std::string FindFileIgnoringCase(const std::string& path)
{
    if (IsRegularFile(path)) return path;
    const std::string dir = DirectoryPart(path);
    const std::string name = FileNamePart(path);
    if (name.empty()) return {};
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string best;
    while (const dirent* e = ::readdir(d)) {
        std::string_view entry(e->d_name);
        if (!EqualIgnoringCase(entry, name)) continue;
        std::string candidate = dir + std::string(entry);
        if (!IsRegularFile(candidate)) continue;
        if (best.empty() || candidate < best) best = std::move(candidate); // the same choice every time
    }
    ::closedir(d);
    return best;
}

TZipFile OpenRecordFile(const CountySource& county, std::string_view extension, const RecordLayouts& layouts)
{
    const int length = layouts.Length(RecordTypeOf(extension));
    TZipFile file = OpenRecordFile(county, extension, length > 0 ? length + 2 : 0);
    file.SetValidator(RecordValidatorFor(extension, layouts));
    return file;
}

TZipFile OpenRecordFile(const CountySource& county, std::string_view extension, int recordLength)
{
    const std::string fileName = FileNamePart(county.inputPath);
    std::string base = fileName.substr(0, fileName.find('.'));
    TZipFile file = [&] {
        if (county.memory) {
            const auto found = county.memory->find(extension);
            if (found != county.memory->end())
                return TZipFile::InMemory(DirectoryPart(county.inputPath) + base + std::string(extension), found->second,
                                          recordLength);
            return TZipFile::Missing(recordLength);
        }
        if (!county.archive.empty()) {
            for (char& c : base) c = UpperAscii(c);
            return TZipFile(county.archive, base + std::string(extension), recordLength);
        }
        return TZipFile(std::string(), DirectoryPart(county.inputPath) + base + std::string(extension), recordLength);
    }();
    file.SetValidator(RecordValidatorFor(extension, LayoutsOf(LayoutGroup::Census2000)));
    return file;
}

} // namespace zalor
