// Area attributes of the polygons (blocks numbered per polygon), chain
// identifiers in TIGER order and address ranges.
#include "builder.h"
#include "util.h"

#include <algorithm>
#include <numeric>

namespace mkcounty {

void Builder::AssignAttributes()
{
    std::map<std::string, int> landSeq, waterSeq;
    std::map<int, std::string> splitBlock, splitBlock90;
    std::map<std::string, int> water90Seq;
    for (Polygon& poly : c_.polygons) {
        int i = L_.ZoneI(poly.zone), j = L_.ZoneJ(poly.zone), part = L_.ZonePart(poly.zone);
        char flag = '0';
        if (part == kWhole && L_.lake.Has(i, j)) flag = '1';
        if (part == kLoopInside && i == L_.pondI && j == L_.pondJ) flag = '2';
        poly.water = flag != '0';
        poly.a = ZoneAttributes(L_, k_, i, j, part, poly.water, flag);
        AreaAttr& a = poly.a;
        std::string bg = a.block;
        std::string key = a.tract + bg;
        bool split = part == kSplitNW || part == kSplitSE;
        int cell = poly.zone / 4;
        // Lake blocks are numbered x99x, as water blocks often are; the
        // pond's block is numbered as land: only its flag tells it is water.
        if (flag == '1') {
            int n = waterSeq[key]++;
            a.block = bg + "99" + std::to_string(n % 10);
        } else if (split && splitBlock.count(cell)) {
            a.block = splitBlock[cell];
        } else {
            int n = ++landSeq[key];
            if (n > 989) n = (n - 1) % 989 + 1; // never d99d on land
            a.block = bg + Digits(n, 3);
            if (split) splitBlock[cell] = a.block;
        }
        if (split) a.blkSuffix = part == kSplitNW ? "A" : "B";

        // 1990 blocks: groups of 2 x 2 cells in tracts of 20 x 20.
        if (poly.water) {
            a.blk90 = a.blk90 + "99";
        } else {
            int idx = ((j % 20) / 2) * 10 + (i % 20) / 2;
            int n = 100 * (1 + idx / 98) + idx % 98 + 1;
            a.blk90 = Digits(n, 3) + (split ? a.blkSuffix : "");
        }
        poly.cu = CurrentAttributes(L_, k_, i, j, a, c_.code, c_.neighbour);
    }
}

void Builder::AssignIdentifiers()
{
    const size_t n = c_.chains.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    Rng rng(Hash(seed_, 20));
    for (size_t k = n; k > 1; --k) std::swap(order[k - 1], order[rng.Next() % k]);
    uint32_t tlid = static_cast<uint32_t>(100000000 + (seed_ % 97) * 1000000 + rng.Range(0, 99999));
    for (size_t k = 0; k < n; ++k) {
        c_.chains[order[k]].tlid = tlid;
        tlid += static_cast<uint32_t>(rng.Range(1, 4));
    }
    // Chains in identifier order, as TIGER writes them.
    std::vector<Chain> sorted(n);
    std::vector<AddrInfo> addr(n);
    for (size_t k = 0; k < n; ++k) {
        sorted[k] = std::move(c_.chains[order[k]]);
        addr[k] = addr_[order[k]];
    }
    c_.chains = std::move(sorted);
    addr_ = std::move(addr);
}

void Builder::MakeAddresses()
{
    for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
        Chain& ch = c_.chains[idx];
        if (!ch.addrL && !ch.addrR) continue;
        const AddrInfo& ai = addr_[idx];
        auto text = [&](int v) {
            if (!ai.hyphen) return std::to_string(v);
            return std::to_string(v / 100) + "-" + Digits(v % 100, 2);
        };
        // Odd numbers on one side, even on the other; low to high along
        // the grid's direction.
        auto range = [&](bool odd, std::string& fr, std::string& to) {
            int lo = ai.base + (odd ? 1 : 0), hi = ai.base + (odd ? 99 : 98);
            if (ai.descending) std::swap(lo, hi);
            fr = text(lo);
            to = text(hi);
        };
        if (ch.addrL) range(ai.leftOdd, ch.fraddl, ch.toaddl);
        if (ch.addrR) range(!ai.leftOdd, ch.fraddr, ch.toaddr);
    }
}

} // namespace mkcounty
