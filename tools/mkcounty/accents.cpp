// --accented-names: names spelled with the Latin-1 letters beyond ASCII
// that real counties have (Doña Ana County, Española, Béxar), some of them
// filling their record fields. The county is built as usual and its names
// respelled last, so that nothing else of it changes.
#include "builder.h"

#include <string_view>
#include <utility>

namespace mkcounty {

namespace {

// Whole words of street, landmark and key location names and their
// accented spelling (the words of Word()).
constexpr std::pair<std::string_view, std::string_view> kWords[] = {
    {"Maple", "Ca\xF1"
              "ada"},
    {"Elm", "Espa\xF1"
            "ola"},
    {"Cedar", "B\xE9"
              "xar"},
    {"Walnut", "N\xFA\xF1"
               "ez"},
    {"Jefferson", "Jos\xE9"},
    {"Monroe", "Montr\xE9"
               "al"},
};

// Feature names (RT1, RT5) that become the longest a record can hold: a
// direction prefix, 30 characters of FENAME, a type of four and, for the
// alternate name, a direction suffix.
struct Parts {
    std::string_view dirp, name, type, dirs;
};
constexpr std::pair<Parts, Parts> kFeatureNames[] = {
    {{"", "Martin Luther King Jr Memorial", "Dr", ""}, {"NE", "Avenida Nuestra Se\xF1"
                                                              "ora de Per\xFA",
                                                        "Blvd", ""}},
    {{"N", "Main", "St", "E"}, {"NW", "Paseo de la Reforma Pe\xF1"
                                      "asquito",
                                "Expy", "SE"}},
};

// Whole names and their accented replacements; those marked fill their
// fields: LANAME (30), the RTC name (60 from Census 2000).
constexpr std::pair<std::string_view, std::string_view> kNames[] = {
    {"St Josaphat Ukrainian Catholic", "Bas\xED"
                                       "lica de Nuestra Se\xF1"
                                       "ora Paz"}, // 30
    {"Lincoln Park", "Parque Pe\xF1"
                     "alosa"},
    {"Lincoln High School", "Escuela Secundaria Jos\xE9 Mart\xED"},
    {"Springfield", "Espa\xF1"
                    "ola"},
    {"Riverside", "Pe\xF1"
                  "asco"},
    {"Lakeview Community Unit School District 300", "Distrito Escolar Unificado de Nuestra Se\xF1"
                                                    "ora de Guadalupe 30"}, // 60
};

std::string Respelled(const std::string& name)
{
    for (const auto& [plain, accented] : kNames)
        if (name == plain) return std::string(accented);
    std::string out;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find(' ', start);
        if (end == std::string::npos) end = name.size();
        std::string_view word(name.data() + start, end - start);
        for (const auto& [plain, accented] : kWords)
            if (word == plain) word = accented;
        if (start > 0) out.push_back(' ');
        out.append(word);
        start = end + 1;
    }
    return out;
}

void Respell(NameParts& n)
{
    for (const auto& [plain, accented] : kFeatureNames) {
        if (n.dirp == plain.dirp && n.name == plain.name && n.type == plain.type && n.dirs == plain.dirs) {
            n = {std::string(accented.dirp), std::string(accented.name), std::string(accented.type),
                 std::string(accented.dirs)};
            return;
        }
    }
    n.name = Respelled(n.name);
}

} // namespace

void Builder::AccentNames()
{
    c_.name = "Do\xF1"
              "a Ana County";
    for (NameParts& n : c_.names) Respell(n);
    for (NameParts& n : c_.altNames) Respell(n);
    for (Landmark& m : c_.landmarks) m.name = Respelled(m.name);
    for (KeyLocation& k : c_.keyLocations) k.name = Respelled(k.name);
    for (Entity& e : c_.entities) {
        if (e.type == 'C' && e.stateCounty == c_.code) e.name = c_.name;
        else e.name = Respelled(e.name);
    }
}

} // namespace mkcounty
