// Deterministic pseudo-random numbers for the county generator. Everything
// the generator decides comes from the seed through these two helpers, so a
// seed always gives the same county on every platform.
#pragma once

#include <cstdint>

namespace mkcounty {

inline uint64_t Mix64(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A stateless hash of the seed and up to four integers: decisions that
// belong to one place of the grid (an edge, a cell) do not depend on the
// order in which the generator visits them.
inline uint64_t Hash(uint64_t seed, int64_t a, int64_t b = 0, int64_t c = 0, int64_t d = 0)
{
    uint64_t h = Mix64(seed + 0x9E3779B97F4A7C15ULL);
    h = Mix64(h ^ static_cast<uint64_t>(a));
    h = Mix64(h ^ (static_cast<uint64_t>(b) + 0x632BE59BD9B4E019ULL));
    h = Mix64(h ^ (static_cast<uint64_t>(c) + 0x85157AF5ULL));
    h = Mix64(h ^ (static_cast<uint64_t>(d) + 0x1B873593ULL));
    return h;
}

// Sequential generator (SplitMix64).
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next()
    {
        state_ += 0x9E3779B97F4A7C15ULL;
        return Mix64(state_);
    }
    // Uniform integer in [lo, hi] (hi - lo small against 2^64).
    int64_t Range(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1)); }

private:
    uint64_t state_;
};

// Uniform integer in [lo, hi] from a hash value.
inline int64_t Pick(uint64_t h, int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(h % static_cast<uint64_t>(hi - lo + 1)); }

} // namespace mkcounty
