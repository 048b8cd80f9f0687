#include "cli/layer_options.h"

#include "run/release_supply.h"
#include "run/selection.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace zalor {

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

std::vector<std::string> SplitNames(const std::string& list)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string name = Trimmed(list.substr(start, end - start));
        if (!name.empty()) names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator = ", ")
{
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
    return out;
}

std::string UnknownName(const std::string& option, const std::string& name, const std::vector<std::string>& valid)
{
    return (name.empty() ? "no name given in " + option : "unknown name '" + name + "' in " + option) +
           "; valid names: " + Joined(valid);
}

// The selection boxes that add codes to the selection `mask`.
std::vector<std::string> ClassBoxes(int mask)
{
    std::vector<std::string> keys;
    for (const SelectionBoxDef& box : SelectionBoxTable())
        if ((box.masks & mask) != 0) keys.push_back(box.key);
    return keys;
}

// The boxes an area layer is chosen with: its own box and the boxes of
// the classes it holds.
std::vector<std::string> AreaKeys(const AreaLayerDef& layer)
{
    std::vector<std::string> keys;
    if (!layer.boxKey.empty()) keys.push_back(layer.boxKey);
    if (layer.landmarkClassMask != 0)
        for (const std::string& key : ClassBoxes(layer.landmarkClassMask)) keys.push_back(key);
    return keys;
}

bool Offered(const AreaLayerDef& layer) { return layer.boxKey.empty() || FindSetting(layer.boxKey)->enabled; }

std::vector<std::string> LineNames()
{
    std::vector<std::string> names;
    for (const LineGroupDef& g : LineGroupTable()) names.push_back(g.name);
    names.push_back("all");
    return names;
}

std::vector<std::string> AreaNames()
{
    std::vector<std::string> names;
    for (const AreaLayerDef& a : AreaLayerTable())
        if (Offered(a)) names.push_back(a.defaultName);
    names.push_back("all");
    return names;
}

std::vector<std::string> FieldNames()
{
    std::vector<std::string> names;
    for (const OutputFieldDef& f : OutputFieldTable()) names.push_back(f.name);
    names.push_back("all");
    names.push_back("default");
    return names;
}

// The entries of `table` that the names of `list` choose ("all": every
// entry offered); `nameOf` gives an entry's name, `offered` whether it can
// be chosen at all.
template <typename Def, typename NameOf, typename Offered>
std::string Choose(const std::string& option, const std::string& list, const std::vector<Def>& table,
                   const std::vector<std::string>& valid, NameOf nameOf, Offered offered,
                   std::vector<const Def*>& chosen)
{
    const std::vector<std::string> names = SplitNames(list);
    if (names.empty()) return UnknownName(option, "", valid);
    for (const std::string& name : names) {
        bool found = false;
        for (const Def& d : table) {
            if (name == "all" ? !offered(d) : name != nameOf(d)) continue;
            if (!offered(d)) return name + " in " + option + " is not offered";
            chosen.push_back(&d);
            found = true;
        }
        if (!found) return UnknownName(option, name, valid);
    }
    return {};
}

// The column groups the field names ask for; `useDefaults` for "default".
std::string ChooseFields(const std::string& list, int& columns, bool& useDefaults)
{
    const std::vector<std::string> names = SplitNames(list);
    if (names.empty()) return UnknownName("--fields", "", FieldNames());
    columns = 0;
    useDefaults = false;
    for (const std::string& name : names) {
        bool found = name == "all" || name == "default";
        useDefaults = useDefaults || name == "default";
        for (const OutputFieldDef& f : OutputFieldTable())
            if (name == "all" || name == f.name) {
                columns |= f.columnGroups;
                found = true;
            }
        if (!found) return UnknownName("--fields", name, FieldNames());
    }
    if (useDefaults && names.size() > 1) return "--fields default stands alone";
    return {};
}

} // namespace

