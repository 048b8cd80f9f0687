#include "tiger/county.h"

namespace zalor {

NameId NameStore::Intern(std::string_view text)
{
    if (text.empty()) return 0;
    auto it = index_.find(text);
    if (it != index_.end()) return it->second;
    texts_.emplace_back(text);
    NameId id = static_cast<NameId>(texts_.size());
    index_.emplace(std::string_view(texts_.back()), id);
    return id;
}

void NameStore::Clear()
{
    index_.clear();
    texts_.clear();
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
    keyLocations.clear();
}

} // namespace zalor
