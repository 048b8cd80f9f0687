// A county's record files, inside its archive or loose.
//
// Every record reader opens the county's record file of one type with
// OpenRecordFile and reads it as fixed-length records through TZipFile,
// the same way whether the file is an archive member or lies loose in a
// directory. Archive members are read through the archive layer
// (tiger/zip_archive.h) and inflated by a MemberInflater (tiger/inflater.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

class MemberInflater;

// Checks one record of a record type (its line end included); returns why
// it is no record of that type, or null when it is one.
using RecordValidator = std::function<const char*(std::string_view record)>;

// What the records of a file were: how many were read, how many were
// rejected as no records of their type, and the first of those.
struct RecordTally {
    int64_t read = 0;
    int64_t rejected = 0;
    int64_t firstRejected = 0; // record number, from 1
    const char* firstReason = "";
};

// A record file read as fixed-length records. In archive mode it is a
// member of an archive, inflated in large blocks by a thread of the
// TZipFile's own (its MemberInflater), a few blocks ahead of the reader; in
// loose mode a file read in large blocks; in memory (InMemory) bytes that
// the caller holds, read as a file would be. The record length counts the
// CR LF line end; a file whose first record ends in a lone LF is read with
// records one byte shorter.
class TZipFile {
public:
    // `archiveName` empty: loose mode, `fileName` is the path. Otherwise
    // `fileName` is the member; "archive>MEMBER" as archive name opens MEMBER
    // whatever the file name.
    TZipFile(const std::string& archiveName, const std::string& fileName, int recordLength);
    // A record file whose bytes are in memory (they must outlive it), named `name`.
    static TZipFile InMemory(std::string name, std::string_view bytes, int recordLength);
    // A record file that is not there.
    static TZipFile Missing(int recordLength);
    ~TZipFile();
    TZipFile(TZipFile&&) noexcept;
    TZipFile& operator=(TZipFile&&) noexcept;
    TZipFile(const TZipFile&) = delete;
    TZipFile& operator=(const TZipFile&) = delete;

    // The archive, member or file could not be opened.
    bool OpenFailed() const { return openFailed_; }
    // Why a file or member that is there could not be opened (it is no
    // regular file, or a member that cannot be read); empty when it opened
    // or is simply not there.
    const std::string& OpenError() const { return openError_; }
    // Records that `validator` rejects are passed over and counted.
    void SetValidator(RecordValidator validator) { validator_ = std::move(validator); }
    // Counts the record just read as rejected (a reader that found it no
    // record of its type while parsing it).
    void Reject(const char* reason)
    {
        if (tally_.rejected++ == 0) {
            tally_.firstRejected = tally_.read;
            tally_.firstReason = reason;
        }
    }
    const RecordTally& Tally() const { return tally_; }
    // True once every byte of the file has been delivered (at once for an
    // empty file). Test it before each read.
    bool AtEnd();
    // The next record; its bytes stay valid until the next call. A record
    // holds the record length (line end included) except at the very end.
    // A record that does not end where a record ends (the records of the
    // file are not all of one length) ends the file with an error, and an
    // empty record is returned.
    // A final incomplete record is not delivered: when it holds more than
    // blanks and line ends it is reported through Error().
    std::string_view ReadRecord();
    // Up to `n` bytes from the start of the data, before the first read.
    std::string_view Peek(std::size_t n);
    // Sets the record length before the first read (after a Peek).
    void SetRecordLength(int recordLength);

    int32_t RecordEstimate(); // size / record length
    int64_t Size() const { return size_; }
    int RecordLength();       // bytes per record as read (line end included)
    bool LfLineEnds();        // records end in a lone LF
    // Member name in archive mode, file path in loose mode.
    const std::string& Name() const { return name_; }
    // What went wrong while reading (a damaged member, an input error, a
    // truncated last record); empty when nothing did.
    const std::string& Error() const { return error_; }
    void Close();

private:
    explicit TZipFile(int recordLength);
    // The constructor's two modes: `member` of `archive`, or the loose `file`.
    void OpenMember(const std::string& archive, const std::string& member);
    void OpenLooseFile(const std::string& file);
    void Prepare();
    bool Fill(std::size_t want);
    int64_t ReadSource(char* dst, std::size_t n);

    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    std::unique_ptr<MemberInflater> inflater_; // archive mode: the member being inflated
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string_view memory_; // in memory: the whole file
    bool inMemory_ = false;
    std::string_view NextRecord();

    std::string name_;
    std::string error_;
    std::string openError_;
    RecordValidator validator_;
    RecordTally tally_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    int64_t size_ = 0;
    int64_t delivered_ = 0;
    int64_t sourceBytes_ = 0; // bytes read from the member or file
    int recordLength_ = 0; // as passed: CR LF records
    int readLength_ = 0;   // as read: one less with LF line ends
    bool openFailed_ = false;
    bool archiveMode_ = false;
    bool atEnd_ = false;
    bool sourceDone_ = false;
    bool prepared_ = false;
    bool started_ = false;
};

// Record files held in memory, by extension (".RT1"); what is not there is
// a record file that is not there.
using RecordFilesInMemory = std::map<std::string, std::string_view, std::less<>>;

// Where the record files of one county are: the members of its archive,
// or loose files beside its input path, or (for tests and fuzzing) files in
// memory named as if they lay beside it.
struct CountySource {
    std::string inputPath; // the county input: an archive or one of its record files
    std::string archive;   // the archive to read from; empty for loose record files
    const RecordFilesInMemory* memory = nullptr; // when set, the only record files read
};

// Opens the county's record file of one type. The county's base name is the
// file name of its input path up to the first ".". From an archive the
// record file is the member (upper-cased base name) + extension; loose, the
// file directory + base name + extension, found whatever the case of its
// name. Ask OpenFailed() before reading.
TZipFile OpenRecordFile(const CountySource& county, std::string_view extension, int recordLength);
class RecordLayouts;
// The same with the record length and the check of records of the
// county's layouts.
TZipFile OpenRecordFile(const CountySource& county, std::string_view extension, const RecordLayouts& layouts);

// The path of an existing file named like `path` ignoring the case of its
// file name (the exact name first); empty when there is none.
std::string FindFileIgnoringCase(const std::string& path);

} // namespace zalor
