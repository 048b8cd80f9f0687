// Archives and record files made for the tests of the archive layer, the
// inflater and the record reader.
#pragma once

#include "support/recorder.h"
#include "tiger/record_file.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

namespace zalor::test {

// Writes an archive with the given members (name, bytes), stored or deflated.
inline void WriteArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members,
                         int method = Z_DEFLATED)
{
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zf, nullptr);
    for (const auto& [name, data] : members) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                        method ? 6 : 0, 0),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
}

// Writes an archive with `data` stored as `member`, the byte at `offset` of
// the data changed: the member opens and reads, and fails its CRC check.
inline void WriteArchiveWithChangedByte(const std::string& path, const std::string& member, const std::string& data,
                                        std::size_t offset)
{
    WriteArchive(path, {{member, data}}, 0); // stored: the bytes appear as they are
    std::string zip = ReadFile(path);
    const std::size_t at = zip.find(data.substr(0, 52));
    ASSERT_NE(at, std::string::npos);
    ASSERT_LT(at + offset, zip.size());
    zip[at + offset] = '#';
    WriteFile(path, zip);
}

// Every record of a file, read the way the readers do (end tested first).
inline std::vector<std::string> ReadAll(TZipFile& f)
{
    std::vector<std::string> out;
    while (!f.AtEnd()) out.emplace_back(f.ReadRecord());
    return out;
}

// `n` records of `length` bytes (CR LF included), filled with `fill` and
// the two characters after it in turn.
inline std::string Records(int n, int length, char fill = 'x')
{
    std::string s;
    for (int i = 0; i < n; ++i) s += std::string(static_cast<std::size_t>(length - 2), static_cast<char>(fill + i % 3)) + "\r\n";
    return s;
}

} // namespace zalor::test
