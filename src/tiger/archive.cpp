#include "tiger/archive.h"

#include "tiger/file_names.h"
#include "tiger/paths.h"
#include "tiger/validation.h"

#include <unzip.h>
#include <zip.h>
#include <zlib.h>
#ifdef ZALOR_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <array>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zalor {

namespace {

constexpr std::size_t kBlockSize = std::size_t(1) << 20; // bytes inflated or read at a time
constexpr std::size_t kCopyChunk = 65536;                // bytes per write when zipping or extracting
#ifdef ZALOR_HAVE_ISAL
// Deflated members are inflated with ISA-L, about two and a half times as
// fast as zlib, from their raw deflate data.
constexpr bool kRawDeflate = true;
constexpr std::size_t kInputChunk = std::size_t(1) << 18; // deflate data read at a time
#else
constexpr bool kRawDeflate = false;
#endif

// One part of a mask against one part of a name: '*' ends the comparison
// with a match, '?' matches any one character.
bool WildPartMatches(std::string_view name, std::string_view mask)
{
    std::size_t i = 0;
    for (; i < mask.size(); ++i) {
        if (mask[i] == '*') return true;
        if (i >= name.size()) return false;
        if (mask[i] == '?') continue;
        if (UpperAscii(mask[i]) != UpperAscii(name[i])) return false;
    }
    return i == name.size();
}

// The file name of an archive member without any directory part (either
// separator), or empty when nothing safe is left.
std::string SafeMemberFileName(const std::string& member)
{
    std::size_t cut = member.find_last_of("/\\");
    std::string name = cut == std::string::npos ? member : member.substr(cut + 1);
    if (name == "." || name == "..") return {};
    return name;
}

unzFile Unz(void* h) { return static_cast<unzFile>(h); }
gzFile Gz(void* h) { return static_cast<gzFile>(h); }

} // namespace

uint32_t PackedDosTime(int year, int month, int day, int hour, int minute, int second)
{
    uint32_t date = static_cast<uint32_t>((year - 1980) * 512 + month * 32 + day);
    uint32_t time = static_cast<uint32_t>(hour * 2048 + minute * 32 + second / 2);
    return date * 65536u + time;
}

bool ZipMaskMatches(std::string_view name, std::string_view mask)
{
    if (mask.empty() || mask == "*.*") return true;
    std::size_t maskDot = mask.find('.');
    if (maskDot == std::string_view::npos) return WildPartMatches(name, mask);
    std::size_t nameDot = name.find('.');
    std::string_view nameBase = name.substr(0, nameDot);
    std::string_view nameExt = nameDot == std::string_view::npos ? std::string_view() : name.substr(nameDot + 1);
    std::string_view maskBase = mask.substr(0, maskDot);
    std::string_view maskExt = mask.substr(maskDot + 1);
    if (!WildPartMatches(nameBase, maskBase)) return false;
    return maskExt == "*" || WildPartMatches(nameExt, maskExt);
}

// --- TZipObj: the archive reader underneath ------------------------------------

void* TZipObj::unzOpenX(const std::string& archivePath) { return unzOpen64(archivePath.c_str()); }

int TZipObj::unzLocateFileX(void* handle, const std::string& member, int caseFlag)
{
    return unzLocateFile(Unz(handle), member.c_str(), caseFlag);
}

