// The polygon records: RTA, RTS and RTP. Before 2002 RTS holds the Census
// 2000 codes with the water flag and RTA the 1990 codes and districts;
// from 2002 RTA holds the current codes, RTS the Census 2000 codes and RTP
// the internal point with the water flag. The files of the 1990s carry
// RTP without a water flag, those from 1994 RTS with six-character
// legislative districts and no Census 2000 tabulation codes. Columns are
// 1-based.
#include "records.h"
#include "vintage.h"

namespace mkcounty {

namespace {

Record Rta2000(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r = Versioned(c, 'A', 98);
    PolygonKey(c, p.polyid, r);
    r.Text(26, 5, a.fair90);
    r.Text(31, 5, a.fmcd90);
    r.Text(36, 5, a.fpl90);
    r.Text(41, 6, a.tract90);
    r.Text(47, 4, a.blk90);
    // The 106th Congress sat from 1999, the 108th from 2003.
    if (c.vintage >= 1999) r.Text(51, 2, a.cd106);
    if (c.vintage >= 2000) r.Text(53, 2, a.cd108);
    r.Text(55, 5, a.sdelm);
    r.Text(65, 5, a.sdsec);
    r.Text(70, 5, a.sduni);
    r.Right(75, 6, a.taz);
    r.Text(81, 4, a.ua);
    r.Text(85, 1, a.urbflag);
    r.Text(86, 4, a.ctpp);
    r.Text(90, 2, c.state);
    r.Text(92, 3, c.county);
    r.Text(95, 4, a.air90);
    return r;
}

// The 2002 layout and its changes: metropolitan areas at 101-108 in 2002
// only, ZCTA and the CBSA-era codes from 2003, the urban area from 2004,
// the state legislative districts in 2006.
Record RtaCurrent(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    const CurrentAttr& u = p.cu;
    Record r = Versioned(c, 'A', 210);
    PolygonKey(c, p.polyid, r);
    r.Text(26, 5, u.county);
    r.Text(31, 6, a.tract);
    r.Text(37, 4, a.block);
    r.Text(41, 1, a.blkSuffix);
    r.Text(43, 5, u.fair);
    r.Text(48, 4, u.air);
    r.Text(52, 1, u.trust);
    r.Text(53, 5, u.anrc);
    r.Text(66, 5, u.ccity);
    r.Text(71, 5, u.fmcd);
    r.Text(76, 5, u.fsmcd);
    r.Text(81, 5, u.fpl);
    r.Text(86, 5, u.sdelm);
    r.Text(91, 5, u.sdsec);
    r.Text(96, 5, u.sduni);
    if (c.vintage == 2002) {
        r.Text(101, 4, u.msa);
        r.Text(105, 4, u.pmsa);
    }
    r.Right(113, 2, u.cd);
    if (c.vintage >= 2003) {
        r.Text(115, 5, a.zcta);
        r.Text(152, 5, u.cbsa);
        r.Text(157, 3, u.csa);
        r.Text(168, 5, u.metdiv);
    }
    if (c.vintage >= 2004) {
        r.Text(182, 5, a.ua);
        r.Text(187, 1, a.urbflag);
    }
    if (c.vintage >= 2006) {
        r.Right(129, 3, u.sldu);
        r.Right(132, 3, u.sldl);
    }
    return r;
}

// Columns 1-84: the same in the layouts of the 1990s and of Census 2000.
Record RtsCensus(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r = Versioned(c, 'S', 120);
    PolygonKey(c, p.polyid, r);
    r.Text(26, 1, a.water);
    r.Text(27, 4, a.cmsa);
    r.Text(31, 4, a.pmsa);
    r.Text(35, 5, a.fair);
    r.Text(40, 4, a.air);
    r.Text(44, 1, a.trust);
    r.Text(45, 2, a.anrc);
    r.Text(47, 2, c.state);
    r.Text(49, 3, c.county);
    r.Text(52, 5, a.fccity);
    r.Text(57, 5, a.fmcd);
    r.Text(62, 5, a.fsmcd);
    r.Text(67, 5, a.fpl);
    r.Text(72, 6, a.tract);
    r.Text(78, 4, a.block);
    r.Text(82, 1, a.blkSuffix);
    r.Text(83, 2, a.cdcu);
    return r;
}

Record Rts2000(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r = RtsCensus(c, p);
    r.Text(85, 3, a.sldu);
    r.Text(88, 3, a.sldl);
    r.Text(96, 1, a.block.substr(0, 1));
    r.Text(97, 6, a.vtd);
    r.Text(103, 2, c.state);
    r.Text(105, 3, c.county);
    r.Right(108, 5, a.block);
    r.Text(113, 1, a.blkSuffix);
    r.Text(114, 5, a.zcta);
    return r;
}

// The 1990s: six-character state legislative and voting districts, no
// block group, collection block or ZCTA.
Record Rts1990s(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r = RtsCensus(c, p);
    r.Text(85, 6, a.sldu);
    r.Text(91, 6, a.sldl);
    r.Text(97, 6, a.vtd);
    return r;
}

Record Rts2002(const County& c, const Polygon& p)
{
    const AreaAttr& a = p.a;
    Record r = Versioned(c, 'S', 168);
    PolygonKey(c, p.polyid, r);
    r.Text(26, 2, c.state);
    r.Text(28, 3, c.county);
    r.Text(31, 6, a.tract);
    r.Text(37, 4, a.block);
    r.Text(41, 1, a.block.substr(0, 1));
    r.Text(42, 5, a.fair);
    r.Text(47, 4, a.air);
    r.Text(51, 1, a.trust);
    r.Text(52, 5, a.anrcFips);
    r.Text(65, 5, a.fccity);
    r.Text(70, 5, a.fmcd);
    r.Text(75, 5, a.fsmcd);
    r.Text(80, 5, a.fpl);
    r.Text(85, 5, a.sdelm);
    r.Text(90, 5, a.sdsec);
    r.Text(95, 5, a.sduni);
    r.Text(100, 4, a.cmsa);
    r.Text(104, 4, a.pmsa);
    r.Text(112, 2, a.cd106);
    r.Right(114, 2, a.cd108);
    r.Text(126, 5, a.zcta);
    r.Text(134, 6, a.taz);
    r.Text(146, 5, a.ua);
    r.Text(151, 1, a.urbflag);
    r.Right(152, 6, a.vtd);
    r.Right(158, 3, a.sldu);
    r.Right(161, 3, a.sldl);
    return r;
}

} // namespace

Record RtaRecord(const County& c, const Polygon& p)
{
    return CurrentLayouts(c.vintage) ? RtaCurrent(c, p) : Rta2000(c, p);
}

Record RtsRecord(const County& c, const Polygon& p)
{
    if (CurrentLayouts(c.vintage)) return Rts2002(c, p);
    return EarlyLayouts(c.vintage) ? Rts1990s(c, p) : Rts2000(c, p);
}

// The water flag at column 45 from 2002 only.
Record RtpRecord(const County& c, const Polygon& p)
{
    const bool current = CurrentLayouts(c.vintage);
    Record r = Versioned(c, 'P', current ? 45 : 44);
    PolygonKey(c, p.polyid, r);
    r.Coordinate(26, 10, p.inside.x);
    r.Coordinate(36, 9, p.inside.y);
    if (current) r.Text(45, 1, p.a.water);
    return r;
}

} // namespace mkcounty
