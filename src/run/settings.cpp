#include "run/settings.h"

#include "tiger/fields.h"

#include <charconv>
#include <stdexcept>
#include <unordered_map>

namespace zalor {

namespace {

struct KeyIndex {
    std::unordered_map<std::string_view, std::size_t> map;
    explicit KeyIndex(const std::vector<SettingDef>& defs)
    {
        for (std::size_t i = 0; i < defs.size(); ++i) map.emplace(defs[i].key, i);
    }
};

const KeyIndex& Keys()
{
    static const KeyIndex index(SettingTable());
    return index;
}

int Clamp(const SettingDef& def, std::string_view text)
{
    int v = ParseIntOr(text, def.fallback);
    if (v > def.maximum) v = def.maximum;
    if (v < def.minimum) v = def.minimum;
    return v;
}

} // namespace

const SettingDef* FindSetting(std::string_view key)
{
    auto it = Keys().map.find(key);
    return it == Keys().map.end() ? nullptr : &SettingTable()[it->second];
}

std::string TextAsStored(std::string_view value)
{
    std::string text(value);
    for (char& c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) c = ' ';
    }
    return text;
}

int ParseIntOr(std::string_view text, int fallback)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    int v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (first == last || ec != std::errc() || ptr != last) return fallback;
    return v;
}

RunSettings::RunSettings(std::string programDirArg, std::string currentDirArg)
    : programDir(std::move(programDirArg)), currentDir(std::move(currentDirArg))
{
    for (std::string* d : {&programDir, &currentDir})
        if (d->empty() || d->back() != '/') d->push_back('/');
    const auto& table = SettingTable();
    values_.reserve(table.size());
    numbers_.assign(table.size(), 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        values_.push_back(table[i].defaultValue);
        if (table[i].kind == SettingKind::Number) numbers_[i] = Clamp(table[i], table[i].defaultValue);
    }
    values_[Index("Input")] = currentDir;
    values_[Index("Output")] = programDir;
    values_[Index("Log")] = programDir + "ZALOR.LOG";
}

std::size_t RunSettings::Index(std::string_view key) const
{
    auto it = Keys().map.find(key);
    if (it == Keys().map.end()) throw std::invalid_argument("unknown setting " + std::string(key));
    return it->second;
}

bool RunSettings::Has(std::string_view key) const { return Keys().map.count(key) != 0; }

std::string RunSettings::Get(std::string_view key) const { return values_[Index(key)]; }

bool RunSettings::Set(std::string_view key, std::string_view value)
{
    const SettingDef* def = Def(key);
    if (!def) return false;
    switch (def->kind) {
    case SettingKind::Box:
        SetBox(key, FieldToInt(value) != 0);
        break;
    case SettingKind::Radio:
        if (FieldToInt(value) != 0) SetRadio(key);
        else values_[Index(key)] = "0";
        break;
    case SettingKind::Text:
    case SettingKind::Number:
        SetText(key, value);
        break;
    }
    return true;
}

bool RunSettings::Box(std::string_view key) const { return values_[Index(key)] == "1"; }

void RunSettings::SetBox(std::string_view key, bool on)
{
    std::size_t i = Index(key);
    if (!SettingTable()[i].enabled) return;
    values_[i] = on ? "1" : "0";
}

const std::string& RunSettings::Text(std::string_view key) const { return values_[Index(key)]; }

int RunSettings::Number(std::string_view key) const { return numbers_[Index(key)]; }

void RunSettings::SetText(std::string_view key, std::string_view value)
{
    const std::size_t i = Index(key);
    const SettingDef& def = SettingTable()[i];
    if (def.kind == SettingKind::Number) {
        numbers_[i] = Clamp(def, value);
        values_[i] = std::to_string(numbers_[i]);
        return;
    }
    values_[i] = TextAsStored(value);
}

void RunSettings::SetRadio(std::string_view key)
{
    std::size_t i = Index(key);
    const auto& table = SettingTable();
    const std::string& group = table[i].group;
    for (std::size_t j = 0; j < table.size(); ++j)
        if (table[j].kind == SettingKind::Radio && table[j].group == group) values_[j] = "0";
    values_[i] = "1";
}

std::string RunSettings::Choice(std::string_view group) const
{
    const auto& table = SettingTable();
    for (std::size_t j = 0; j < table.size(); ++j)
        if (table[j].kind == SettingKind::Radio && table[j].group == group && values_[j] == "1")
            return table[j].key;
    return {};
}

int RunSettings::ChoiceValue(std::string_view group) const
{
    const SettingDef* def = FindSetting(Choice(group));
    return def ? def->choiceValue : 0;
}

} // namespace zalor
