#include "rescue/json_reader.h"

#include <cctype>
#include <cstdlib>

namespace {

struct Reader {
    const std::string& s;
    std::size_t i = 0;

    void space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t'))
            ++i;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s.compare(i, w.size(), w) != 0) return false;
        i += w.size();
        return true;
    }
    bool string(std::string& out) {
        if (i >= s.size() || s[i] != '"') return false;
        for (++i; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (++i >= s.size()) return false;
            const char e = s[i];
            if (e == 'u') {
                if (i + 4 >= s.size()) return false;
                for (int k = 1; k <= 4; ++k) {
                    if (!std::isxdigit(static_cast<unsigned char>(s[i + k]))) return false;
                }
                out += "\\u" + s.substr(i + 1, 4); // kept as written
                i += 4;
            } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
                out += e;
            } else {
                return false;
            }
        }
        return false;
    }
    bool value(Json& out) {
        space();
        if (i >= s.size()) return false;
        const char c = s[i];
        if (c == '{') {
            out.type = Json::Type::object;
            ++i;
            space();
            if (i < s.size() && s[i] == '}') return ++i, true;
            for (;;) {
                space();
                std::string key;
                if (!string(key)) return false;
                space();
                if (i >= s.size() || s[i++] != ':') return false;
                Json member;
                if (!value(member)) return false;
                out.members.emplace_back(key, member);
                space();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                return i < s.size() && s[i++] == '}';
            }
        }
        if (c == '[') {
            out.type = Json::Type::array;
            ++i;
            space();
            if (i < s.size() && s[i] == ']') return ++i, true;
            for (;;) {
                Json item;
                if (!value(item)) return false;
                out.items.push_back(item);
                space();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                return i < s.size() && s[i++] == ']';
            }
        }
        if (c == '"') {
            out.type = Json::Type::string;
            return string(out.text);
        }
        if (literal("true") || literal("false")) {
            out.type = Json::Type::boolean;
            out.boolean = s[i - 1] == 'e' && s[i - 2] == 'u';
            return true;
        }
        if (literal("null")) return true;
        // A number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
        const std::size_t start = i;
        if (s[i] == '-') ++i;
        if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        if (s[i] == '0') {
            ++i;
        } else {
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
        if (i < s.size() && s[i] == '.') {
            if (++i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
            if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                ++i;
        }
        out.type = Json::Type::number;
        out.number = std::strtod(s.substr(start, i - start).c_str(), nullptr);
        return true;
    }
};

} // namespace

const Json& Json::operator[](const std::string& key) const {
    static const Json none;
    for (const auto& member : members) {
        if (member.first == key) return member.second;
    }
    return none;
}

std::vector<std::string> Json::keys() const {
    std::vector<std::string> out;
    for (const auto& member : members)
        out.push_back(member.first);
    return out;
}

bool parse_json(const std::string& text, Json& out) {
    Reader reader{text};
    out = Json{};
    if (!reader.value(out)) return false;
    reader.space();
    return reader.i == text.size();
}