bool TZipObj::unzGetCurrentFileInfoX(void* handle, int64_t& size, std::string* name, int64_t* compressedSize,
                                     int* method, uint32_t* crc)
{
    unz_file_info64 info;
    char buf[1024];
    if (unzGetCurrentFileInfo64(Unz(handle), &info, buf, sizeof buf, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (info.uncompressed_size > static_cast<ZPOS64_T>(INT64_MAX)) return false;
    size = static_cast<int64_t>(info.uncompressed_size);
    if (compressedSize) *compressedSize = static_cast<int64_t>(std::min<ZPOS64_T>(info.compressed_size, INT64_MAX));
    if (name) name->assign(buf, ::strnlen(buf, sizeof buf));
    if (method) *method = static_cast<int>(info.compression_method);
    if (crc) *crc = static_cast<uint32_t>(info.crc);
    return true;
}

int TZipObj::unzOpenCurrentFileX(void* handle) { return unzOpenCurrentFile(Unz(handle)); }

int TZipObj::unzReadCurrentFileX(void* handle, char* buffer, unsigned length)
{
    return unzReadCurrentFile(Unz(handle), buffer, length);
}

int TZipObj::unzCloseCurrentFileX(void* handle) { return unzCloseCurrentFile(Unz(handle)); }

int TZipObj::unzCloseX(void* handle) { return unzClose(Unz(handle)); }

TZipObj::~TZipObj()
{
    if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
    CloseGz();
    CloseUnZip();
}

// --- writing ---------------------------------------------------------------------

int TZipObj::OpenZip(const std::string& archivePath)
{
    if (zip_) CloseZip();
    position_ = 0;
    size_ = 0;
    zip_ = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
    zipResult_ = zip_ ? ZIP_OK : ZIP_ERRNO;
    return zipResult_ == ZIP_OK ? 0 : 1;
}

int TZipObj::AddFileToZip(const std::string& filePath)
{
    std::FILE* f = std::fopen(filePath.c_str(), "rb");
    if (!f) {
        zipResult_ = ZIP_ERRNO;
        return zipResult_;
    }
    int rc = AddToZip(filePath, f);
    std::fclose(f);
    return rc;
}

int TZipObj::AddToZip(const std::string& filePath, std::FILE* stream)
{
    if (!zip_) return zipResult_ = ZIP_PARAMERROR;
    const std::string member = FileNamePart(filePath);

    struct stat st;
    if (::fstat(fileno(stream), &st) != 0) return zipResult_ = ZIP_ERRNO;
    const int64_t size = static_cast<int64_t>(st.st_size);

    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    zip_fileinfo info{};
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon); // minizip counts months from 0
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    info.dosDate = PackedDosTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                 local.tm_min, local.tm_sec);
    info.internal_fa = 0;
    info.external_fa = 0;

    zipFile zf = static_cast<zipFile>(zip_);
    zipResult_ = zipOpenNewFileInZip64(zf, member.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9,
                                       size >= 0xFFFFFFFFLL ? 1 : 0);
    if (zipResult_ != ZIP_OK) return zipResult_;

    std::rewind(stream);
    std::vector<char> chunk(kCopyChunk);
    int64_t done = 0;
    while (done < size) {
        std::size_t want = static_cast<std::size_t>(std::min<int64_t>(size - done, static_cast<int64_t>(kCopyChunk)));
        std::size_t got = std::fread(chunk.data(), 1, want, stream);
        if (got == 0) return zipResult_ = ZIP_ERRNO; // the file shrank or cannot be read
        zipResult_ = zipWriteInFileInZip(zf, chunk.data(), static_cast<unsigned>(got));
        if (zipResult_ != ZIP_OK) return zipResult_;
        done += static_cast<int64_t>(got);
        position_ += static_cast<int64_t>(got);
    }
    zipResult_ = zipCloseFileInZip(zf);
    return zipResult_;
}

int TZipObj::CloseZip()
{
    if (!zip_) return zipResult_ = ZIP_PARAMERROR;
    zipResult_ = zipClose(static_cast<zipFile>(zip_), nullptr);
    zip_ = nullptr;
    return zipResult_;
}

// --- reading -----------------------------------------------------------------------

int TZipObj::Open(const std::string& text)
{
    std::string path = text;
    std::string member;
    std::size_t gt = text.find('>');
    if (gt != std::string::npos) {
        path = text.substr(0, gt);
        member = text.substr(gt + 1);
    }
    std::string name = FileNamePart(path);
    std::size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : ext) c = UpperAscii(c);
    if (ext == ".ZIP") return OpenUnZip(path, member);
    if (ext == ".GZ") return OpenGz(path);
    return 0;
}