std::string ApplyNamedSelection(RunSettings& s, const NamedSelection& selection)
{
    std::vector<const LineGroupDef*> groups;
    if (selection.lines) {
        const std::string error = Choose(
            "--lines", *selection.lines, LineGroupTable(), LineNames(), [](const LineGroupDef& g) { return g.name; },
            [](const LineGroupDef&) { return true; }, groups);
        if (!error.empty()) return error;
    } else {
        for (const LineGroupDef& g : LineGroupTable()) groups.push_back(&g);
    }
    std::vector<const AreaLayerDef*> layers;
    if (selection.areas) {
        const std::string error =
            Choose("--areas", *selection.areas, AreaLayerTable(), AreaNames(),
                   [](const AreaLayerDef& a) { return a.defaultName; }, Offered, layers);
        if (!error.empty()) return error;
    } else {
        for (const AreaLayerDef& a : AreaLayerTable()) layers.push_back(&a);
    }
    int columns = 0;
    bool useDefaults = false;
    if (selection.fields)
        if (std::string error = ChooseFields(*selection.fields, columns, useDefaults); !error.empty()) return error;

    if (selection.lines)
        for (const LineGroupDef* g : groups)
            for (const std::string& box : g->boxes) s.SetBox(box, true);
    if (selection.areas)
        for (const AreaLayerDef* a : layers)
            for (const std::string& key : AreaKeys(*a)) s.SetBox(key, true);
    if (selection.points)
        for (const PointLayerDef& p : PointLayerTable())
            for (const std::string& key : ClassBoxes(p.classMask)) s.SetBox(key, true);
    // The field boxes of the named line groups (of every group when none is
    // named) are set to exactly the fields asked for.
    if (selection.fields)
        for (const LineGroupDef* g : groups)
            for (const std::string& box : g->fieldBoxes) {
                if (useDefaults) s.Set(box, FindSetting(box)->defaultValue);
                else s.SetBox(box, (FindFieldBox(box)->columnGroups & columns) != 0);
            }
    // The options of the named area layers (of every layer when none is named).
    for (const AreaLayerDef* a : layers) {
        if (selection.centroids && !a->centroidKey.empty()) s.SetBox(a->centroidKey, true);
        if (selection.excludeWater && !a->excludeWaterKey.empty()) s.SetBox(a->excludeWaterKey, true);
    }
    return {};
}

namespace {

// "CbA1-CbA8" for a run of keys numbered one after the other.
std::string KeyRanges(const std::vector<std::string>& keys)
{
    struct Key {
        std::string prefix;
        long number;
    };
    auto split = [](const std::string& key) {
        std::size_t d = key.size();
        while (d > 0 && std::isdigit(static_cast<unsigned char>(key[d - 1]))) --d;
        return Key{key.substr(0, d), d < key.size() ? std::stol(key.substr(d)) : -1};
    };
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        const Key first = split(keys[i]);
        while (j < keys.size() && first.number >= 0) {
            const Key next = split(keys[j]);
            if (next.prefix != first.prefix || next.number != first.number + static_cast<long>(j - i)) break;
            ++j;
        }
        if (j - i >= 3) parts.push_back(keys[i] + "-" + keys[j - 1]);
        else
            for (std::size_t k = i; k < j; ++k) parts.push_back(keys[k]);
        i = j;
    }
    return Joined(parts);
}

// "TGRsscccA.MIF/.MID": the files of the layer `name` in format `f`, or
// its table "TGRssccc.gpkg:A".
std::string Files(const std::string& name, const OutputFormatDef& f)
{
    if (f.tables) return "TGRssccc" + f.extensions.front() + ":" + name;
    return "TGRssccc" + name + Joined(f.extensions, "/");
}

class Table {
public:
    using Row = std::vector<std::string>;
    void Add(Row row) { rows_.push_back(std::move(row)); }
    std::string Text() const
    {
        std::vector<std::size_t> width;
        for (const Row& r : rows_) {
            if (width.size() < r.size()) width.resize(r.size());
            for (std::size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], r[c].size());
        }
        std::string out;
        for (const Row& r : rows_) {
            std::string line = "  ";
            for (std::size_t c = 0; c < r.size(); ++c) {
                line += r[c];
                if (c + 1 < r.size()) line += std::string(width[c] - r[c].size() + 2, ' ');
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + "\n";
        }
        return out;
    }

private:
    std::vector<Row> rows_;
};

const OutputFormatDef& FormatOf(const RunSettings& s)
{
    for (const OutputFormatDef& f : OutputFormatTable())
        if (s.Box(f.key)) return f;
    return OutputFormatTable().front();
}

} // namespace

