#include "list/zmakebas_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>

#include "program/zx81_charset.h"
#include "program/zx81_number.h"

namespace {

bool alpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

int map_char(char c) {
    if (c >= 'a' && c <= 'z') return 0xA6 + (c - 'a');
    if (c == '`') return 0xC0;
    const int code = code_of_ascii(c);
    return code >= 0 ? code : static_cast<unsigned char>(c);
}

struct Drawing {
    const char* text;
    uint8_t code;
};
const Drawing drawings[] = {
    {"  ", 0x00}, {"' ", 0x01}, {" '", 0x02}, {"''", 0x03}, {". ", 0x04}, {": ", 0x05},
    {".'", 0x06}, {":'", 0x07}, {"!:", 0x08}, {"!.", 0x09}, {"!'", 0x0A}, {"::", 0x80},
    {".:", 0x81}, {":.", 0x82}, {"..", 0x83}, {"':", 0x84}, {" :", 0x85}, {"'.", 0x86},
    {" .", 0x87}, {"|:", 0x88}, {"|.", 0x89}, {"|'", 0x8A},
};

/// Reads the escape at text[i] == '\\'; returns the code and advances `i` past it.
int read_escape(const std::string& t, std::size_t& i) {
    const char c = i + 1 < t.size() ? t[i + 1] : '\0';
    const char d = i + 2 < t.size() ? t[i + 2] : '\0';
    if ((c >= 'a' && c <= 'u') || (c >= 'A' && c <= 'U')) {
        i += 2;
        return 0x90 + (std::tolower(c) - 'a');
    }
    if (digit(c)) {
        i += 2;
        return 0x9C + (c - '0');
    }
    if ((c == ':' || c == '.') && !(d == '\'' || d == '.' || d == ':' || d == ' ')) {
        i += 2;
        return c == ':' ? 0x8E : 0x9B;
    }
    const char* punct = "\"$?()><=+-*/;,";
    if (c != '\0' && std::strchr(punct, c) != nullptr) {
        i += 2;
        return 0x80 | code_of_ascii(c);
    }
    if (c == '\\') {
        i += 2;
        return 0x0C;
    }
    if (c == '@') {
        i += 2;
        return 0x8C;
    }
    if (c == '{') {
        const std::size_t close = t.find('}', i);
        const int value = static_cast<int>(std::strtoul(t.c_str() + i + 2, nullptr, 0));
        i = close + 1;
        return value;
    }
    for (const Drawing& dr : drawings) {
        if (c == dr.text[0] && d == dr.text[1]) {
            i += 3;
            return dr.code;
        }
    }
    i += 2; // unknown escape: the character itself
    return static_cast<unsigned char>(c);
}

} // namespace

std::vector<uint8_t> zmakebas_read(const std::string& text) {
    // The copy: lower case, strings blanked.
    std::string copy = text;
    bool quoted = false;
    for (char& c : copy) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        c = quoted ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    auto free_at = [&](std::size_t pos, std::size_t n) {
        const bool before = pos > 0 && alpha(copy[pos - 1]);
        const bool after = pos + n < copy.size() && alpha(copy[pos + n]);
        return !before && !after;
    };
    std::size_t limit = copy.size();
    std::size_t rem = std::string::npos;
    for (std::size_t p = copy.find("rem"); p != std::string::npos; p = copy.find("rem", p + 1)) {
        if (free_at(p, 3)) {
            rem = p;
            limit = p;
            break;
        }
    }
    std::map<std::size_t, std::pair<uint8_t, std::size_t>> tokens; // position -> code, length
    for (int code = 0xFF; code >= 0x40; --code) {
        const char* word = keyword_text(static_cast<uint8_t>(code));
        if (word == nullptr || code == code_rem) continue;
        std::vector<std::string> spellings{word};
        if (code == 0xEC) spellings.push_back("GO TO");
        if (code == 0xED) spellings.push_back("GO SUB");
        for (std::string w : spellings) {
            for (char& c : w)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const bool anywhere = w == "<>" || w == "<=" || w == ">=";
            for (std::size_t p = copy.find(w); p != std::string::npos && p + w.size() <= limit;
                 p = copy.find(w, p + 1)) {
                if (!anywhere && !free_at(p, w.size())) continue;
                tokens[p] = {static_cast<uint8_t>(code), w.size()};
                for (std::size_t k = p; k < p + w.size(); ++k)
                    copy[k] = '\x01';
            }
        }
    }

    std::vector<uint8_t> codes;
    bool in_string = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (i == rem) {
            codes.push_back(code_rem);
            i += 3;
            if (i < text.size() && text[i] == ' ') ++i;
            while (i < text.size()) {
                if (text[i] == '\\') {
                    codes.push_back(static_cast<uint8_t>(read_escape(text, i)));
                } else {
                    codes.push_back(static_cast<uint8_t>(map_char(text[i++])));
                }
            }
            break;
        }
        const auto token = tokens.find(i);
        if (!in_string && token != tokens.end()) {
            codes.push_back(token->second.first);
            i += token->second.second;
            while (i < text.size() && text[i] == ' ')
                ++i;
            continue;
        }
        const char c = text[i];
        if (c == '\\') {
            codes.push_back(static_cast<uint8_t>(read_escape(text, i)));
            continue;
        }
        if (c == '"') in_string = !in_string;
        if (!in_string && c == ' ') {
            ++i;
            continue;
        }
        const char prev = i > 0 ? text[i - 1] : ' ';
        const bool starts_number =
            !in_string && c != '"' && !alpha(prev) && !digit(prev) &&
            (digit(c) || (c == '.' && i + 1 < text.size() && digit(text[i + 1])));
        if (starts_number) {
            char* end = nullptr;
            double value = std::strtod(text.c_str() + i, &end);
            const std::size_t n = static_cast<std::size_t>(end - (text.c_str() + i));
            for (std::size_t k = 0; k < n; ++k)
                codes.push_back(static_cast<uint8_t>(map_char(text[i + k])));
            i += n;
            if (i < text.size() && text[i] == '|') {
                value = std::strtod(text.c_str() + i + 1, &end);
                i = static_cast<std::size_t>(end - text.c_str());
            }
            Zx81Number bytes;
            encode_zx81_number(value, bytes);
            codes.push_back(code_number);
            codes.insert(codes.end(), bytes.begin(), bytes.end());
            continue;
        }
        codes.push_back(static_cast<uint8_t>(map_char(c)));
        ++i;
    }
    return codes;
}