int64_t TZipObj::Read(char* buffer, std::size_t length)
{
    if (gz_) return ReadGz(buffer, length);
    return ReadUnZip(buffer, length);
}

int TZipObj::Close()
{
    if (gz_) return CloseGz();
    return CloseUnZip();
}

int TZipObj::OpenUnZip(const std::string& archivePath, const std::string& member, bool rawDeflate)
{
    CloseUnZip();
    memberCorrupt_ = false;
    raw_ = false;
    crc_ = 0;
    position_ = 0;
    size_ = 0;
    memberName_.clear();
    openError_.clear();
    unz_ = unzOpenX(archivePath);
    if (!unz_) return 1;
    int rc;
    if (member.empty()) rc = unzGoToFirstFile(Unz(unz_));
    else {
        rc = unzLocateFileX(unz_, member, 1);
        if (rc != UNZ_OK) rc = unzLocateFileX(unz_, member, 2);
    }
    int method = 0;
    const bool located = rc == UNZ_OK;
    if (rc == UNZ_OK && !unzGetCurrentFileInfoX(unz_, size_, &memberName_, nullptr, &method, &crc_))
        rc = UNZ_BADZIPFILE;
    if (rc == UNZ_OK) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(Unz(unz_), &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK && (info.flag & 1))
            openError_ = "the member is encrypted";
        else if (method != 0 && method != Z_DEFLATED)
            openError_ = "compression method " + std::to_string(method) + " is not supported";
        if (!openError_.empty()) rc = UNZ_BADZIPFILE;
    }
    if (rc == UNZ_OK) {
        if (rawDeflate && method == Z_DEFLATED) {
            int level = 0;
            rc = unzOpenCurrentFile2(Unz(unz_), &method, &level, 1);
            raw_ = rc == UNZ_OK;
        } else {
            rc = unzOpenCurrentFileX(unz_);
        }
    }
    if (rc != UNZ_OK) {
        if (located && openError_.empty()) openError_ = "the member cannot be read (a damaged header)";
        unzCloseX(unz_);
        unz_ = nullptr;
        size_ = 0;
        return rc == 0 ? 1 : rc;
    }
    memberOpen_ = true;
    return 0;
}

int64_t TZipObj::ReadUnZip(char* buffer, std::size_t length)
{
    if (!memberOpen_) return -1;
    unsigned n = static_cast<unsigned>(std::min<std::size_t>(length, INT_MAX));
    int got = unzReadCurrentFileX(unz_, buffer, n);
    if (got > 0) position_ += got;
    return got;
}

int TZipObj::CloseUnZip()
{
    int rc = 0;
    if (memberOpen_) {
        rc = unzCloseCurrentFileX(unz_);
        if (rc == UNZ_CRCERROR) memberCorrupt_ = true;
        memberOpen_ = false;
    }
    if (unz_) {
        int rc2 = unzCloseX(unz_);
        if (rc == 0) rc = rc2;
        unz_ = nullptr;
    }
    return rc;
}

int TZipObj::OpenGz(const std::string& path)
{
    CloseGz();
    position_ = 0;
    gz_ = gzopen(path.c_str(), "rb");
    return gz_ ? 0 : 1;
}

int64_t TZipObj::ReadGz(char* buffer, std::size_t length)
{
    if (!gz_) return -1;
    unsigned n = static_cast<unsigned>(std::min<std::size_t>(length, INT_MAX));
    int got = gzread(Gz(gz_), buffer, n);
    if (got > 0) position_ += got;
    return got;
}

int TZipObj::CloseGz()
{
    if (gz_) gzclose(Gz(gz_));
    gz_ = nullptr;
    return 0;
}

// --- whole-file operations ------------------------------------------------------------

