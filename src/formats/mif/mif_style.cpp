#include "formats/mif/mif_style.h"

#include <utility>

namespace zalor {

Pen PenForCfcc(std::string_view cfcc)
{
    Pen pen;
    char a = cfcc.size() > 0 ? cfcc[0] : 0;
    char b = cfcc.size() > 1 ? cfcc[1] : 0;
    switch (a) {
    case 'D': pen.colour = 0x008080; break; // landmark lines: teal
    case 'E': pen.colour = 0x804000; break; // physical features: brown
    case 'P': pen.colour = 128; break;      // provisional roads draw like roads
    default: break;
    }
    if (a == 'A') pen = {1, 128};
    if (a == 'A' && b == '1') pen = {2, 255};
    if (a == 'A' && b == '2') pen = {2, 65535};
    if (a == 'B') pen = {1, 0};
    if (a == 'C') pen = {1, 32768};
    if (a == 'H') pen = {1, 8388608};
    if (a == 'F') pen = {1, 8388608};
    if (a == 'X') pen = {1, 8388736};
    return pen;
}

int BrushForTheme(std::string_view theme)
{
    // Water in oranges; the current-year areas in oranges a step apart, the
    // 1990 areas in pinks, the other entities in reds and yellows.
    static constexpr std::pair<std::string_view, int> kBrushes[] = {
        {"W", 0xFF8000},       {"WLND", 0xFFC000},     {"KGL", 0x40A0A0},      {"D", 0x008080},
        {"CNTY", 0xFF8004},    {"FMCD", 0xFF8008},     {"FSMCD", 0xFF800C},    {"FPL", 0xFF8010},
        {"CMSAMSA", 0xFF8014}, {"PMSA", 0xFF8018},     {"FCCITY", 0xFF801C},   {"FAIR", 0xFF8020},
        {"AIR", 0xFF8024},     {"TRUST", 0xFF8028},    {"ANRC", 0xFF802C},     {"CTBNA00", 0xFF8030},
        {"BLK00", 0xFF8034},   {"BGP00", 0xFF8038},    {"CDCU", 0xFF803C},     {"STSENATE", 0xFF8040},
        {"STHOUSE", 0xFF8044}, {"VTD00", 0xFF8048},    {"POLYID", 0xFF804C},   {"ZCTA5", 0xFF8054},
        {"FAIR90", 0xA08080},  {"FMCD90", 0xB08080},   {"FPL90", 0xC08080},    {"CTBNA90", 0xD08080},
        {"BLK90", 0xE08080},   {"AIR90", 0xF08080},    {"CD106", 0xFF3880},    {"CD108", 0xFF4880},
        {"SDELM", 0xFF5880},   {"SDSEC", 0xFF6880},    {"SDUNI", 0xFF7880},    {"TAZ", 0xFF8880},
        {"UA", 0xFF9880},      {"URBFLAG", 0xFFA880},  {"CTPP", 0xFFB880},
    };
    for (const auto& [name, colour] : kBrushes)
        if (name == theme) return colour;
    return 0;
}

} // namespace zalor
