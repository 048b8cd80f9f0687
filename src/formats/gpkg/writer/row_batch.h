// Rows of one table on their way to the writer thread. The layer's side
// makes the geometry blobs and the values as they are bound, so that the
// writer thread has only the rows to insert.
#pragma once

#include "formats/gpkg/writer/blob.h"
#include "formats/row.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zalor {

struct RowBatch {
    struct Value { // 16 bytes: a batch holds one for each column of each row
        struct Span {
            uint32_t begin, end; // of a text in `text`
        };
        union {
            int64_t integer = 0;
            double real;
            Span text;
        };
        enum class Kind : uint8_t { Null, Integer, Real, Text } kind = Kind::Null;
    };
    std::string blobs;                 // of every feature, one after another
    std::vector<std::size_t> blobEnds; // where each feature's blob ends (one area may pass 4 GB)
    Envelope extent;                   // of them all
    std::string text;                  // the texts, in UTF-8
    std::vector<Value> values;         // one per column of each feature
    std::size_t coordinates = 0;       // held
    uint64_t number = 0;               // in the order of handing over

    std::size_t Features() const { return blobEnds.size(); }
    // Empties the batch for new rows; what it has grown to stays.
    void Clear()
    {
        blobs.clear();
        blobEnds.clear();
        extent = Envelope();
        text.clear();
        values.clear();
        coordinates = 0;
        number = 0;
    }
};

// Appends the values of a row as they are bound to the table's columns:
// texts in UTF-8, degree columns (micro-degrees in the row) as degrees, a
// value the row does not have as null.
void AppendValues(const Row& row, const std::vector<Column>& columns, RowBatch& batch);

// Appends a Latin-1 text in UTF-8 (GeoPackage texts are UTF-8).
void AppendUtf8(std::string& out, std::string_view text);

} // namespace zalor