int TZipObj::ExtractZipFile(const std::string& archivePath, const std::string& member,
                            const std::string& targetDirectory)
{
    TZipObj z;
    if (z.OpenUnZip(archivePath, member) != 0) return 1;
    std::string name = SafeMemberFileName(z.MemberName());
    if (name.empty()) return 1;
    std::string dir = targetDirectory;
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    const std::string target = dir + name;
    std::FILE* out = std::fopen(target.c_str(), "wb");
    if (!out) return 2;
    std::vector<char> block(kCopyChunk);
    bool ok = true;
    for (;;) {
        int64_t got = z.ReadUnZip(block.data(), block.size());
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (std::fwrite(block.data(), 1, static_cast<std::size_t>(got), out) != static_cast<std::size_t>(got)) {
            ok = false;
            break;
        }
    }
    if (std::fclose(out) != 0) ok = false;
    z.CloseUnZip();
    if (z.MemberCorrupt()) ok = false;
    if (!ok) {
        std::remove(target.c_str());
        return 2;
    }
    return 0;
}

int TZipObj::ExtractGzFile(const std::string& gzPath, const std::string& target)
{
    std::string out = target;
    if (out.empty()) {
        // The gzip file's own name: the path without ".gz".
        if (gzPath.size() > 3 && EqualIgnoringCase(std::string_view(gzPath).substr(gzPath.size() - 3), ".GZ"))
            out = gzPath.substr(0, gzPath.size() - 3);
        else return 2;
    }
    if (out == gzPath) return 2;
    TZipObj z;
    if (z.OpenGz(gzPath) != 0) return 1;
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) return 2;
    std::vector<char> block(kCopyChunk);
    bool ok = true;
    for (;;) {
        int64_t got = z.ReadGz(block.data(), block.size());
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (std::fwrite(block.data(), 1, static_cast<std::size_t>(got), f) != static_cast<std::size_t>(got)) {
            ok = false;
            break;
        }
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::remove(out.c_str());
        return 2;
    }
    return 0;
}

int TZipObj::GetZipList(const std::string& text, std::vector<std::string>& list, int flags)
{
    std::string archive = text;
    std::string mask = "*";
    std::size_t gt = text.find('>');
    if (gt != std::string::npos) {
        archive = text.substr(0, gt);
        mask = text.substr(gt + 1);
    }
    void* h = unzOpenX(archive);
    if (!h) return 1;
    for (int rc = unzGoToFirstFile(Unz(h)); rc == UNZ_OK; rc = unzGoToNextFile(Unz(h))) {
        int64_t size = 0, packed = 0;
        std::string name;
        if (!unzGetCurrentFileInfoX(h, size, &name, &packed)) break;
        if (!ZipMaskMatches(name, mask)) continue;
        std::string line = name;
        if (flags & 1) line += "|" + std::to_string(packed);
        if (flags & 2) line += "|" + std::to_string(size);
        if (flags & 4) line += "|" + std::to_string(size > 0 ? (size - packed) * 100 / size : 0) + "%";
        list.push_back(std::move(line));
    }
    unzCloseX(h);
    return 0;
}

// --- TZipFile::Inflater: a member inflated ahead of its reader -----------------------

// Owns the opened member. A thread of its own inflates the member into a
// ring of large blocks while the reader copies out of the block before;
// the thread waits when every block is full and ends when the data does,
// when it fails, or when the inflater is destroyed. A member of at most one
// block, or a system that cannot start the thread, is inflated by the
// reader itself, block by block. Everything the reader sees is the same
// either way: the same bytes, the same end, the same errors.
//
// A member opened as raw deflate data is inflated here (with ISA-L) and
// checked as the archive layer checks the others: never more than its
// stated size comes out, and its CRC-32 is compared when exactly that much
// has.
class TZipFile::Inflater {
public:
    Inflater(std::unique_ptr<TZipObj> zip, bool ahead) : zip_(std::move(zip))
    {
#ifdef ZALOR_HAVE_ISAL
        if (zip_->RawDeflate()) {
            isal_ = std::make_unique<inflate_state>();
            isal_inflate_init(isal_.get());
            isal_->crc_flag = ISAL_GZIP_NO_HDR; // keeps the CRC-32 of the output
            input_.reset(new char[kInputChunk]);
        }
#endif
        if (!ahead) return;
        try {
            thread_ = std::thread(&Inflater::Run, this);
        } catch (const std::system_error&) {
            // No thread: the reader inflates.
        }
    }

