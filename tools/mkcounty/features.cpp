// Alternate feature names (RT4, RT5), landmarks (RT7, RT8), key geographic
// locations (RT9) and entity names (RTC).
#include "builder.h"
#include "util.h"
#include "vintage.h"

#include <algorithm>

namespace mkcounty {

int Builder::AltName(const NameParts& n)
{
    c_.altNames.push_back(n);
    return static_cast<int>(c_.altNames.size());
}

Builder::AltIds Builder::MakeAltNameList()
{
    AltIds n{};
    n.stevenson = AltName({"", "Stevenson", "Expy", ""});
    n.route66 = AltName({"", "Route 66", "", ""});
    n.interstate = AltName({"", "Interstate 55", "", ""});
    n.adlai = AltName({"", "Adlai E Stevenson", "Expy", ""});
    AltName({"", "", "", ""}); // a blank name record nobody refers to
    n.lincoln = AltName({"", "Lincoln", "Hwy", ""});
    n.state1 = AltName({"", "State Route 1", "", ""});
    n.mainSt = AltName({"N", "Main", "St", "E"});
    n.oldMill = AltName({"", "Old Mill", "Rd", ""});
    n.cnw = AltName({"", "Chicago and North Western", "RR", ""});
    n.dixie = AltName({"S", "Dixie", "Hwy", ""});
    return n;
}

void Builder::MakeAltNames()
{
    const AltIds n = MakeAltNameList();
    int interstateName = Name({"", "I- 55", "", ""});
    int highwayName = Name({"", "US Hwy 41", "", ""});
    int railName = Name({"", "Union Pacific", "RR", ""});
    int broadwayN = Name({"", "Broadway", "", "N"}), broadwayS = Name({"", "Broadway", "", "S"});
    bool twoRecords = false, zeroFirst = false;
    for (size_t idx = 0; idx < c_.chains.size(); ++idx) {
        const Chain& ch = c_.chains[idx];
        uint64_t h = Hash(seed_, 30, ch.tlid);
        AltFeatureRecord r;
        r.chain = idx;
        if (ch.nameId == interstateName && !twoRecords) {
            // Five alternate names, then a second record: its non-zero
            // numbers take the first slots again.
            twoRecords = true;
            r.feat[0] = n.stevenson;
            r.feat[1] = n.interstate;
            r.feat[2] = n.route66;
            r.feat[3] = n.adlai;
            r.feat[4] = n.dixie;
            c_.rt4.push_back(r);
            r = AltFeatureRecord{};
            r.chain = idx;
            r.rtsq = 2;
            r.feat[0] = n.oldMill;
        } else if (ch.nameId == interstateName) {
            r.feat[0] = n.stevenson;
            r.feat[1] = n.interstate;
        } else if (ch.nameId == highwayName) {
            r.zero[0] = !zeroFirst;
            r.feat[0] = zeroFirst ? n.lincoln : 0;
            r.feat[1] = !zeroFirst || h % 2 ? n.state1 : 0;
            zeroFirst = true;
        } else if (ch.nameId == railName && h % 3 == 0) {
            r.feat[0] = n.cnw;
        } else if ((ch.nameId == broadwayN || ch.nameId == broadwayS) && h % 4 == 0) {
            r.feat[0] = n.mainSt;
        } else if (ch.nameId >= 0 && std::string(ch.cfcc, 2) == "A4" && h % 100 < 2) {
            r.feat[0] = n.oldMill;
            if (h % 7 == 0) {
                r.feat[1] = n.dixie;
                r.feat[2] = n.route66;
            }
        } else {
            continue;
        }
        c_.rt4.push_back(r);
    }
    // What the records leave in slots 1-3: each record's non-zero
    // numbers, in file order.
    for (const AltFeatureRecord& rec : c_.rt4)
        for (int s = 0; s < 3; ++s)
            if (rec.feat[s] != 0) c_.chains[rec.chain].alt[s] = rec.feat[s];
}

std::vector<int32_t> Builder::PolygonsIn(const Rect& r, bool land) const
{
    std::vector<int32_t> v;
    for (const Polygon& poly : c_.polygons) {
        if (land && poly.water) continue;
        if (r.Has(L_.ZoneI(poly.zone), L_.ZoneJ(poly.zone))) v.push_back(poly.polyid);
    }
    return v;
}

Point Builder::InsideCell(int i, int j, uint64_t h) const
{
    Point c = CellCentre(i, j);
    return {static_cast<int32_t>(c.x + Pick(h, -L_.dx / 5, L_.dx / 5)),
            static_cast<int32_t>(c.y + Pick(h >> 32, -L_.dy / 5, L_.dy / 5))};
}

void Builder::MakeLandmarks()
{
    uint32_t land = static_cast<uint32_t>(Pick(Hash(seed_, 40), 10000, 90000));
    auto add = [&](const char* cfcc, std::string name, bool located, Point pt, std::vector<int32_t> polys) {
        Landmark m;
        m.land = land;
        land += static_cast<uint32_t>(1 + Hash(seed_, 41, land) % 3);
        m.cfcc = cfcc;
        m.name = std::move(name);
        m.located = located;
        m.pt = pt;
        m.source = located ? 'B' : 'A';
        m.polygons = std::move(polys);
        c_.landmarks.push_back(std::move(m));
    };
    std::vector<int32_t> lake;
    for (const Polygon& poly : c_.polygons)
        if (poly.a.water == "1") lake.push_back(poly.polyid);
    // Area landmarks (no coordinates; their polygons come from RT8).
    add("D85", "Lincoln Park", false, {}, PolygonsIn(L_.park, true));
    add("H31", "Crystal Lake", false, {}, lake);
    add("D82", "Rosehill Cemetery", false, {}, PolygonsIn(L_.cemetery, true));
    add("D51", "Municipal Airport", false, {}, PolygonsIn(L_.airport, true));
    add("D61", "Westfield Shopping Center", false, {}, PolygonsIn(L_.mall, true));

    // Point landmarks.
    static const char* const kClass[] = {"D43", "D44", "D31", "D65", "D71", "D52", "D43", "D44", "D81", "D10"};
    static const char* const kKind[] = {"Elementary School", "Church", "Hospital", "City Hall", "Tower",
                                        "Station", "High School", "Chapel", "Golf Course", "Armory"};
    int count = static_cast<int>(std::max<int64_t>(12, static_cast<int64_t>(c_.chains.size()) / 400));
    for (int n = 0; n < count; ++n) {
        uint64_t h = Hash(seed_, 42, n);
        int i = static_cast<int>(Pick(h, 0, L_.W - 1)), j = static_cast<int>(Pick(h >> 20, 0, L_.H - 1));
        Point pt = InsideCell(i, j, Hash(seed_, 43, n));
        int kind = n % 10;
        std::string name = Word(static_cast<int>(Pick(h >> 40, 0, WordCount() - 1))) + " " + kKind[kind];
        if (n == 0) name = "Thomas Jefferson Memorial Schl"; // the full 30 characters
        if (n == 1) name.clear();
        if (n == 2) pt = {0, 0};
        if (n == 3) name = "St Josaphat Ukrainian Catholic";
        const char* cfcc = n == 0 ? "D43" : (n == 1 ? "D71" : (n == 3 ? "D44" : kClass[kind]));
        add(cfcc, name, true, pt, {});
    }
}

void Builder::MakeKeyLocations()
{
    auto add = [&](const char* cfcc, const char* name, const char* address, std::vector<int32_t> polys) {
        if (polys.empty()) return;
        KeyLocation k;
        k.feat = AltName({"", name, "", ""});
        k.cfcc = cfcc;
        k.name = name;
        k.address = address;
        const Polygon& first = c_.polygons[polys.front() - 1];
        k.zip = first.a.zip;
        k.zip4 = Digits(static_cast<int64_t>(Hash(seed_, 50, k.feat) % 10000), 4);
        k.polygons = std::move(polys);
        c_.keyLocations.push_back(std::move(k));
    };
    add("D43", "Lincoln High School", "1200", PolygonsIn(L_.school, true));
    add("D31", "Mercy Hospital", "2525", PolygonsIn(L_.hospital, true));
    add("D51", "Municipal Airport", "", PolygonsIn(L_.airport, true));
}

Entity Builder::NewEntity(char type, std::string name) const
{
    Entity e;
    e.type = type;
    e.stateCounty = c_.code;
    e.name = std::move(name);
    return e;
}

// The county, the state, the county subdivisions and the places.
void Builder::AddPlaceEntities()
{
    c_.entities.push_back(NewEntity('C', c_.name));
    c_.entities.push_back(NewEntity('S', "State " + c_.state));
    const char* mcdNames[3] = {"Lyons Township", "Proviso Township", "Maine Township"};
    for (int b = 0; b < 3; ++b) {
        Entity e = NewEntity('M', mcdNames[b]);
        e.fips = k_.mcd[b];
        e.lsad = "44";
        c_.entities.push_back(e);
    }
    Entity m90 = NewEntity('M', "Northfield Township");
    m90.fips = k_.mcd90East;
    m90.datayr = "1990";
    m90.lsad = "44";
    c_.entities.push_back(m90);
    struct P {
        const std::string& code;
        const char* name;
        const char* lsad;
    } places[] = {{k_.placeA, "Springfield", "25"}, {k_.placeB, "Riverside", "47"}, {k_.placeC, "Lakeview", "25"}};
    for (const P& pl : places) {
        Entity e = NewEntity('P', pl.name);
        e.fips = pl.code;
        e.lsad = pl.lsad;
        e.pdc = "P";
        c_.entities.push_back(e);
    }
}

// School districts, the reservation, the metropolitan areas and the
// urbanized area.
void Builder::AddDistrictEntities()
{
    auto add = [&](char type, const char* name, std::string Entity::*field, const std::string& code) {
        Entity e = NewEntity(type, name);
        e.*field = code;
        c_.entities.push_back(e);
        return &c_.entities.back();
    };
    add('3', "Lakeview Community Unit School District 300", &Entity::sd, k_.sduni);
    add('4', "Township High School District 211", &Entity::sd, k_.sdsec);
    add('5', "Springfield School District 25", &Entity::sd, k_.sdelm[0]);
    add('5', "Prairie School District 54", &Entity::sd, k_.sdelm[1]);
    Entity* ai = add('I', "Prairie Band Reservation", &Entity::fips, k_.fair);
    ai->air = k_.air;
    ai->lsad = "77";
    add('A', "Synthetic-Gary-Kenosha CMSA", &Entity::ma, k_.cmsa);
    add('A', "Synthetic PMSA", &Entity::ma, k_.pmsaWest);
    add('A', "Lakeview PMSA", &Entity::ma, k_.pmsaEast);
    add('U', "Synthetic Urbanized Area", &Entity::ua, k_.ua);
}

void Builder::MakeEntities()
{
    AddPlaceEntities();
    AddDistrictEntities();
    std::map<std::string, bool> vtds;
    for (const Polygon& poly : c_.polygons) vtds[poly.a.vtd] = true;
    int n = 0;
    for (const auto& [vtd, unused] : vtds) {
        (void)unused;
        Entity v = NewEntity('V', "Precinct " + std::to_string(++n));
        v.vtd = vtd;
        c_.entities.push_back(v);
    }
    // A neighbouring county.
    Entity neighbour = NewEntity('C', std::string(CountyName(Hash(seed_, 5) + 1)) + " County");
    neighbour.stateCounty = c_.neighbour;
    c_.entities.push_back(neighbour);
    // The codes are those of Census 2000, or of the release before it.
    const std::string year = EarlyLayouts(c_.vintage) ? std::to_string(c_.vintage) : "2000";
    for (Entity& e : c_.entities)
        if (e.datayr.empty() && e.type != 'C' && e.type != 'S') e.datayr = year;
    if (CurrentLayouts(c_.vintage)) AddCurrentEntities();
}

// The areas made since 2000 that the current codes of the later releases
// refer to.
void Builder::AddCurrentEntities()
{
    const std::string year = std::to_string(c_.vintage);
    Entity place = NewEntity('P', "Newport");
    place.fips = k_.placeNew;
    place.lsad = "47";
    place.pdc = "P";
    place.datayr = year;
    c_.entities.push_back(place);
    Entity msa = NewEntity('A', "Harbor City MSA");
    msa.ma = k_.msaNew;
    msa.datayr = year;
    c_.entities.push_back(msa);
}

} // namespace mkcounty
