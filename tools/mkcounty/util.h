// Small helpers of the county generator's files.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace mkcounty {

// The grid line or cell at fraction f of n.
inline int Frac(double f, int n) { return static_cast<int>(std::lround(f * n)); }

// v zero-padded to `width` digits.
inline std::string Digits(int64_t v, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    return buf;
}

} // namespace mkcounty
