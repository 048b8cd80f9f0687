// The synthetic county in memory: its network of chains, the polygons
// (faces) of that network with their area attributes, names, landmarks and
// entity names. BuildCounty makes it from the parameters; the record and
// truth writers only read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkcounty {

struct Point {
    int32_t x = 0; // longitude, micro-degrees
    int32_t y = 0; // latitude, micro-degrees
    friend bool operator==(const Point&, const Point&) = default;
};

// The four parts of a TIGER feature name.
struct NameParts {
    std::string dirp; // FEDIRP, at most 2 characters
    std::string name; // FENAME, at most 30
    std::string type; // FETYPE, at most 4
    std::string dirs; // FEDIRS, at most 2
    bool Empty() const { return dirp.empty() && name.empty() && type.empty() && dirs.empty(); }
};

// "N Main St": prefix, name and type (the primary name of a chain).
std::string PrimaryName(const NameParts& n);
// "N Main St E": with the suffix too (the alternate names).
std::string FullName(const NameParts& n);

struct Chain {
    uint32_t tlid = 0;
    char cfcc[4] = {0, 0, 0, 0};
    int nameId = -1;          // index into County::names, -1 for no name
    int from = -1;            // node indices
    int to = -1;
    std::vector<Point> shapes; // intermediate points, from -> to
    int zoneL = -1;           // construction zones of the two sides (-1 outside)
    int zoneR = -1;
    int32_t polyL = 0;        // POLYID on the left of from -> to, 0 outside
    int32_t polyR = 0;
    char source = 'A';
    // Address range texts as written (blank when the side has no range).
    std::string fraddl, toaddl, fraddr, toaddr;
    bool addrL = false;       // the side has addresses, hence a ZIP code
    bool addrR = false;
    int alt[3] = {0, 0, 0};   // alternate names 1..3 (RT5 numbers) as the RT4 records leave them
};

// Area attributes of a polygon: the texts of the fields of the Census 2000
// layouts of RTS and RTA (RTS and RTP from 2002).
struct AreaAttr {
    // RTS: Census 2000 geography
    std::string water;   // col 26: "0" land, "1" perennial water, "2" intermittent
    std::string cmsa, pmsa, fair, air, trust, anrc, fccity, fmcd, fsmcd, fpl;
    std::string anrcFips; // the ANRC's 5-digit code, written from 2002
    std::string tract;   // CTBNA00, 6 digits
    std::string block;   // BLK00, 4 characters
    std::string blkSuffix; // column 82, "" or "A"/"B"
    std::string cdcu, sldu, sldl, vtd, zcta, zip;
    // RTA (1990 geography and current entity codes)
    std::string fair90, fmcd90, fpl90, tract90, blk90, cd106, cd108;
    std::string sdelm, sdsec, sduni, taz, ua, urbflag, ctpp, air90;
    friend bool operator==(const AreaAttr&, const AreaAttr&) = default;
};

// The current codes of a polygon (RTA from 2002): the same as the Census
// 2000 codes of AreaAttr on most polygons, other ones where boundaries
// moved or areas were made since.
struct CurrentAttr {
    std::string county;                 // state and county, 5 digits
    std::string fair, air, trust, anrc; // AIANHH FIPS and census code, trust land, ANRC (5 digits)
    std::string ccity, fmcd, fsmcd, fpl;
    std::string sdelm, sdsec, sduni;
    std::string msa, pmsa;              // written in 2002 only
    std::string cd;
    std::string cbsa, csa, metdiv;      // written from 2003
    std::string sldu, sldl;             // written from 2006
};

struct Polygon {
    int32_t polyid = 0;
    int zone = -1;   // representative construction zone
    bool water = false;
    AreaAttr a;
    CurrentAttr cu;
    Point inside;    // the internal point (RTP)
};

struct AltFeatureRecord { // one RT4 record
    size_t chain = 0;   // index into County::chains
    int rtsq = 1;
    int feat[5] = {0, 0, 0, 0, 0};
    bool zero[5] = {false, false, false, false, false}; // written as "0" rather than blank
};

struct Landmark { // one RT7 record
    uint32_t land = 0;
    std::string cfcc;
    std::string name;
    bool located = false; // has coordinate fields (else blank: an area landmark)
    Point pt;
    char source = 'B';
    std::vector<int32_t> polygons; // polygons linked by RT8 (area landmarks)
};

struct KeyLocation { // RT9 records of one key geographic location
    int feat = 0;
    std::string cfcc, name, address, zip, zip4;
    char source = 'F';
    std::vector<int32_t> polygons;
};

struct Entity { // one RTC record
    char type = 'C';
    std::string stateCounty; // columns 6-10
    std::string datayr, fips, fipscc, pdc, lsad, ma, sd, air, vtd, ua;
    std::string name;
};

struct County {
    int vintage = 2000;               // the release whose layouts the records follow
    std::string datum = "NAD83";      // of every coordinate (datum.h)
    std::string state, county, code; // "17", "031", "17031"
    std::string name;
    uint64_t seed = 0;
    std::vector<Point> nodes;
    std::vector<Chain> chains;        // ascending TLID
    std::vector<NameParts> names;     // feature names used by chains
    std::vector<Polygon> polygons;    // polygon i has POLYID i + 1
    std::vector<NameParts> altNames;  // RT5 records; record k is name number k
    std::vector<AltFeatureRecord> rt4; // ascending TLID, then sequence
    std::vector<Landmark> landmarks;  // RT7 records in file order (ascending LAND)
    std::vector<KeyLocation> keyLocations;
    std::vector<Entity> entities;     // RTC records in file order
    std::string neighbour;            // state and county code of a neighbouring county
};

struct Params {
    std::string state = "17";
    std::string county = "031";
    int64_t chains = 3000;
    uint64_t seed = 1;
    // Percent of the local streets that curve, with 2 to 30 shape points
    // each (0: the few curves of the plain grid).
    int curvedStreets = 0;
    // The release whose layouts and codes the records follow (vintage.h).
    int vintage = 2000;
    // Names spelled with Latin-1 letters beyond ASCII, some filling their
    // record fields (accents.cpp).
    bool accentedNames = false;
};

// Builds the county, its coordinates on the datum of the release's files.
// Throws std::runtime_error if the network it built is not consistent
// (which would be a fault of the generator) or PROJ cannot convert it.
County BuildCounty(const Params& p);

} // namespace mkcounty
