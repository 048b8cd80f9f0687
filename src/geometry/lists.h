// Small keyed tables used by the feature outputs and by area assembly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zalor {

// A sorted set of short codes (up to three characters, such as CFCC codes),
// compared byte by byte as strings. Inserting a code already present
// changes nothing.
class TClist {
public:
    void Insert(std::string_view code)
    {
        uint32_t k = Pack(code);
        auto it = std::lower_bound(codes_.begin(), codes_.end(), k);
        if (it == codes_.end() || *it != k) codes_.insert(it, k);
    }
    bool Contains(std::string_view code) const
    {
        return std::binary_search(codes_.begin(), codes_.end(), Pack(code));
    }
    std::size_t Count() const { return codes_.size(); }
    bool Empty() const { return codes_.empty(); }
    // Code at position i (0-based), in ascending order.
    std::string At(std::size_t i) const
    {
        std::string s;
        for (int shift = 24; shift >= 8; shift -= 8) {
            char c = static_cast<char>((codes_[i] >> shift) & 0xFF);
            if (c == 0) break;
            s.push_back(c);
        }
        return s;
    }

private:
    // First three characters, big-endian, so that integer order is string
    // order; a terminating zero ends the code early.
    static uint32_t Pack(std::string_view code)
    {
        uint32_t k = 0;
        bool ended = false;
        for (std::size_t i = 0; i < 3; ++i) {
            unsigned char c = (!ended && i < code.size()) ? static_cast<unsigned char>(code[i]) : 0;
            if (c == 0) ended = true;
            k = (k << 8) | c;
        }
        return k << 8;
    }
    std::vector<uint32_t> codes_;
};

// A map from integer keys to integer values in which the first value given
// for a key is the one kept. An absent key reads as 0.
//
// Keys are mostly polygon numbers, small and dense: those below kDense are
// kept in an array indexed by the key (a look-up is one read; every area
// layer looks up both sides of every chain of the county), others in a
// hash map.
class TIList {
public:
    static constexpr int32_t kDense = 1 << 22;

    // Adds key -> value unless the key is present; returns the value kept.
    int32_t FindOrInsert(int32_t key, int32_t value)
    {
        if (key < 0 || key >= kDense) {
            auto [it, added] = sparse_.try_emplace(key, value);
            count_ += added;
            return it->second;
        }
        const std::size_t k = static_cast<std::size_t>(key);
        if (k >= present_.size()) {
            const std::size_t size = std::max<std::size_t>(k + 1, std::min<std::size_t>(kDense, 2 * present_.size()));
            present_.resize(size, 0);
            values_.resize(size, 0);
        }
        if (present_[k]) return values_[k];
        present_[k] = 1;
        values_[k] = value;
        ++count_;
        return value;
    }
    int32_t Find(int32_t key) const
    {
        if (key >= 0 && static_cast<std::size_t>(key) < present_.size()) return values_[static_cast<std::size_t>(key)];
        if (key >= 0 && key < kDense) return 0;
        auto it = sparse_.find(key);
        return it == sparse_.end() ? 0 : it->second;
    }
    bool Contains(int32_t key) const
    {
        if (key >= 0 && key < kDense) return static_cast<std::size_t>(key) < present_.size() && present_[key];
        return sparse_.count(key) != 0;
    }
    std::size_t Count() const { return count_; }
    // Every key, in ascending order.
    std::vector<int32_t> Keys() const
    {
        std::vector<int32_t> keys;
        keys.reserve(count_);
        for (const auto& kv : sparse_) keys.push_back(kv.first);
        for (std::size_t k = 0; k < present_.size(); ++k)
            if (present_[k]) keys.push_back(static_cast<int32_t>(k));
        std::sort(keys.begin(), keys.end());
        return keys;
    }

private:
    std::vector<uint8_t> present_;
    std::vector<int32_t> values_; // by key, where present_
    std::unordered_map<int32_t, int32_t> sparse_;
    std::size_t count_ = 0;
};

// A set of distinct chain numbers, enumerated in the order in which each
// was first added. 0 is never a member.
class TValMgr {
public:
    // Adds `value` unless present (or 0); true when it was added.
    bool Add(int32_t value)
    {
        if (value == 0) return false;
        if (!seen_) {
            // Values usually arrive in ascending order: then a larger value
            // is new and nothing else has to be looked at.
            if (values_.empty() || value > values_.back()) {
                values_.push_back(value);
                return true;
            }
            seen_ = std::make_unique<std::unordered_set<int32_t>>(values_.begin(), values_.end());
        }
        if (!seen_->insert(value).second) return false;
        values_.push_back(value);
        return true;
    }
    std::size_t Count() const { return values_.size(); }
    // Value at position i (0-based), in order of first addition.
    int32_t At(std::size_t i) const { return values_[i]; }
    const std::vector<int32_t>& Values() const { return values_; }

private:
    std::vector<int32_t> values_;
    std::unique_ptr<std::unordered_set<int32_t>> seen_; // made on the first out-of-order value
};

// The groups of one area layer, each with the chains that bound it,
// enumerated in ascending group key.
class TBList {
public:
    struct Group {
        int32_t key = 0;
        int32_t added = 0; // chains added to the group, repeats included
        TValMgr chains;
    };

    // Adds a chain to the group `key`, creating the group on its first chain.
    void Add(int32_t key, int32_t chain)
    {
        auto [it, created] = index_.try_emplace(key, groups_.size());
        if (created) {
            groups_.emplace_back();
            groups_.back().key = key;
            order_.clear();
        }
        Group& g = groups_[it->second];
        ++g.added;
        g.chains.Add(chain);
    }
    std::size_t Count() const { return groups_.size(); }
    // Group at position i (0-based) in ascending key order.
    const Group& At(std::size_t i) const
    {
        if (order_.size() != groups_.size()) {
            order_.resize(groups_.size());
            std::iota(order_.begin(), order_.end(), std::size_t{0});
            std::sort(order_.begin(), order_.end(),
                      [this](std::size_t a, std::size_t b) { return groups_[a].key < groups_[b].key; });
        }
        return groups_[order_[i]];
    }
    // The group with this key, or null.
    const Group* Find(int32_t key) const
    {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &groups_[it->second];
    }

private:
    std::vector<Group> groups_;                       // in order of creation
    std::unordered_map<int32_t, std::size_t> index_; // key -> position in groups_
    mutable std::vector<std::size_t> order_;          // positions by ascending key; rebuilt when stale
};

} // namespace zalor
