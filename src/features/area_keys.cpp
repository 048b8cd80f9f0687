#include "features/area_keys.h"

#include "tiger/fields.h"

namespace zalor {

namespace {
bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
} // namespace

bool HasKeyLetter(std::string_view field)
{
    std::string_view t = TrimField(field);
    return !t.empty() && t.back() >= 'A' && t.back() <= 'Z';
}

int32_t EncodeAreaKey(std::string_view field)
{
    std::string_view t = TrimField(field);
    if (t.empty()) return 0;
    if (HasKeyLetter(t)) {
        uint32_t letter = static_cast<uint32_t>(t.back() - 64);
        return static_cast<int32_t>(static_cast<uint32_t>(FieldToInt(t.substr(0, t.size() - 1))) +
                                    letter * 1000000u);
    }
    return FieldToInt(t);
}

std::string DecodeAreaKey(int32_t key, bool letters)
{
    if (key <= 1000000 || !letters) return std::to_string(key);
    int32_t letter = key / 1000000;
    if (letter > 26) return std::to_string(key);
    return std::to_string(key % 1000000) + static_cast<char>(64 + letter);
}

int32_t EncodeZctaKey(std::string_view field)
{
    std::string_view t = TrimField(field);
    uint32_t key = 0, weight = 1;
    for (std::size_t i = t.size(); i-- > 0;) {
        int c = static_cast<unsigned char>(t[i]);
        int v;
        if (c == ' ') v = 0;
        else if (c >= '0' && c <= '9') v = c - '0' + 1;
        else if (c >= 'A' && c <= 'Z') v = c - 'A' + 11;
        else v = c - 47;
        key += static_cast<uint32_t>(v) * weight;
        weight *= 37u;
    }
    return static_cast<int32_t>(key);
}

std::string DecodeZctaKey(int32_t key)
{
    std::string out;
    while (key != 0) {
        int v = key % 37;
        key /= 37;
        char c = '?';
        if (v == 0) c = ' ';
        else if (v >= 1 && v <= 10) c = static_cast<char>('0' + v - 1);
        else if (v >= 11 && v <= 36) c = static_cast<char>('A' + v - 11);
        out.insert(out.begin(), c);
    }
    return out;
}

std::string LayerLabel(std::string_view name)
{
    if (StartsWith(name, "FMCD")) return "Minor Civil Divisions";
    if (StartsWith(name, "FCCITY")) return "Consolidated City";
    if (StartsWith(name, "CD")) return "Congressional District Number,";
    if (StartsWith(name, "BNA")) return "Block Numbering Areas";
    if (StartsWith(name, "BG")) return "Block Groups";
    if (StartsWith(name, "TRUST")) return "American Indian Trust Land Flag";
    if (StartsWith(name, "FAIR") || StartsWith(name, "AIR")) return "American Indian/Alaska Native Area";
    return std::string(name);
}

char EntityTypeOf(std::string_view name)
{
    if (name == "FMCD") return 'M';
    if (name == "FPL") return 'P';
    if (StartsWith(name, "VTD")) return 'V';
    if (StartsWith(name, "CMSA") || StartsWith(name, "PMSA")) return 'A';
    if (name == "SDUNI") return '3';
    if (name == "SDSEC") return '4';
    if (name == "SDELM") return '5';
    if (name == "UA") return 'U';
    if (name == "CNTY") return 'C';
    // American Indian areas are keyed by their FIPS code, which the entity
    // names carry under the type 'F' (the type 'I' entries hold the census code).
    if (name == "FAIR") return 'F';
    return '0';
}

} // namespace zalor
