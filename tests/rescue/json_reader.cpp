#include "rescue/json_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

// Strict recursive descent over the whole text; false at the first thing JSON does not allow.
struct Reader {
    const std::string& s;
    std::size_t i = 0;

    bool at(char c) const { return i < s.size() && s[i] == c; }
    bool digit() const { return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); }
    void space() {
        while (i < s.size() && std::strchr(" \t\r\n", s[i]) != nullptr && s[i] != '\0')
            ++i;
    }
    bool digits() {
        if (!digit()) return false;
        while (digit())
            ++i;
        return true;
    }
    bool string(std::string& out) {
        if (!at('"')) return false;
        for (++i; i < s.size(); ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c == '"') return ++i, true;
            if (c < 0x20) return false;
            if (c == '\\') {
                if (++i >= s.size() || std::strchr("\"\\/bfnrtu", s[i]) == nullptr) return false;
                if (s[i] == 'u') {
                    for (int k = 1; k <= 4; ++k) {
                        if (i + k >= s.size() ||
                            !std::isxdigit(static_cast<unsigned char>(s[i + k]))) {
                            return false;
                        }
                    }
                    out += s.substr(i - 1, 6); // kept as written
                    i += 4;
                    continue;
                }
            }
            out += static_cast<char>(c);
        }
        return false;
    }
    // The items of an array or the members of an object, up to `close`.
    template <typename Item> bool sequence(char close, Item item) {
        ++i;
        space();
        if (at(close)) return ++i, true;
        for (;;) {
            if (!item()) return false;
            space();
            if (at(',')) {
                ++i;
                space();
                continue;
            }
            return at(close) && (++i, true);
        }
    }
    bool value(Json& out) {
        space();
        if (at('{')) {
            out.type = Json::Type::object;
            return sequence('}', [&] {
                std::string key;
                Json member;
                if (!string(key)) return false;
                space();
                if (!at(':')) return false;
                ++i;
                if (!value(member)) return false;
                out.members.emplace_back(key, member);
                return true;
            });
        }
        if (at('[')) {
            out.type = Json::Type::array;
            return sequence(']', [&] {
                out.items.emplace_back();
                return value(out.items.back());
            });
        }
        if (at('"')) {
            out.type = Json::Type::string;
            return string(out.text);
        }
        for (const char* word : {"true", "false", "null"}) {
            if (s.compare(i, std::strlen(word), word) == 0) {
                i += std::strlen(word);
                out.type = word[0] == 'n' ? Json::Type::null : Json::Type::boolean;
                out.boolean = word[0] == 't';
                return true;
            }
        }
        // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
        const std::size_t start = i;
        if (at('-')) ++i;
        if (at('0')) {
            ++i;
        } else if (!digits()) {
            return false;
        }
        if (at('.') && (++i, !digits())) return false;
        if (at('e') || at('E')) {
            ++i;
            if (at('+') || at('-')) ++i;
            if (!digits()) return false;
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
