#include "list/zmakebas_listing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "program/zx81_charset.h"
#include "program/zx81_number.h"

namespace {

std::string code_escape(uint8_t code) {
    return "\\{" + std::to_string(code) + "}";
}

bool is_alnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

/// The escapes of the block graphics 0x00-0x0A and 0x80-0x8A (0x00 is a plain space).
const char* const block_escapes[11] = {
    " ", "\\' ", "\\ '", "\\''", "\\. ", "\\: ", "\\.'", "\\:'", "\\!:", "\\!.", "\\!'"};
const char* const inverse_block_escapes[11] = {
    "\\::", "\\.:", "\\:.", "\\..", "\\':", "\\ :", "\\'.", "\\ .", "\\|:", "\\|.", "\\|'"};

enum class Mode { code, string, rem };

/// The text of a character code (0x00-0x3F, 0x80-0xBF) outside a keyword, a number and the
/// line's structure, per the table; `mode` picks the column.
std::string character_text(uint8_t code, Mode mode) {
    const uint8_t plain = code & 0x3F;
    const bool inverse = (code & 0x80) != 0;
    if (plain <= 0x0A) {
        if (code == code_space && mode == Mode::code) return "\\{0}";
        return inverse ? inverse_block_escapes[plain] : block_escapes[plain];
    }
    if (code == code_quote) return mode == Mode::rem ? "\"" : "\\{11}";
    if (code == 0x8B) return mode == Mode::rem ? "\\\"" : "\\{139}";
    if (code == code_pound) return "\\\\";
    if (code == 0x8C) return "\\@";
    const char c = ascii_of_code(plain);
    if (!inverse) return std::string(1, c);
    if (plain >= code_letter_a) return std::string(1, static_cast<char>(std::tolower(c)));
    return std::string("\\") + c;
}

/// The letters of a letter code as zmakebas reads them (normal upper case, inverse lower).
char letter_char(uint8_t code) {
    const char c = ascii_of_code(code & 0x3F);
    return (code & 0x80) != 0 ? static_cast<char>(std::tolower(c)) : c;
}

bool is_keyword_word(const std::string& lower) {
    for (int code = 0x40; code <= 0xFF; ++code) {
        const char* word = keyword_text(static_cast<uint8_t>(code));
        if (word == nullptr || !std::isalpha(static_cast<unsigned char>(word[0]))) continue;
        std::string w(word);
        for (char& ch : w)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (w == lower) return true;
    }
    return false;
}

/// True when the run of letters, followed by the code `next` (or none), would be taken for a
/// keyword by zmakebas.
bool run_reads_as_keyword(const std::string& run, int next) {
    std::string lower = run;
    for (char& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (is_keyword_word(lower)) return true;
    if (next == 0x0D && (lower == "str" || lower == "chr" || lower == "inkey")) return true;
    if (next == code_to && lower == "go") return true;
    return false;
}

/// The number of characters strtod takes from the start of `text`.
std::size_t strtod_length(const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return static_cast<std::size_t>(end - text.c_str());
}

/// The characters a number's text may hold as strtod reads it, from codes with a plain text.
bool numeric_char(uint8_t code, char& c) {
    if (is_digit_code(code) || code == code_dot || code == 0x15 || code == 0x16) {
        c = ascii_of_code(code);
        return true;
    }
    if (is_letter_code(code)) {
        c = letter_char(code);
        return true;
    }
    return false;
}

/// The shortest decimal text that reads back as exactly the value of the five bytes, or ""
/// when zmakebas cannot produce those bytes from any value (sign bit set, or exponent 0 with
/// a mantissa).
std::string exact_value_text(const uint8_t* bytes) {
    const bool zero = std::all_of(bytes, bytes + 5, [](uint8_t b) { return b == 0; });
    if (!zero && (bytes[0] == 0 || (bytes[1] & 0x80) != 0)) return "";
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, decode_zx81_number(bytes));
    std::string text(buffer, r.ptr);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

class Writer {
  public:
    Writer(const uint8_t* codes, std::size_t count) : codes_(codes), count_(count) {}

    std::string run() {
        std::size_t i = 0;
        while (i < count_) {
            if (mode_ == Mode::code) {
                i = code_at(i);
            } else {
                i = text_at(i);
            }
        }
        if (mode_ == Mode::code) {
            if (keyword_pad_ && !out_.empty() && out_.back() == ' ') out_.pop_back();
        }
        if (last_code_ == code_pound && out_.size() >= 2 &&
            out_.compare(out_.size() - 2, 2, "\\\\") == 0) {
            out_.replace(out_.size() - 2, 2, "\\{12}");
        }
        return out_;
    }

  private:
    /// Appends the text of one code, after the fixes its neighbour needs.
    void emit(const std::string& piece, int code, bool pad = false) {
        if (piece.empty()) return;
        const char first = piece[0];
        if ((last_code_ == 0x8E || last_code_ == 0x9B) && last_piece_ == out_.size() - 2 &&
            (first == '\'' || first == '.' || first == ':' || first == ' ')) {
            out_.replace(last_piece_, 2, code_escape(static_cast<uint8_t>(last_code_)));
        }
        if (mode_ == Mode::code && !out_.empty()) {
            const char last = out_.back();
            if ((last == '<' && (first == '>' || first == '=')) || (last == '>' && first == '=') ||
                (last == '*' && first == '*')) {
                out_ += ' ';
            }
        }
        if (guard_ && mode_ == Mode::code) {
            // A character that would lengthen the number just written is escaped.
            guard_ = false;
            if (code >= 0 && piece.size() == 1 &&
                strtod_length(guard_text_ + piece + "0") > guard_text_.size()) {
                emit(code_escape(static_cast<uint8_t>(code)), code);
                return;
            }
        }
        last_piece_ = out_.size();
        out_ += piece;
        last_code_ = code;
        keyword_pad_ = pad;
    }

    /// A keyword's text with a space before it (unless the text so far ends in one) and,
    /// when `after`, one after it.
    std::string spaced(const char* word, bool after) const {
        const bool before = !out_.empty() && out_.back() != ' ';
        return (before ? " " : "") + std::string(word) + (after ? " " : "");
    }

    /// Writes the code at `i` in program code and returns the index of the next one.
    std::size_t code_at(std::size_t i) {
        const uint8_t c = codes_[i];
        const bool after_alnum = !out_.empty() && is_alnum(out_.back());
        const bool digit_start =
            is_digit_code(c) || (c == code_dot && i + 1 < count_ && is_digit_code(codes_[i + 1]));
        if (digit_start && !after_alnum) return number_at(i);
        if (is_letter_code(c)) return letters_at(i);
        if (c == code_quote) {
            emit("\"", c);
            mode_ = Mode::string;
            return i + 1;
        }
        if (c == code_rem) {
            emit(spaced("REM", false), c);
            mode_ = Mode::rem;
            if (i + 1 < count_) emit(" ", -1);
            return i + 1;
        }
        if (c == code_exp || c == 0xC3) {
            emit(code_escape(c), c);
            return i + 1;
        }
        if (c == code_quote_image) {
            emit("`", c);
            return i + 1;
        }
        if (const char* word = keyword_text(c)) {
            emit(spaced(word, true), c, true);
            return i + 1;
        }
        if (is_character(c)) {
            emit(character_text(c, Mode::code), c);
        } else {
            emit(code_escape(c), c);
        }
        return i + 1;
    }

    /// A run of letters: escapes its first letters while the rest reads as a keyword.
    std::size_t letters_at(std::size_t i) {
        std::size_t end = i;
        std::string run;
        while (end < count_ && is_letter_code(codes_[end]))
            run += letter_char(codes_[end++]);
        const int next = end < count_ ? codes_[end] : -1;
        // Right after a number a first letter that would lengthen it is escaped anyway.
        std::size_t escaped =
            guard_ && strtod_length(guard_text_ + run.substr(0, 1) + "0") > guard_text_.size() ? 1
                                                                                               : 0;
        while (escaped < run.size() && run_reads_as_keyword(run.substr(escaped), next))
            ++escaped;
        for (std::size_t k = i; k < end; ++k) {
            if (k - i < escaped) {
                emit(code_escape(codes_[k]), codes_[k]);
            } else {
                emit(std::string(1, run[k - i]), codes_[k]);
            }
        }
        return end;
    }

    /// A digit where zmakebas starts a number.
    std::size_t number_at(std::size_t i) {
        std::string candidate;
        std::size_t m = i;
        char ch = 0;
        while (m < count_ && codes_[m] != code_number && candidate.size() < 64 &&
               numeric_char(codes_[m], ch)) {
            candidate += ch;
            ++m;
        }
        const bool marked = m < count_ && codes_[m] == code_number && m + 5 < count_;
        if (marked && !candidate.empty() && strtod_length(candidate) == candidate.size()) {
            const uint8_t* hidden = codes_ + m + 1;
            Zx81Number computed;
            bool carried = false;
            const bool same =
                encode_zx81_number(std::strtod(candidate.c_str(), nullptr), computed, &carried) &&
                !carried && std::equal(computed.begin(), computed.end(), hidden);
            const std::string value = same ? "" : exact_value_text(hidden);
            if (same || !value.empty()) {
                emit(candidate, -1);
                if (!same) {
                    out_ += "|" + value;
                    guard_text_ = value;
                } else {
                    guard_text_ = candidate;
                }
                guard_ = true;
                last_code_ = -1;
                return m + 6;
            }
        }
        emit(code_escape(codes_[i]), codes_[i]);
        return i + 1;
    }

    /// Writes the code at `i` inside a string or REM text.
    std::size_t text_at(std::size_t i) {
        const uint8_t c = codes_[i];
        if (mode_ == Mode::string && c == code_quote) {
            emit("\"", c);
            mode_ = Mode::code;
        } else if (c == code_quote_image) {
            emit("`", c);
        } else if (is_character(c)) {
            emit(character_text(c, mode_), c);
        } else {
            emit(code_escape(c), c);
        }
        return i + 1;
    }

    const uint8_t* codes_;
    std::size_t count_;
    std::string out_;
    Mode mode_ = Mode::code;
    int last_code_ = -1;         // the code of the last piece; -1 for none or a number
    std::size_t last_piece_ = 0; // where the last piece starts in `out_`
    bool keyword_pad_ = false;   // `out_` ends with the space after a keyword
    bool guard_ = false;         // the last piece is a number that must not grow
    std::string guard_text_;     // that number's text, as strtod reads it
};

} // namespace

std::string zmakebas_codes(const uint8_t* codes, std::size_t count) {
    return Writer(codes, count).run();
}