    ~Inflater()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        freed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Copies up to `n` bytes of the member into `dst`; 0 once its data has
    // ended. What the inflating thread threw is thrown here, after the
    // blocks it completed.
    std::size_t Read(char* dst, std::size_t n)
    {
        if (!current_ && !TakeBlock()) return 0;
        const std::size_t got = std::min(n, current_->size - offset_);
        std::memcpy(dst, current_->bytes.get() + offset_, got);
        offset_ += got;
        if (offset_ == current_->size) ReleaseBlock();
        return got;
    }

    // After Read has given 0: inflating failed / the member failed its check.
    bool Damaged() const { return damaged_; }
    bool Corrupt() const { return corrupt_; }

private:
    static constexpr std::size_t kBlocks = 3;

    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };

    void Run()
    {
        try {
            for (;;) {
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    freed_.wait(lock, [this] { return stop_ || produced_ - consumed_ < kBlocks; });
                    if (stop_) return;
                }
                const bool more = Produce();
                filled_.notify_one();
                if (!more) return;
            }
        } catch (...) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                failure_ = std::current_exception();
                finished_ = true;
            }
            filled_.notify_one();
        }
    }

    // Inflates the next block; false once the data has ended. Only the
    // producer (the thread, or the reader when there is none) writes
    // produced_, and the block it fills is none that the reader holds.
    bool Produce()
    {
        Block& b = blocks_[produced_ % kBlocks];
        if (!b.bytes) b.bytes.reset(new char[kBlockSize]);
        b.size = 0;
#ifdef ZALOR_HAVE_ISAL
        const bool more = isal_ ? InflateRaw(b) : ReadMember(b);
#else
        const bool more = ReadMember(b);
#endif
        std::lock_guard<std::mutex> lock(mutex_);
        if (b.size > 0) ++produced_;
        if (!more) finished_ = true;
        return more;
    }

    // Fills the block through the archive layer, which inflates and checks.
    bool ReadMember(Block& b)
    {
        while (b.size < kBlockSize) {
            const int64_t got = zip_->ReadUnZip(b.bytes.get() + b.size, kBlockSize - b.size);
            if (got <= 0) {
                if (got < 0) damaged_ = true;
                zip_->CloseUnZip(); // runs the member's check
                corrupt_ = zip_->MemberCorrupt();
                return false;
            }
            b.size += static_cast<std::size_t>(got);
        }
        return true;
    }

#ifdef ZALOR_HAVE_ISAL
    // Fills the block from the member's deflate data.
    bool InflateRaw(Block& b)
    {
        inflate_state& z = *isal_;
        const int64_t size = zip_->Size();
        for (;;) {
            if (out_ >= size) return EndRaw(); // never more than the stated size
            if (b.size == kBlockSize) return true;
            if (z.avail_in == 0 && !inputDone_) {
                const int64_t got = zip_->ReadUnZip(input_.get(), kInputChunk);
                if (got < 0) {
                    damaged_ = true;
                    return EndRaw();
                }
                if (got == 0) inputDone_ = true;
                z.next_in = reinterpret_cast<uint8_t*>(input_.get());
                z.avail_in = static_cast<uint32_t>(got);
            }
            const std::size_t room =
                static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(kBlockSize - b.size), size - out_));
            const uint32_t inBefore = z.avail_in;
            z.next_out = reinterpret_cast<uint8_t*>(b.bytes.get() + b.size);
            z.avail_out = static_cast<uint32_t>(room);
            const int rc = isal_inflate(&z);
            const std::size_t made = room - z.avail_out;
            b.size += made;
            out_ += static_cast<int64_t>(made);
            if (rc < 0) {
                damaged_ = true;
                return EndRaw();
            }
            if (z.block_state == ISAL_BLOCK_FINISH) return EndRaw();
            // No progress: the deflate data ended before its last block.
            if (made == 0 && z.avail_in == inBefore && inputDone_) return EndRaw();
            if (made == 0 && z.avail_in == inBefore && z.avail_in > 0) {
                damaged_ = true; // cannot happen with sound data; never loop on it
                return EndRaw();
            }
        }
    }

    // The end of raw deflate data: the member is closed and, when its stated
    // size came out in full, its CRC-32 compared.
    bool EndRaw()
    {
        zip_->CloseUnZip();
        if (!damaged_ && out_ == zip_->Size() && isal_->crc != zip_->MemberCrc()) corrupt_ = true;
        return false;
    }
