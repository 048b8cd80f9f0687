#include "run/selection.h"

#include <cstdio>

namespace zalor {

namespace {

void AddRange(TClist& set, char letter, int from, int to)
{
    char code[4] = {letter, 0, 0, 0};
    for (int n = from; n <= to; ++n) {
        code[1] = static_cast<char>('0' + n / 10);
        code[2] = static_cast<char>('0' + n % 10);
        set.Insert(std::string_view(code, 3));
    }
}

bool On(const RunSettings& s, const std::string& key, bool forced) { return forced || s.Box(key); }

void AddHydrography(const RunSettings& s, TClist& set, bool forced)
{
    static const int ranges[9][2] = {{0, 2},   {10, 13}, {20, 22}, {30, 32}, {40, 42},
                                     {50, 53}, {60, 60}, {70, 75}, {80, 81}};
    for (int n = 0; n <= 8; ++n)
        if (On(s, "CbH" + std::to_string(n), forced)) AddRange(set, 'H', ranges[n][0], ranges[n][1]);
}

// Boxes prefix0..prefix9 each giving <letter>n0..<letter>n9.
void AddDecades(const RunSettings& s, TClist& set, const std::string& prefix, char letter, int last)
{
    for (int n = 0; n <= last; ++n)
        if (s.Box(prefix + std::to_string(n))) AddRange(set, letter, n * 10, n * 10 + 9);
}

} // namespace

void BuildCfccSelection(const RunSettings& s, int mask, TClist& set)
{
    const bool all = mask == 255;
    if (mask & 1) {
        for (int n = 1; n <= 7; ++n)
            if (On(s, "CbA" + std::to_string(n), all)) {
                AddRange(set, 'A', n * 10, n * 10 + 9);
                AddRange(set, 'P', n * 10, n * 10 + 9);
            }
        if (On(s, "CbA8", all)) AddRange(set, 'F', 80, 89);
    }
    if (mask & 2) {
        for (int n = 1; n <= 4; ++n)
            if (s.Box("CbB" + std::to_string(n))) AddRange(set, 'B', (n - 1) * 10 + 1, (n - 1) * 10 + 3);
        if (s.Box("CbB5")) AddRange(set, 'B', 40, 40);
        if (s.Box("CbB6")) AddRange(set, 'B', 50, 52);
    }
    if (mask & 4)
        for (int n = 0; n <= 3; ++n)
            if (s.Box("CbC" + std::to_string(n))) AddRange(set, 'C', n * 10, n * 10);
    if (mask & 8) AddDecades(s, set, "CbZ", 'D', 9);
    if (mask & 16) AddDecades(s, set, "CbE", 'E', 2);
    if (mask & 32) {
        AddDecades(s, set, "CbF", 'F', 7);
        if (s.Box("CbF8")) AddRange(set, 'F', 80, 80);
    }
    if (mask & 64) AddHydrography(s, set, all);
    if (mask & 128)
        if (s.Box("CbX0")) AddRange(set, 'X', 0, 9);
    if (mask & 256) AddHydrography(s, set, false);
    if (mask & 512) AddDecades(s, set, "CbP", 'D', 9);
    if (mask & 1024) AddDecades(s, set, "CbD", 'D', 9);
    if (mask & 2048) AddHydrography(s, set, false);
}

namespace {
bool AnyBox(const RunSettings& s, const std::string& prefix, int first, int last)
{
    for (int i = first; i <= last; ++i)
        if (s.Box(prefix + std::to_string(i))) return true;
    return false;
}
} // namespace

int LineGroupFlags(const RunSettings& s)
{
    int flags = 0;
    if (AnyBox(s, "CbA", 1, 8)) flags |= 1;
    if (AnyBox(s, "CbB", 1, 6)) flags |= 2;
    if (AnyBox(s, "CbC", 0, 3)) flags |= 4;
    if (AnyBox(s, "CbZ", 0, 9)) flags |= 8;
    if (AnyBox(s, "CbE", 0, 2)) flags |= 16;
    if (AnyBox(s, "CbF", 0, 8)) flags |= 32;
    if (AnyBox(s, "CbH", 0, 8)) flags |= 64;
    if (s.Box("CbX0")) flags |= 128;
    return flags;
}

bool AnyPointLandmarkSelected(const RunSettings& s) { return AnyBox(s, "CbP", 0, 9); }

bool AnyLandmarkAreaSelected(const RunSettings& s) { return AnyBox(s, "CbD", 0, 9); }

bool AnyAreaSelected(const RunSettings& s)
{
    if (s.Box("CbW1") || s.Box("CbW2")) return true;
    for (int i = 1; i <= 21; ++i)
        if (i != 20 && s.Box("CbAr" + std::to_string(i))) return true;
    return AnyBox(s, "CbAs", 2, 7) || AnyBox(s, "CbAt", 1, 9) || AnyPointLandmarkSelected(s);
}

bool AnythingSelected(const RunSettings& s)
{
    TClist all;
    BuildCfccSelection(s, 0xFFFF, all);
    return !all.Empty() || AnyAreaSelected(s);
}

int AreaKindCode(std::string_view spec)
{
    if (spec.substr(0, 4) == "CNTY") return 3;
    if (spec.substr(0, 4) == "FMCD") return 4;
    if (spec.substr(0, 5) == "CTBNA") return 5;
    if (spec.substr(0, 3) == "BLK") return 6;
    if (spec.substr(0, 3) == "BGP") return 7;
    if (spec.substr(0, 3) == "PLC") return 8;
    return 0;
}

std::string AreaSpecOf(std::string_view boxKey)
{
    static const char* current[22] = {nullptr,         "CNTY|00605",    "FMCD|05705",     "FSMCD|06205",
                                      "FPL|06705",     "CMSAMSA|02704", "PMSA|03104",     "FCCITY|05205",
                                      "FAIR|03505",    "AIR|04004",     "TRUST|04401",    "ANRC|04502",
                                      "CTBNA00|07206", "BLK00|07804",   "BGP00|07801",    "CDCU|08302",
                                      "STSENATE|08506", "STHOUSE|08506", "VTD00|09706",   "POLYID|01610",
                                      nullptr,         "ZCTA5|11405"};
    static const char* y1990[8] = {nullptr,        nullptr,       "FAIR90|02605", "FMCD90|03105",
                                   "FPL90|03605",  "CTBNA90|04106", "BLK90|04704", "AIR90|09504"};
    static const char* entities[10] = {nullptr,       "CD106|05102", "CD108|05302", "SDELM|05505",
                                       "SDSEC|06505", "SDUNI|07005", "TAZ|07506",   "UA|08104",
                                       "URBFLAG|08501", "CTPP|08604"};
    auto number = [&](std::string_view prefix, int lo, int hi) -> int {
        if (boxKey.substr(0, prefix.size()) != prefix) return -1;
        int n = ParseIntOr(boxKey.substr(prefix.size()), -1);
        return (n >= lo && n <= hi) ? n : -1;
    };
    int n;
    if ((n = number("CbAr", 1, 21)) > 0) return current[n] ? current[n] : "";
    if ((n = number("CbAs", 2, 7)) > 0) return y1990[n];
    if ((n = number("CbAt", 1, 9)) > 0) return entities[n];
    return {};
}

int CurrentAreaColour(int i) { return 0xFF8000 + 4 * i; }
int Area1990Colour(int j) { return ((0x80 + 16 * j) % 256) * 0x10000 + 0x8080; }
int EntityAreaColour(int k) { return 0xFF0000 + ((0x28 + 16 * k) % 256) * 0x100 + 0x80; }

} // namespace zalor
