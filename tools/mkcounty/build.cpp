// Builds the synthetic county: the chain network on a jittered grid, its
// faces (the polygons, found by walking the planar graph), their area
// attributes, identifiers, alternate names, landmarks and entity names.
// The steps live in the files builder.h lists.
#include "builder.h"
#include "datum.h"
#include "util.h"

namespace mkcounty {

std::string PrimaryName(const NameParts& n)
{
    std::string s = n.name;
    if (!n.dirp.empty()) s = n.dirp + " " + s;
    if (!n.type.empty()) s += " " + n.type;
    return s;
}

std::string FullName(const NameParts& n)
{
    std::string s = PrimaryName(n);
    if (!n.dirs.empty()) s += " " + n.dirs;
    return s;
}

namespace {

std::string Ordinal(int n)
{
    const char* suffix = "th";
    if (n % 100 < 11 || n % 100 > 13) {
        if (n % 10 == 1) suffix = "st";
        else if (n % 10 == 2) suffix = "nd";
        else if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

const char* const kWords[] = {"Oak", "Maple", "Elm", "Cedar", "Pine", "Walnut", "Lincoln", "Washington", "Jefferson",
                              "Madison", "Monroe", "Jackson", "Adams", "Grant", "Harrison", "Cleveland", "Ridge",
                              "Prairie", "Meadow", "Willow", "Birch", "Chestnut", "Hickory", "Sycamore", "Aspen",
                              "Spruce", "Laurel", "Magnolia", "Poplar", "Linden", "Franklin", "Hamilton", "Clinton",
                              "Wilson", "Taylor", "Pierce", "Polk", "Tyler", "Garfield", "Hayes"};
const char* const kWords2[] = {"",     "Park",  "Grove", "Hill",  "Valley", "Creek",  "Forest", "Lake",
                               "Glen", "Point", "Ridge", "Field", "Brook",  "Crest",  "Haven",  "Springs"};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
constexpr int kWords2Count = sizeof kWords2 / sizeof kWords2[0];

const char* const kCountyNames[] = {"Synthetic", "Harmon", "Belmont", "Carver", "Dunmore", "Ellery", "Fairview",
                                    "Glenwood", "Hollis", "Ivanhoe", "Juniper", "Kendrick", "Lorimer", "Marlow"};
constexpr int kCountyNameCount = sizeof kCountyNames / sizeof kCountyNames[0];

} // namespace

std::string Word(int i)
{
    std::string w = kWords[i % kWordCount];
    int k = (i / kWordCount) % kWords2Count;
    if (k > 0) w += std::string(" ") + kWords2[k];
    return w;
}

int WordCount() { return kWordCount; }

const char* CountyName(uint64_t n) { return kCountyNames[n % kCountyNameCount]; }

Builder::Builder(const Params& p) : seed_(p.seed), curvedStreets_(p.curvedStreets), accentedNames_(p.accentedNames)
{
    L_ = MakeLayout(p.chains, p.seed);
    k_ = MakeCodes(p.seed);
    c_.state = p.state;
    c_.county = p.county;
    c_.code = p.state + p.county;
    c_.seed = p.seed;
    c_.name = std::string(CountyName(Hash(seed_, 5))) + " County";
    c_.vintage = p.vintage;
    c_.neighbour = c_.state + Digits((std::stoi(c_.county) + 2) % 1000, 3);
}

County Builder::Build()
{
    MakeGridNodes();
    MakeGridChains();
    MakeDiagonals();
    MakeLoops();
    MakeSpurs();
    FindFaces();
    AssignAttributes();
    AssignIdentifiers();
    MakeAddresses();
    MakeAltNames();
    MakeLandmarks();
    MakeKeyLocations();
    MakeEntities();
    if (accentedNames_) AccentNames();
    return std::move(c_);
}

int Builder::Name(const NameParts& n)
{
    if (n.Empty()) return -1;
    std::string key = n.dirp + "|" + n.name + "|" + n.type + "|" + n.dirs;
    auto it = nameIndex_.find(key);
    if (it != nameIndex_.end()) return it->second;
    int id = static_cast<int>(c_.names.size());
    c_.names.push_back(n);
    nameIndex_.emplace(key, id);
    return id;
}

int Builder::RowName(int i, int j)
{
    if (j == 3) return Name({"", "Martin Luther King Jr Memorial", "Dr", ""});
    if (j % 9 == 4 && j % 10 != 5) return -1;
    return Name({i * 2 < L_.W ? "W" : "E", Ordinal(j + 1), "St", ""});
}

int Builder::ColumnName(int i, int j)
{
    if (i % 11 == 5) return Name({"", "Broadway", "", j * 2 < L_.H ? "S" : "N"});
    if (i % 13 == 7 && i % 10 != 5) return -1;
    return Name({j * 2 < L_.H ? "S" : "N", Word(i), "Ave", ""});
}

County BuildCounty(const Params& p)
{
    Builder b(p);
    County c = b.Build();
    const Datum datum = FileDatum(p.vintage, p.state);
    ConvertToDatum(c, datum);
    c.datum = datum.name;
    return c;
}

} // namespace mkcounty