namespace {

std::string LineGroupListing(const RunSettings& s, const OutputFormatDef& format)
{
    const OutputFieldDef* nodeField = nullptr;
    for (const OutputFieldDef& f : OutputFieldTable())
        if (!f.fileSuffix.empty()) nodeField = &f;
    Table lines;
    lines.Add({"NAME", "HOLDS", "SETS", "FILES"});
    for (const LineGroupDef& g : LineGroupTable()) {
        const std::string suffix = s.Text(g.suffixKey);
        std::string files = Files(suffix, format);
        bool nodes = false;
        for (const std::string& box : g.fieldBoxes)
            nodes = nodes || (nodeField && (FindFieldBox(box)->columnGroups & nodeField->columnGroups) != 0);
        if (nodes && format.points) files += ", with nodes " + Files(suffix + nodeField->fileSuffix, format);
        lines.Add({g.name, Trimmed(g.caption), KeyRanges(g.boxes), files});
    }
    return "Line groups: --lines NAME,...  (all: every group, with the all-chains file)\n" + lines.Text();
}

// With a vintage, each layer's source in that release comes before its files.
std::string AreaLayerListing(const RunSettings& s, const OutputFormatDef& format, const std::string& vintage)
{
    Table areas;
    if (vintage.empty())
        areas.Add({"NAME", "HOLDS", "SETS", "FILES"});
    else
        areas.Add({"NAME", "HOLDS", "SETS", "KEYS IN " + vintage, "FILES"});
    for (const AreaLayerDef& a : AreaLayerTable()) {
        std::string files = Files(AreaLayerName(s, a), format);
        if (!a.centroidKey.empty() && !format.centroidSuffix.empty())
            files += ", with --centroids " + Files(AreaLayerName(s, a) + format.centroidSuffix, format);
        std::vector<std::string> row = {a.defaultName, Trimmed(a.caption) + (Offered(a) ? "" : " (not offered)"),
                                        KeyRanges(AreaKeys(a)), Offered(a) ? files : std::string()};
        if (!vintage.empty()) row.insert(row.begin() + 3, AreaSupplyText(a, vintage));
        areas.Add(row);
    }
    std::string head = "\nArea layers: --areas NAME,...  (all: every layer offered)\n";
    if (!vintage.empty())
        head += "Keys in " + ReleaseTextOfVintage(vintage) +
                ": the record, field and columns; layers with none are not written for its counties.\nCoordinates on " +
                VintageDatumText(vintage) + "\n";
    return head + areas.Text();
}

std::string PointLayerListing(const RunSettings& s, const OutputFormatDef& format)
{
    Table points;
    points.Add({"NAME", "HOLDS", "SETS", "FILES"});
    for (const PointLayerDef& p : PointLayerTable()) {
        const std::vector<std::string> classes = ClassBoxes(p.classMask);
        points.Add({FindSetting(p.suffixKey)->defaultValue, p.caption, KeyRanges(classes),
                    format.points ? Files(s.Text(p.suffixKey), format) : "none in this format"});
        for (const std::string& key : classes) {
            const SettingDef& def = *FindSetting(key);
            points.Add({"", "  " + Trimmed(def.caption) + " " + Trimmed(def.description), key, ""});
        }
    }
    return "\nLandmark points: --points  (every class)\n" + points.Text();
}

std::string FieldListing()
{
    Table fields;
    fields.Add({"NAME", "COLUMNS", "SETS", "DEFAULT IN"});
    for (const OutputFieldDef& f : OutputFieldTable()) {
        std::vector<std::string> sets, defaults;
        for (const LineGroupDef& g : LineGroupTable()) {
            std::vector<std::string> boxes;
            bool byDefault = false;
            for (const std::string& box : g.fieldBoxes) {
                if ((FindFieldBox(box)->columnGroups & f.columnGroups) == 0) continue;
                boxes.push_back(box);
                byDefault = byDefault || FindSetting(box)->defaultValue == "1";
            }
            if (!boxes.empty()) sets.push_back(g.name + ":" + Joined(SplitNames(KeyRanges(boxes)), ","));
            if (byDefault) defaults.push_back(g.name);
        }
        fields.Add({f.name, f.caption, Joined(sets, " "), Joined(defaults)});
    }
    return "\nOutput fields of the line groups: --fields NAME,...  (all; default: the boxes checked by default)\n" +
           fields.Text();
}

std::string AreaOptionListing()
{
    std::string out = "\n--centroids and --exclude-water set the options of the named area layers (of every layer "
                      "when\n--areas is not given):";
    std::vector<std::string> centroidKeys, waterKeys;
    for (const AreaLayerDef& a : AreaLayerTable()) {
        if (!a.centroidKey.empty() && (centroidKeys.empty() || centroidKeys.back() != a.centroidKey))
            centroidKeys.push_back(a.centroidKey);
        if (!a.excludeWaterKey.empty() && (waterKeys.empty() || waterKeys.back() != a.excludeWaterKey))
            waterKeys.push_back(a.excludeWaterKey);
    }
    return out + " " + KeyRanges(centroidKeys) + "; " + Joined(waterKeys) + ".\n";
}

} // namespace

std::string LayerListing(const RunSettings& s, const std::string& vintage)
{
    const OutputFormatDef& format = FormatOf(s);
    const std::string head = (format.tables ? "Tables of the one file TGRssccc" + format.extensions.front() + " as the "
                                            : "Files as the ") +
                             format.name + " format (-f) names them, for a county TGRssccc.\n\n";
    return head + LineGroupListing(s, format) + AreaLayerListing(s, format, vintage) + PointLayerListing(s, format) +
           FieldListing() + AreaOptionListing();
}

} // namespace zalor
