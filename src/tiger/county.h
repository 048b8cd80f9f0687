// The in-memory tables of one county: chains with their shape points,
// the name store, alternate names, entity names, landmarks.
#pragma once

#include "geometry/chain_geometry.h"
#include "geometry/coords.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zalor {

// Handle of a name in the county's name store; 0 is the empty name.
using NameId = uint32_t;

// Each distinct name text of a county is stored once; chains hold handles.
// Handles and the texts they give stay valid until the store is cleared.
class NameStore {
public:
    NameStore() = default;
    NameStore(const NameStore&) = delete;
    NameStore& operator=(const NameStore&) = delete;

    // The handle of `text` (created when new); the empty text gives 0.
    NameId Intern(std::string_view text);
    // The text of a handle; empty for 0 or an unknown handle.
    std::string_view Text(NameId id) const
    {
        return (id == 0 || id > texts_.size()) ? std::string_view() : texts_[id - 1];
    }
    int32_t NameCount() const { return static_cast<int32_t>(texts_.size()); }
    void Clear();

private:
    void Grow();
    std::string_view Store(std::string_view text);

    std::vector<std::string_view> texts_;         // by handle - 1, pointing into blocks_
    std::vector<std::unique_ptr<char[]>> blocks_; // text storage; blocks never move
    std::size_t blockUsed_ = 0;                   // bytes used of the last block
    std::size_t blockSize_ = 0;                   // bytes of the last block
    std::vector<uint64_t> slots_;                 // open addressing: hash << 32 | handle; 0 is free
};

struct ChainRecord {
    uint32_t mark = 0;
    int32_t TLID = 0;
    char CFCC[4] = {0, 0, 0, 0};
    NameId NAME = 0;
    NameId NAME1 = 0;
    NameId NAME2 = 0;
    NameId NAME3 = 0;
    int32_t TOADDL = 0;
    int32_t FRADDL = 0;
    int32_t FRADDR = 0;
    int32_t TOADDR = 0;
    int32_t ZIPL = 0;
    int32_t ZIPR = 0;
    int32_t FMCDL = 0;
    int32_t FMCDR = 0;
    int32_t FPLL = 0;
    int32_t FPLR = 0;
    int32_t polyLeft = 0;
    int32_t polyRight = 0;
    GeoPoint from;
    GeoPoint to;
    uint32_t shapeStart = 0; // first shape point in ChainTable::shapePoints
    int32_t shapeCount = 0;
    // The address fields (FRADDL, FRADDR, TOADDL, TOADDR: bits 0..3) that are blank.
    uint8_t blankAddresses = 0;
    // When an address is no plain number ("31-01"), its texts are
    // County::addressTexts[addressTexts - 1]; 0 otherwise.
    uint32_t addressTexts = 0;
    std::string_view Cfcc() const { return std::string_view(CFCC, 3); }
};

// The county's chains, numbered 1..count (slot 0 is never used).
class ChainTable final : public ChainGeometry {
public:
    ChainTable() { records.resize(1); }
    int32_t count() const { return static_cast<int32_t>(records.size()) - 1; }
    int32_t ChainCount() const override { return count(); }
    ChainShape ChainAt(int32_t i) const override
    {
        const ChainRecord& c = records[static_cast<std::size_t>(i)];
        return ChainShape{c.from, c.to, Shapes(c), c.polyLeft, c.polyRight};
    }
    ChainRecord& operator[](int32_t i) { return records[static_cast<std::size_t>(i)]; }
    const ChainRecord& operator[](int32_t i) const { return records[static_cast<std::size_t>(i)]; }
    // Appends a cleared record as chain count + 1 and returns it.
    ChainRecord& Append()
    {
        records.emplace_back();
        return records.back();
    }
    std::span<const GeoPoint> Shapes(const ChainRecord& c) const
    {
        if (c.shapeCount <= 0) return {};
        return std::span<const GeoPoint>(shapePoints.data() + c.shapeStart, static_cast<std::size_t>(c.shapeCount));
    }
    // Gives the chain its own list of shape points (replacing any earlier list).
    void SetShapes(ChainRecord& c, std::span<const GeoPoint> pts)
    {
        c.shapeStart = static_cast<uint32_t>(shapePoints.size());
        c.shapeCount = static_cast<int32_t>(pts.size());
        shapePoints.insert(shapePoints.end(), pts.begin(), pts.end());
    }
    // Index of the chain with this identifier, or a value <= 0 when there
    // is none (-(insertion position)). Valid while ordered by TLID.
    int32_t FindChainById(int32_t tlid) const;
    void Release()
    {
        records.assign(1, ChainRecord());
        shapePoints.clear();
        shapePoints.shrink_to_fit();
    }

    std::vector<ChainRecord> records;  // [0] unused
    std::vector<GeoPoint> shapePoints; // all chains' shape points
};

struct EntityNameEntry {
    char entityType = 0;
    int32_t entityCode = 0;
    std::string entityName; // at most 81 characters
};

struct LandmarkRecord {
    int32_t LAND = 0;
    char CFCC[4] = {0, 0, 0, 0};
    GeoPoint location;
    std::string NAME; // CFCC characters followed by the trimmed name, at most 80
};

struct CountyExtent {
    int32_t minX = 190000000;
    int32_t minY = 190000000;
    int32_t maxX = -190000000;
    int32_t maxY = -190000000;
};

// The distinct minor civil division codes of every county converted since
// the program started (only counted, for the log).
class McdCodeSet {
public:
    void Add(int32_t code)
    {
        if (code == last_ && !codes_.empty()) return;
        codes_.insert(code);
        last_ = code;
    }
    int32_t Count() const { return static_cast<int32_t>(codes_.size()); }
    const std::unordered_set<int32_t>& Codes() const { return codes_; }

private:
    std::unordered_set<int32_t> codes_;
    int32_t last_ = 0;
};

struct County {
    NameStore names;
    ChainTable chains;
    std::vector<NameId> altNames{0}; // AltNameIndex, positions 1..n ([0] unused)
    std::vector<EntityNameEntry> entityNames;
    std::string countyName; // at most 80 characters
    CountyExtent extent;
    std::vector<LandmarkRecord> landmarks;
    // The landmark file could not be read whole: the layers keyed by
    // landmarks are not written.
    bool landmarksFailed = false;
    // The texts of the chains' addresses that are no plain numbers, in the
    // order FRADDL, FRADDR, TOADDL, TOADDR.
    std::vector<std::array<std::string, 4>> addressTexts;

    // Three blanks and the name of the first entity of that type and code;
    // empty when there is none or the type is '0'.
    std::string EntityName(char type, int32_t code) const;
    void IndexEntityNames(); // call after the entity names are read

    void Release(); // frees every table (the county name stays)

private:
    std::unordered_map<uint64_t, std::size_t> entityIndex_;
};

} // namespace zalor
