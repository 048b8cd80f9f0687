// Small keyed tables used by the feature outputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
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

} // namespace zalor
