#include "list/readable_listing.h"

#include <cstring>

#include "program/zx81_charset.h"

namespace {

const char* const block_graphics[11] = {
    " ",      "\u2598", "\u259D", "\u2580",     "\u2596",     "\u258C",
    "\u259E", "\u259B", "\u2592", "\U0001FB8F", "\U0001FB8E",
};
const char* const inverse_block_graphics[11] = {
    "\u2588", "\u259F", "\u2599",     "\u2584",     "\u259C",     "\u2590",
    "\u259A", "\u2597", "\U0001FB90", "\U0001FB91", "\U0001FB92",
};

std::string code_escape(uint8_t code) {
    return "\\{" + std::to_string(code) + "}";
}

/// How a keyword token is spaced in a listing.
enum class Spacing { none, after, both };

Spacing keyword_spacing(uint8_t code) {
    if (code < 0xC0) return Spacing::none; // RND, INKEY$, PI
    switch (code) {
    case 0xD8:
    case 0xDB:
    case 0xDC:
    case 0xDD:
        return Spacing::none; // ** <= >= <>
    case 0xD9:
    case 0xDA:
    case 0xDE:
    case 0xDF:
    case 0xE0:
        return Spacing::both; // OR AND THEN TO STEP
    default:
        return code >= 0xE1 ? Spacing::both : Spacing::after;
    }
}

/// Writes pieces of a line, keeping the pending space after a keyword and the bracket
/// around inverse text.
struct ReadableWriter {
    std::string out;
    bool pending_space = false;
    bool inverse_open = false;

    void put(const std::string& text, bool inverse = false) {
        if (inverse_open && !inverse) {
            out += ']';
            inverse_open = false;
        }
        if (pending_space) {
            out += ' ';
            pending_space = false;
        }
        if (inverse && !inverse_open) {
            out += '[';
            inverse_open = true;
        }
        out += text;
    }
    void keyword(uint8_t code) {
        const Spacing spacing = keyword_spacing(code);
        if (spacing == Spacing::both && !pending_space && !out.empty() && out.back() != ' ') {
            put(" ");
        }
        put(keyword_text(code));
        if (spacing != Spacing::none) pending_space = true;
    }
    void code(uint8_t c) {
        if (c >= 0x8B && c <= 0xBF) {
            put(readable_character(c), true);
        } else if (is_character(c)) {
            put(readable_character(c));
        } else if (c == code_quote_image) {
            put("\"\"");
        } else if (keyword_text(c) != nullptr) {
            keyword(c);
        } else {
            put(code_escape(c));
        }
    }
    std::string finish() {
        if (inverse_open) out += ']';
        inverse_open = false;
        return out;
    }
};

} // namespace

std::string readable_character(uint8_t code) {
    if (!is_character(code)) return "";
    const uint8_t plain = code & 0x3F;
    if (plain <= 0x0A) {
        return (code & 0x80) != 0 ? inverse_block_graphics[plain] : block_graphics[plain];
    }
    if (plain == code_pound) return "\u00A3";
    return std::string(1, ascii_of_code(plain));
}

std::string readable_line(const PFileModel& model, const ProgramLine& line) {
    std::string number = std::to_string(line.number);
    if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
    ReadableWriter w;
    w.out = line.codes == line.codes_end ? number : number + " ";
    const std::vector<uint8_t>& b = model.bytes;
    bool in_string = false, in_rem = false;
    for (std::size_t i = line.codes; i < line.codes_end; ++i) {
        const uint8_t c = b[i];
        if (!in_string && !in_rem && c == code_number && i + 5 < line.codes_end) {
            i += 5;
            continue;
        }
        if (!in_rem && c == code_quote) in_string = !in_string;
        w.code(c);
        if (!in_string && c == code_rem) in_rem = true;
    }
    return w.finish();
}

std::string readable_characters(const std::vector<uint8_t>& bytes, std::size_t offset,
                                std::size_t count, std::size_t width) {
    ReadableWriter w;
    for (std::size_t i = offset; i < offset + count && i < bytes.size(); ++i) {
        const uint8_t c = bytes[i];
        if (is_character(c)) {
            w.put(readable_character(c), c >= 0x8B && c <= 0xBF);
        } else {
            w.put(code_escape(c));
        }
    }
    for (std::size_t i = count; i < width; ++i)
        w.put(" ");
    return w.finish();
}