#endif

    bool TakeBlock()
    {
        if (!thread_.joinable()) {
            if (produced_ == consumed_ && !finished_) Produce();
            if (produced_ == consumed_) return false;
        } else {
            std::unique_lock<std::mutex> lock(mutex_);
            filled_.wait(lock, [this] { return produced_ > consumed_ || finished_; });
            if (produced_ == consumed_) {
                if (failure_) std::rethrow_exception(failure_);
                return false;
            }
        }
        current_ = &blocks_[consumed_ % kBlocks];
        offset_ = 0;
        return true;
    }

    void ReleaseBlock()
    {
        current_ = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++consumed_;
        }
        freed_.notify_one();
    }

    std::unique_ptr<TZipObj> zip_; // used by the producer only
#ifdef ZALOR_HAVE_ISAL
    std::unique_ptr<inflate_state> isal_; // raw deflate data: its inflation
    std::unique_ptr<char[]> input_;
    bool inputDone_ = false;
    int64_t out_ = 0; // bytes inflated so far
#endif
    std::array<Block, kBlocks> blocks_;
    bool damaged_ = false; // set by the producer before finished_
    bool corrupt_ = false;

    std::mutex mutex_;
    std::condition_variable filled_; // a block was filled, or the data ended
    std::condition_variable freed_;  // a block was released, or stop
    std::size_t produced_ = 0;       // blocks filled so far
    std::size_t consumed_ = 0;       // blocks the reader has released
    bool finished_ = false;          // no block will follow
    bool stop_ = false;
    std::exception_ptr failure_;

    Block* current_ = nullptr; // the reader's block
    std::size_t offset_ = 0;

    std::thread thread_; // last: starts when everything above exists
};

// --- TZipFile -------------------------------------------------------------------------

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
    if (!archive.empty()) {
        archiveMode_ = true;
        auto zip = std::make_unique<TZipObj>();
        if (!IsRegularFile(archive) && ::access(archive.c_str(), F_OK) == 0) {
            openFailed_ = true;
            openError_ = archive + " is not a regular file";
            return;
        }
        if (zip->OpenUnZip(archive, file, kRawDeflate) != 0) {
            openFailed_ = true;
            if (!zip->OpenError().empty()) openError_ = zip->MemberName() + " in " + archive + ": " + zip->OpenError();
            return;
        }
        name_ = zip->MemberName();
        size_ = zip->Size();
        // A member of more than one block is inflated ahead, on a thread.
        inflater_ = std::make_unique<Inflater>(std::move(zip), size_ > static_cast<int64_t>(kBlockSize));
        return;
    }
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
    std::size_t capacity = std::max(kBlockSize, want * 4);
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

TZipFile OpenRecordFile(const CountySource& county, std::string_view extension, int recordLength)
{
    const std::string fileName = FileNamePart(county.inputPath);
    std::string base = fileName.substr(0, fileName.find('.'));
    TZipFile file = [&] {
        if (!county.archive.empty()) {
            for (char& c : base) c = UpperAscii(c);
            return TZipFile(county.archive, base + std::string(extension), recordLength);
        }
        return TZipFile(std::string(), DirectoryPart(county.inputPath) + base + std::string(extension), recordLength);
    }();
    file.SetValidator(RecordValidatorFor(extension));
    return file;
}

} // namespace zalor
