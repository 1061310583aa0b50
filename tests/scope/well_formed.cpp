#include "well_formed.h"

#include <cctype>
#include <set>
#include <vector>

namespace {

bool name_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':';
}
bool name_char(char c) {
    return name_start(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

struct Reader {
    const std::string& s;
    std::size_t i = 0;
    std::string problem;

    bool fail(const std::string& what) {
        if (problem.empty()) problem = what + " at offset " + std::to_string(i);
        return false;
    }
    bool at(const char* prefix) const {
        return s.compare(i, std::char_traits<char>::length(prefix), prefix) == 0;
    }
    void skip_space() {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
    }
    bool name(std::string& out) {
        if (i >= s.size() || !name_start(s[i])) return fail("a name expected");
        const std::size_t first = i;
        while (i < s.size() && name_char(s[i]))
            ++i;
        out = s.substr(first, i - first);
        return true;
    }
    // An entity or character reference; `i` is at '&'.
    bool reference() {
        const std::size_t semi = s.find(';', i);
        if (semi == std::string::npos || semi - i > 10) return fail("a stray '&'");
        const std::string body = s.substr(i + 1, semi - i - 1);
        static const std::set<std::string> known = {"amp", "lt", "gt", "quot", "apos"};
        bool ok = known.count(body) > 0;
        if (!ok && body.size() >= 2 && body[0] == '#') {
            ok = true;
            const bool hex = body[1] == 'x';
            for (std::size_t k = hex ? 2 : 1; k < body.size(); ++k) {
                ok &= hex ? std::isxdigit(static_cast<unsigned char>(body[k])) != 0
                          : std::isdigit(static_cast<unsigned char>(body[k])) != 0;
            }
            ok &= body.size() > (hex ? 2u : 1u);
        }
        if (!ok) return fail("an unknown reference &" + body + ";");
        i = semi + 1;
        return true;
    }
    // Character data up to the next '<'.
    bool text() {
        while (i < s.size() && s[i] != '<') {
            if (s[i] == '&') {
                if (!reference()) return false;
            } else if (s[i] == '>' && i >= 2 && s.compare(i - 2, 2, "]]") == 0) {
                return fail("']]>' in text");
            } else {
                ++i;
            }
        }
        return true;
    }
    bool comment() {
        const std::size_t end = s.find("-->", i + 4);
        if (end == std::string::npos) return fail("an unclosed comment");
        if (s.find("--", i + 4) < end) return fail("'--' inside a comment");
        i = end + 3;
        return true;
    }
    // A start tag; `i` is at '<'. Sets `empty` for "/>".
    bool start_tag(std::string& tag, bool& empty) {
        ++i;
        if (!name(tag)) return false;
        std::set<std::string> seen;
        for (;;) {
            const std::size_t before = i;
            skip_space();
            if (at("/>")) {
                i += 2;
                empty = true;
                return true;
            }
            if (at(">")) {
                ++i;
                empty = false;
                return true;
            }
            if (i == before) return fail("a space expected in <" + tag + ">");
            std::string attr;
            if (!name(attr)) return false;
            if (!seen.insert(attr).second) return fail("attribute " + attr + " given twice");
            skip_space();
            if (!at("=")) return fail("'=' expected after " + attr);
            ++i;
            skip_space();
            if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return fail("an unquoted value");
            const char quote = s[i++];
            while (i < s.size() && s[i] != quote) {
                if (s[i] == '<') return fail("'<' in an attribute value");
                if (s[i] == '&') {
                    if (!reference()) return false;
                } else {
                    ++i;
                }
            }
            if (i >= s.size()) return fail("an unclosed attribute value");
            ++i;
        }
    }
    bool document() {
        if (at("<?xml")) {
            const std::size_t end = s.find("?>", i);
            if (end == std::string::npos) return fail("an unclosed XML declaration");
            i = end + 2;
        }
        skip_space();
        if (at("<!DOCTYPE")) {
            const std::size_t end = s.find('>', i);
            if (end == std::string::npos) return fail("an unclosed DOCTYPE");
            i = end + 1;
        }
        std::vector<std::string> open;
        bool had_root = false;
        for (;;) {
            if (open.empty()) {
                skip_space();
                if (i == s.size()) break;
                if (had_root && !at("<!--")) return fail("content after the root element");
            } else if (!text()) {
                return false;
            }
            if (i == s.size()) return fail("<" + open.back() + "> is never closed");
            if (at("<!--")) {
                if (!comment()) return false;
            } else if (at("</")) {
                i += 2;
                std::string tag;
                if (!name(tag)) return false;
                skip_space();
                if (!at(">")) return fail("'>' expected");
                ++i;
                if (open.empty() || open.back() != tag) {
                    return fail("</" + tag + "> closes " +
                                (open.empty() ? std::string("nothing") : "<" + open.back() + ">"));
                }
                open.pop_back();
            } else if (at("<")) {
                if (open.empty() && had_root) return fail("a second root element");
                std::string tag;
                bool empty = false;
                if (!start_tag(tag, empty)) return false;
                had_root = true;
                if (!empty) open.push_back(tag);
            } else {
                return fail("text outside the root element");
            }
        }
        if (!had_root) return fail("no root element");
        return true;
    }
};

} // namespace

std::string xml_problem(const std::string& text) {
    Reader r{text, 0, ""};
    r.document();
    return r.problem;
}
