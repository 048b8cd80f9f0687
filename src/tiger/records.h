// Helpers shared by the TIGER record readers.
#pragma once

#include "tiger/county.h"
#include "tiger/fields.h"
#include "tiger/layouts.h"

#include <cstddef>
#include <string_view>

namespace zalor {

// A field of a record, and its integer value.
inline std::string_view At(std::string_view r, FieldColumns f) { return Columns(r, f.first, f.last); }
inline int32_t IntAt(std::string_view r, FieldColumns f) { return FieldToInt(Columns(r, f.first, f.last)); }

// A feature name built from its record fields without allocating. The
// name starts as the feature name; a direction prefix goes before it, a
// type and a direction suffix after it, each joined by one blank when not
// empty (all parts trimmed). So prefix "W" with an empty name gives "W ".
class FeatureName {
public:
    FeatureName(std::string_view prefix, std::string_view name, std::string_view type,
                std::string_view suffix = std::string_view())
    {
        prefix = TrimField(prefix);
        type = TrimField(type);
        suffix = TrimField(suffix);
        if (!prefix.empty()) {
            Put(prefix);
            Put(" ");
        }
        Put(TrimField(name));
        if (!type.empty()) {
            Put(" ");
            Put(type);
        }
        if (!suffix.empty()) {
            Put(" ");
            Put(suffix);
        }
    }
    std::string_view Text() const { return std::string_view(buf_, size_); }

private:
    void Put(std::string_view s)
    {
        for (char c : s)
            if (size_ < sizeof buf_) buf_[size_++] = c;
    }
    char buf_[192];
    std::size_t size_ = 0;
};

// Looks chains up by identifier for a reader whose records mostly follow
// the identifier order: the chain after the last one found is tried
// first, then the binary search. Gives what FindChainById gives.
class ChainFinder {
public:
    explicit ChainFinder(const ChainTable& chains) : chains_(chains), count_(chains.count()) {}
    int32_t Find(int32_t tlid)
    {
        for (int32_t j = last_; j <= last_ + 1; ++j) {
            if (j < 1 || j > count_ || chains_[j].TLID != tlid) continue;
            if ((j > 1 && chains_[j - 1].TLID == tlid) || (j < count_ && chains_[j + 1].TLID == tlid)) break;
            return last_ = j; // the only chain with this identifier
        }
        const int32_t i = chains_.FindChainById(tlid);
        if (i > 0) last_ = i;
        return i;
    }

private:
    const ChainTable& chains_;
    int32_t count_;
    int32_t last_ = 0;
};

} // namespace zalor
