#include "tiger/county.h"

#include <algorithm>
#include <cstring>

namespace zalor {

namespace {

// FNV-1a over the bytes of a name, folded to 32 bits.
uint32_t NameHash(std::string_view text)
{
    uint64_t h = 14695981039346656037ull;
    for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

constexpr std::size_t kNameBlock = 64 * 1024;

} // namespace

NameId NameStore::Intern(std::string_view text)
{
    if (text.empty()) return 0;
    if ((texts_.size() + 1) * 2 > slots_.size()) Grow(); // at most half full
    const uint32_t h = NameHash(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const uint64_t slot = slots_[i];
        if (slot == 0) {
            texts_.push_back(Store(text));
            const NameId id = static_cast<NameId>(texts_.size());
            slots_[i] = (static_cast<uint64_t>(h) << 32) | id;
            return id;
        }
        if (static_cast<uint32_t>(slot >> 32) == h) {
            const NameId id = static_cast<NameId>(slot & 0xFFFFFFFFu);
            if (texts_[id - 1] == text) return id;
        }
    }
}

void NameStore::Grow()
{
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (uint64_t slot : old) {
        if (slot == 0) continue;
        std::size_t i = static_cast<uint32_t>(slot >> 32) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::string_view NameStore::Store(std::string_view text)
{
    if (text.size() > blockSize_ - blockUsed_) {
        blockSize_ = std::max(kNameBlock, text.size());
        blocks_.push_back(std::make_unique<char[]>(blockSize_));
        blockUsed_ = 0;
    }
    char* p = blocks_.back().get() + blockUsed_;
    std::memcpy(p, text.data(), text.size());
    blockUsed_ += text.size();
    return std::string_view(p, text.size());
}

void NameStore::Clear()
{
    texts_.clear();
    texts_.shrink_to_fit();
    blocks_.clear();
    blockUsed_ = blockSize_ = 0;
    slots_.clear();
    slots_.shrink_to_fit();
}

int32_t ChainTable::FindChainById(int32_t tlid) const
{
    int32_t lo = 1, hi = count();
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        int32_t key = records[static_cast<std::size_t>(mid)].TLID;
        if (tlid < key) hi = mid - 1;
        else if (tlid > key) lo = mid + 1;
        else return mid;
    }
    return -lo;
}

namespace {
uint64_t EntityKey(char type, int32_t code)
{
    return (static_cast<uint64_t>(static_cast<unsigned char>(type)) << 32) | static_cast<uint32_t>(code);
}
} // namespace

void County::IndexEntityNames()
{
    entityIndex_.clear();
    for (std::size_t i = 0; i < entityNames.size(); ++i)
        entityIndex_.emplace(EntityKey(entityNames[i].entityType, entityNames[i].entityCode), i); // first kept
}

std::string County::EntityName(char type, int32_t code) const
{
    if (type == '0' || type == 0) return {};
    auto it = entityIndex_.find(EntityKey(type, code));
    if (it == entityIndex_.end()) return {};
    return "   " + entityNames[it->second].entityName;
}

void County::Release()
{
    chains.Release();
    names.Clear();
    altNames.assign(1, 0);
    entityNames.clear();
    entityIndex_.clear();
    landmarks.clear();
    addressTexts.clear();
}

} // namespace zalor
