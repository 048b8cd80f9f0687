// The column block and the attribute rows of MapInfo interchange files (the
// MID file beside a MIF file), which the MTD attribute file of KXF shares:
// values separated by "," without spaces, free texts in double quotes with
// every double quote in them doubled.
#pragma once

#include "formats/row.h"
#include "formats/textfile.h"

#include <span>
#include <string>
#include <string_view>

namespace zalor {

// "COLUMNS n" (MIF) or "FIELDS n" (MTD), a line per column ("NAME char
// (30)", "NUM integer"; degrees are "Float" in MIF and "double" in MTD),
// an empty line after them when `blankLine`, and "DATA".
enum class ColumnBlock { Mif, Mtd };
void WriteColumnBlock(TTextFile& file, ColumnBlock kind, std::span<const Column> columns, bool blankLine);

// Appends the row as one MID line (without its line end): integers in
// decimal, degree columns in six-decimal degrees, codes as they are, free
// texts quoted.
void AppendMidRow(std::string& out, const Row& row, std::span<const Column> columns);

// Appends a quoted text value: a double quote, the text with every double
// quote in it doubled, a double quote.
void AppendQuoted(std::string& row, std::string_view text);

// --- reading -------------------------------------------------------------------

// Walks the values of a MID row: "," separates values outside double
// quotes. `visit(value, quoted)` gets each value; a value that starts with a
// double quote comes without its enclosing quotes, its doubled quotes still
// doubled (UndoubleQuotes undoes them). An unterminated quote keeps the rest
// of the row as the last value.
template <class Visit>
void ForEachMidValue(std::string_view row, Visit&& visit)
{
    bool inQuotes = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= row.size(); ++i) {
        if (i < row.size()) {
            if (row[i] == '"') inQuotes = !inQuotes;
            if (row[i] != ',' || inQuotes) continue;
        }
        std::string_view v = row.substr(start, i - start);
        start = i + 1;
        bool quoted = !v.empty() && v.front() == '"';
        if (quoted) {
            v.remove_prefix(1);
            if (!v.empty() && v.back() == '"') v.remove_suffix(1);
        }
        visit(v, quoted);
    }
}

// The text without the blanks and tabs around it.
inline std::string_view TrimBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// The text with every doubled double quote made single.
std::string UndoubleQuotes(std::string_view text);

} // namespace zalor
