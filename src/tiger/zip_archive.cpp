#include "tiger/zip_archive.h"

#include "tiger/file_names.h"
#include "tiger/paths.h"

#include <unistd.h>
#include <fcntl.h>
#include <cerrno>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

namespace zalor {

namespace {

constexpr std::size_t kCopyChunk = 65536; // bytes per write when zipping or extracting

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

// Writes the data of the member or gzip file opened in `z` into `out`, and
// closes `out`; false when the data cannot be read or written whole.
bool WriteOpenedData(TZipObj& z, std::FILE* out)
{
    std::vector<char> block(kCopyChunk);
    bool ok = true;
    while (ok) {
        const int64_t got = z.Read(block.data(), block.size());
        if (got == 0) break;
        const auto n = static_cast<std::size_t>(got);
        ok = got > 0 && std::fwrite(block.data(), 1, n, out) == n;
    }
    return std::fclose(out) == 0 && ok;
}

unzFile Unz(void* h) { return static_cast<unzFile>(h); }
gzFile Gz(void* h) { return static_cast<gzFile>(h); }

// An archive as minizip reads it: through a window of the file. minizip
// seeks and reads a few bytes at a time and asks for the position after
// most of them, each a system call through stdio; here whatever lies in the
// window costs none, and the rest is read with pread, a window at a time
// (a read of at least a window straight into the caller's buffer).
class ArchiveReader {
public:
    static constexpr std::size_t kWindow = std::size_t(1) << 16;

    // Null when the file cannot be opened.
    static ArchiveReader* Open(const char* path)
    {
        int fd;
        do {
            fd = ::open(path, O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return nullptr;
        struct stat st;
        const int64_t size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
        return new ArchiveReader(fd, size);
    }
    ~ArchiveReader() { ::close(fd_); }

    std::size_t Read(char* dst, std::size_t n)
    {
        std::size_t done = 0;
        while (done < n) {
            if (pos_ >= start_ && pos_ < start_ + static_cast<int64_t>(length_)) {
                const auto offset = static_cast<std::size_t>(pos_ - start_);
                const std::size_t k = std::min(n - done, length_ - offset);
                std::memcpy(dst + done, window_.data() + offset, k);
                done += k;
                pos_ += static_cast<int64_t>(k);
                continue;
            }
            // The end, as the file was when opened: minizip reads on past it
            // a byte at a time in a damaged header, each read a call here.
            if (pos_ >= size_) break;
            const bool direct = n - done >= kWindow;
            char* const to = direct ? dst + done : Window();
            const int64_t got = ReadAt(to, direct ? n - done : window_.size(), pos_);
            if (got <= 0) break;
            if (direct) {
                done += static_cast<std::size_t>(got);
                pos_ += got;
            } else {
                start_ = pos_;
                length_ = static_cast<std::size_t>(got);
            }
        }
        return done;
    }
    // As fseeko takes it: the offset is signed. 0 on success, -1 for a
    // position before the start or beyond any file.
    long Seek(ZPOS64_T offset, int origin)
    {
        const int64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? pos_ : origin == ZLIB_FILEFUNC_SEEK_END ? size_ : 0;
        const auto delta = static_cast<int64_t>(offset);
        if (delta > INT64_MAX - base || base + delta < 0) return -1;
        pos_ = base + delta;
        return 0;
    }
    ZPOS64_T Tell() const { return static_cast<ZPOS64_T>(pos_); }
    bool Failed() const { return failed_; }

private:
    ArchiveReader(int fd, int64_t size) : fd_(fd), size_(size) {}

    // (No larger than the file.)
    char* Window()
    {
        if (window_.empty()) window_.resize(static_cast<std::size_t>(std::clamp<int64_t>(size_, 1, kWindow)));
        return window_.data();
    }
    int64_t ReadAt(char* dst, std::size_t n, int64_t at)
    {
        ssize_t got;
        do {
            got = ::pread(fd_, dst, n, static_cast<off_t>(at));
        } while (got < 0 && errno == EINTR);
        if (got < 0) failed_ = true;
        return got;
    }

    int fd_;
    int64_t size_; // when opened: where SEEK_END is, and the end of what is read
    int64_t pos_ = 0;
    int64_t start_ = 0;      // of the window's bytes in the file
    std::size_t length_ = 0; // bytes in the window
    std::vector<char> window_;
    bool failed_ = false;
};

ArchiveReader* Reader(voidpf stream) { return static_cast<ArchiveReader*>(stream); }

// minizip's file functions over ArchiveReader (reading only).
zlib_filefunc64_def ArchiveReaderFunctions()
{
    zlib_filefunc64_def f{};
    f.zopen64_file = [](voidpf, const void* name, int mode) -> voidpf {
        if (!name || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
        return ArchiveReader::Open(static_cast<const char*>(name));
    };
    f.zread_file = [](voidpf, voidpf s, void* buf, uLong size) -> uLong {
        return static_cast<uLong>(Reader(s)->Read(static_cast<char*>(buf), size));
    };
    f.zwrite_file = [](voidpf, voidpf, const void*, uLong) -> uLong { return 0; };
    f.ztell64_file = [](voidpf, voidpf s) -> ZPOS64_T { return Reader(s)->Tell(); };
    f.zseek64_file = [](voidpf, voidpf s, ZPOS64_T offset, int origin) -> long {
        return Reader(s)->Seek(offset, origin);
    };
    f.zclose_file = [](voidpf, voidpf s) -> int {
        delete Reader(s);
        return 0;
    };
    f.zerror_file = [](voidpf, voidpf s) -> int { return Reader(s)->Failed() ? 1 : 0; };
    return f;
}

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

void* TZipObj::unzOpenX(const std::string& archivePath)
{
    zlib_filefunc64_def functions = ArchiveReaderFunctions();
    return unzOpen2_64(archivePath.c_str(), &functions);
}

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
    if (!unz_) {
        // Why, in words: an archive that cannot be opened is no missing member.
        const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            // An archive that is not there is a county that is missing, which the reader of its chains says.
            if (errno != ENOENT) openError_ = "the archive cannot be opened: " + std::string(std::strerror(errno));
        } else {
            ::close(fd);
            openError_ = "the file is no ZIP archive, or a damaged one";
        }
        return 1;
    }
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
    bool ok = WriteOpenedData(z, out);
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
    if (!WriteOpenedData(z, f)) {
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

} // namespace zalor
