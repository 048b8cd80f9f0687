// The KXF record decoder and the MTD parser, as the dump tool uses them.
#include "formats/kxf/kxf_codec.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zalor;
    std::span<const unsigned char> bytes(data, size);
    KxfHeader header;
    if (DecodeKxfHeader(bytes, header)) {
        std::size_t pos = kKxfHeaderSize;
        KxfRecord record;
        std::string error;
        while (pos < bytes.size()) {
            const std::size_t before = pos;
            if (!DecodeKxfRecord(bytes, pos, record, error)) break;
            if (pos <= before || pos > bytes.size()) std::abort(); // always forward, never past the end
            int64_t points = 0;
            for (int32_t n : record.partSizes) points += n;
            if (points != static_cast<int64_t>(record.points.size())) std::abort();
        }
    }
    MtdTable table;
    std::string error;
    ParseMtd(std::string_view(reinterpret_cast<const char*>(data), size), table, error);
    return 0;
}
