// A small JSON writer for the truth file: text appended in order, the
// caller placing the commas and brackets.
#pragma once

#include "model.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mkcounty {

class Json {
public:
    std::string out;
    void Raw(std::string_view s) { out.append(s); }
    void Str(std::string_view s)
    {
        out.push_back('"');
        for (char ch : s) {
            unsigned char u = static_cast<unsigned char>(ch);
            if (ch == '"' || ch == '\\') {
                out.push_back('\\');
                out.push_back(ch);
            } else if (u < 0x20 || u >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                out.append(buf);
            } else {
                out.push_back(ch);
            }
        }
        out.push_back('"');
    }
    void Int(int64_t v) { out.append(std::to_string(v)); }
    void Key(std::string_view k)
    {
        Str(k);
        out.push_back(':');
    }
    // "key":"text" and "key":number, each followed by `after`.
    void StrField(std::string_view k, std::string_view v, std::string_view after = ",")
    {
        Key(k);
        Str(v);
        Raw(after);
    }
    void IntField(std::string_view k, int64_t v, std::string_view after = ",")
    {
        Key(k);
        Int(v);
        Raw(after);
    }
    void Pt(const Point& p)
    {
        out.push_back('[');
        Int(p.x);
        out.push_back(',');
        Int(p.y);
        out.push_back(']');
    }
    void Ids(const std::vector<int32_t>& v)
    {
        out.push_back('[');
        for (size_t k = 0; k < v.size(); ++k) {
            if (k) out.push_back(',');
            Int(v[k]);
        }
        out.push_back(']');
    }
};

} // namespace mkcounty
