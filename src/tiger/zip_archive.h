// The archive layer: reading and writing .ZIP archives over minizip, and
// reading gzip files. The record reader reads archive members through it
// (tiger/record_file.h), and a county's outputs are zipped with it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

// The packed date and time of an archive member:
// ((year - 1980) * 512 + month * 32 + day) * 65536 + hour * 2048 + minute * 32 + second / 2.
uint32_t PackedDosTime(int year, int month, int day, int hour, int minute, int second);

// Name matching of GetZipList, ignoring case: an empty mask or "*.*"
// matches every name; otherwise name and mask are split at their first "."
// and base and extension are compared separately ("*" ends the comparison
// with a match, "?" matches any one character). A mask without "." is
// compared with the whole name.
bool ZipMaskMatches(std::string_view name, std::string_view mask);

class TZipObj {
public:
    TZipObj() = default;
    ~TZipObj();
    TZipObj(const TZipObj&) = delete;
    TZipObj& operator=(const TZipObj&) = delete;

    // --- the archive reader underneath (handles are minizip's) -----------
    static void* unzOpenX(const std::string& archivePath);
    // caseFlag 1 compares names exactly, 2 ignoring case.
    static int unzLocateFileX(void* handle, const std::string& member, int caseFlag);
    // Uncompressed size and name of the current member; false when unknown.
    static bool unzGetCurrentFileInfoX(void* handle, int64_t& size, std::string* name = nullptr,
                                       int64_t* compressedSize = nullptr, int* method = nullptr,
                                       uint32_t* crc = nullptr);
    static int unzOpenCurrentFileX(void* handle);
    static int unzReadCurrentFileX(void* handle, char* buffer, unsigned length);
    static int unzCloseCurrentFileX(void* handle);
    static int unzCloseX(void* handle);

    // --- writing an archive ------------------------------------------------
    // Creates a new archive (an existing file of that name is replaced).
    int OpenZip(const std::string& archivePath);
    // Adds the file under its own name (without directory); 0 = success.
    int AddFileToZip(const std::string& filePath);
    int AddToZip(const std::string& filePath, std::FILE* stream);
    int CloseZip();

    // --- reading -------------------------------------------------------------
    // "archive.zip>MEMBER" or a path whose extension chooses: .ZIP opens the
    // member, .GZ the gzip file; anything else opens nothing and gives 0.
    int Open(const std::string& path);
    // Bytes read into `buffer` (0 at the end, negative on an error).
    int64_t Read(char* buffer, std::size_t length);
    int64_t Position() const { return position_; }
    int64_t Size() const { return size_; }
    int Close();

    // Opens a member of an archive: looked up with exact case first, then
    // ignoring case. 0 = success. With `rawDeflate`, a deflated member is
    // opened as it is stored: ReadUnZip gives its deflate data, which the
    // caller inflates and checks against MemberCrc() itself.
    int OpenUnZip(const std::string& archivePath, const std::string& member, bool rawDeflate = false);
    int64_t ReadUnZip(char* buffer, std::size_t length);
    int CloseUnZip();
    // The name of the member opened (as stored in the archive).
    const std::string& MemberName() const { return memberName_; }
    // Why a member that is in the archive could not be opened (an
    // unsupported compression method, encryption, a damaged header); empty
    // when it opened or is not there.
    const std::string& OpenError() const { return openError_; }
    // True when the member's data failed its check (a CRC error) at close.
    bool MemberCorrupt() const { return memberCorrupt_; }
    // The member was opened as raw deflate data; its stated CRC-32.
    bool RawDeflate() const { return raw_; }
    uint32_t MemberCrc() const { return crc_; }

    int OpenGz(const std::string& path); // 0 = success, 1 = failure
    int64_t ReadGz(char* buffer, std::size_t length);
    int CloseGz();

    // --- whole-file operations -------------------------------------------------
    // Writes a member into `targetDirectory` (the current directory when
    // empty) under the member's file name without any directory part.
    // 0 = success.
    static int ExtractZipFile(const std::string& archivePath, const std::string& member,
                              const std::string& targetDirectory = std::string());
    // Writes the decompressed data of a gzip file to `target` (when empty,
    // the gzip path without its ".gz"). 0 = success, 1 = the gzip file cannot
    // be opened, 2 = the target cannot be written or no target name.
    static int ExtractGzFile(const std::string& gzPath, const std::string& target);
    // "archive.zip>mask" (mask "*" when there is no ">"): appends the names
    // of the matching members to `list`, with "|" + compressed size (flag 1),
    // "|" + uncompressed size (flag 2), "|" + saving + "%" (flag 4).
    // 0 = success, 1 = the archive cannot be opened.
    static int GetZipList(const std::string& text, std::vector<std::string>& list, int flags);

private:
    void* zip_ = nullptr; // archive being written
    void* unz_ = nullptr; // archive being read
    void* gz_ = nullptr;  // gzip file being read
    bool memberOpen_ = false;
    bool memberCorrupt_ = false;
    bool raw_ = false;
    uint32_t crc_ = 0;
    int zipResult_ = 0;
    int64_t position_ = 0;
    int64_t size_ = 0;
    std::string memberName_;
    std::string openError_;
};

} // namespace zalor
