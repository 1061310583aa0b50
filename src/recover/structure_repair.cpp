#include "recover/structure_repair.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "program/system_variables.h"
#include "program/zx81_charset.h"
#include "program/zx81_number.h"
#include "recover/program_verdict.h"
#include "recover/word_list.h"

namespace {

constexpr uint8_t code_plus = 0x15;
constexpr uint8_t code_minus = 0x16;

// The display file: a NEWLINE and 24 rows of a NEWLINE and at most 32 characters.
constexpr std::size_t display_newlines = 25;
constexpr std::size_t display_columns = 32;
constexpr uint32_t shortest_display = 25;
constexpr uint32_t longest_display = 25 + 24 * 32;

// How far a number's five bytes may stray from the value of its digits: the ZX81 rounds its
// own conversion of the digits, so the lowest bits of the mantissa prove nothing.
const double number_tolerance = std::ldexp(1.0, -20);

// The most readings of a program tried: at least 4096, more for a short program, as long as
// they cost no more than 4096 readings of 16 KB; and the longest site read every way.
constexpr std::size_t fewest_readings = 4096;
constexpr std::size_t reading_budget = fewest_readings * 8 * 16384; // bits checked in all
constexpr std::size_t longest_site = 12;

std::string hex(std::size_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*zX", digits, value);
    return text;
}

std::size_t word_at(const std::vector<uint8_t>& b, std::size_t offset) {
    return static_cast<std::size_t>(b[offset] | b[offset + 1] << 8);
}

// The value of a number's digits as a ZX81 line holds them: digits, a point, and an exponent
// (E, an optional sign, digits). False when the codes are not such a number.
bool literal_value(const uint8_t* codes, std::size_t count, double& value) {
    std::string text;
    bool digits = false, point = false, exponent = false, exponent_digits = false;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t c = codes[i];
        if (is_digit_code(c)) {
            text += static_cast<char>('0' + (c - code_digit_0));
            (exponent ? exponent_digits : digits) = true;
        } else if (c == code_dot && !point && !exponent) {
            text += '.';
            point = true;
        } else if (c == code_letter_e && digits && !exponent) {
            text += 'e';
            exponent = true;
        } else if ((c == code_plus || c == code_minus) && !text.empty() && text.back() == 'e') {
            text += c == code_plus ? '+' : '-';
        } else {
            return false;
        }
    }
    if (!digits || exponent != exponent_digits) return false;
    value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value);
}

class Checker {
  public:
    Checker(const std::vector<uint8_t>& bytes, bool explain) : b_(bytes), explain_(explain) {}

    StructureBreak run() {
        const std::size_t n = b_.size();
        if (n < system_variables_size + shortest_display + 1) {
            return fail(n, "the program is too short for its system variables, a display file "
                           "and the variables' end");
        }
        if (b_[sysvar::versn] != 0) return fail(sysvar::versn, "VERSN is not 0");
        const std::size_t e_line = word_at(b_, sysvar::e_line);
        if (e_line != p_file_origin + n) {
            const std::string end = hex(p_file_origin + n, 4);
            return fail(sysvar::e_line, "E_LINE would be " + hex(e_line, 4) +
                                            ", not the end of the program at " + end);
        }
        const std::size_t d_file = word_at(b_, sysvar::d_file);
        const std::size_t vars = word_at(b_, sysvar::vars);
        const std::size_t df_cc = word_at(b_, sysvar::df_cc);
        if (d_file < program_address) {
            return fail(sysvar::d_file,
                        "D_FILE would be " + hex(d_file, 4) + ", before the program lines");
        }
        if (vars < d_file + shortest_display || vars > d_file + longest_display) {
            return fail(sysvar::vars, "VARS would be " + hex(vars, 4) +
                                          ", leaving no display file of 25 to 793 bytes");
        }
        if (vars >= e_line) {
            return fail(sysvar::vars, "VARS would be " + hex(vars, 4) + ", not before E_LINE");
        }
        if (df_cc <= d_file || df_cc >= vars) {
            return fail(sysvar::df_cc,
                        "DF_CC would be " + hex(df_cc, 4) + ", outside the display file");
        }
        const std::size_t display = d_file - p_file_origin;
        if (!lines(display)) return break_;
        if (!display_file(display, vars - p_file_origin)) return break_;
        if (b_[n - 1] != 0x80) {
            return fail(n - 1, "the variables would not end with 0x80 right before E_LINE");
        }
        return break_;
    }

  private:
    template <typename Reason> StructureBreak fail(std::size_t offset, Reason&& reason) {
        break_.broken = true;
        break_.offset = offset;
        if (explain_) break_.reason = std::string(reason);
        return break_;
    }

    bool lines(std::size_t end) {
        std::size_t pos = system_variables_size;
        while (pos < end) {
            if (pos + 4 > end) {
                fail(pos, "the program lines would run into the display file");
                return false;
            }
            const unsigned number = static_cast<unsigned>(b_[pos] << 8 | b_[pos + 1]);
            if (number >= 10000) {
                fail(pos, explain_ ? "a line number would be " + std::to_string(number) +
                                         ", not below 10000"
                                   : std::string());
                return false;
            }
            const std::size_t length = word_at(b_, pos + 2);
            const std::size_t line_end = pos + 4 + length;
            const std::string name = explain_ ? "line " + std::to_string(number) : std::string();
            if (length == 0 || line_end > end) {
                fail(pos + 2, name + " would run into the display file");
                return false;
            }
            if (b_[line_end - 1] != code_newline) {
                fail(line_end - 1, name + " would not end in a NEWLINE where its length says");
                return false;
            }
            if (!line_codes(pos + 4, line_end - 1, name)) return false;
            pos = line_end;
        }
        return true;
    }

    // The codes of one line, up to its NEWLINE at `end`: every number marker outside strings
    // and REM text with its five bytes, holding the value of the digits before it.
    bool line_codes(std::size_t start, std::size_t end, const std::string& name) {
        bool in_string = false, in_name = false;
        std::size_t literal = end; // where the number being read began; `end`: none
        for (std::size_t i = start; i < end; ++i) {
            const uint8_t c = b_[i];
            if (in_string) {
                in_string = c != code_quote;
                continue;
            }
            if (c == code_rem) return true;
            if (c == code_number) {
                if (i + 5 >= end) {
                    fail(i, name + ": a number marker would lack its five bytes");
                    return false;
                }
                double value = 0.0;
                if (literal < i && literal_value(&b_[literal], i - literal, value)) {
                    const double held = decode_zx81_number(&b_[i + 1]);
                    const bool holds = value == 0.0 ? held == 0.0
                                                    : std::fabs(held - value) <=
                                                          number_tolerance * std::fabs(value);
                    if (!holds) {
                        fail(i + 1, name + ": the five bytes of a number would not hold the "
                                           "value of its digits");
                        return false;
                    }
                }
                i += 5;
                literal = end;
                in_name = false;
                continue;
            }
            const bool digit = is_digit_code(c);
            if (literal < end) {
                const bool sign = (c == code_plus || c == code_minus) && b_[i - 1] == code_letter_e;
                if (digit || c == code_dot || c == code_letter_e || sign) continue;
                fail(i, name + ": a number would lack its 0x7E and five bytes");
                return false;
            }
            if (c == code_quote) {
                in_string = true;
                in_name = false;
            } else if (c >= code_letter_a && c < 0x40) {
                in_name = true;
            } else if ((digit && !in_name) || c == code_dot) {
                literal = i;
                in_name = false;
            } else if (!digit) {
                in_name = false;
            }
        }
        if (literal < end) {
            fail(end, name + ": a number would lack its 0x7E and five bytes");
            return false;
        }
        return true;
    }

    bool display_file(std::size_t start, std::size_t end) {
        if (b_[start] != code_newline) {
            fail(start, "the display file would not start with a NEWLINE");
            return false;
        }
        std::size_t newlines = 1, row = 0;
        for (std::size_t i = start + 1; i < end; ++i) {
            if (b_[i] == code_newline) {
                row = 0;
                if (++newlines > display_newlines) {
                    fail(i, "the display file would hold more than 24 rows");
                    return false;
                }
            } else if (++row > display_columns) {
                fail(i, "a row of the display file would hold more than 32 characters");
                return false;
            }
        }
        if (newlines != display_newlines || row != 0) {
            fail(end, "the display file would end before its 24th row does");
            return false;
        }
        return true;
    }

    const std::vector<uint8_t>& b_;
    bool explain_;
    StructureBreak break_;
};

// A run of bits that may be wrong, and the ways it can be read.
struct Site {
    std::size_t first = 0;              // its first bit
    std::size_t length = 0;             // bits it covers as heard
    bool variable = false;              // may be a bit shorter or longer than heard
    std::vector<std::size_t> positions; // a fixed site: the bits read both ways

    // Readings of a variable site: as long as heard, a bit shorter, a bit longer.
    std::vector<std::size_t> lengths() const {
        std::vector<std::size_t> out{length};
        if (length > 0) out.push_back(length - 1);
        out.push_back(length + 1);
        return out;
    }

    std::size_t readings() const {
        if (!variable) return std::size_t{1} << positions.size();
        std::size_t count = 0;
        for (std::size_t l : lengths())
            count += std::size_t{1} << l;
        return count;
    }
};

// Everything about a program that the readings are tried on.
class Repair {
  public:
    Repair(RecoveredProgram& program, const std::vector<uint8_t>& open)
        : p_(program), bits_(program.bits), name_bits_(8 * program.name.size()),
          total_(8 * (program.name.size() + program.expected_bytes)) {
        most_readings_ =
            std::max(fewest_readings, reading_budget / std::max<std::size_t>(total_, 1));
        find_sites(open);
    }

    RepairOutcome run();

  private:
    struct Reading {
        std::vector<std::size_t> choice; // per site
        std::size_t tail_bits = 0;       // bits added at the end, and their value
        std::size_t tail = 0;
    };

    void find_sites(const std::vector<uint8_t>& open);
    bool feasible() const;
    std::size_t reading_bits(const Site& site, std::size_t choice, std::vector<uint8_t>& out,
                             std::size_t& length) const;
    std::size_t build(const std::vector<std::size_t>& choice);
    StructureBreak check(bool explain);
    void enumerate(std::size_t site, std::vector<std::size_t>& choice);
    std::string describe(const Site& site, std::size_t choice) const;
    std::string site_words(const Site& site) const;
    RepairOutcome apply(const std::vector<int64_t>& decided, const Reading& any);

    RecoveredProgram& p_;
    const std::vector<ProgramBit> bits_;
    std::size_t name_bits_;
    std::size_t total_;
    std::vector<Site> sites_;
    std::vector<uint8_t> values_; // a reading, bit by bit
    std::vector<uint8_t> name_;
    std::vector<uint8_t> bytes_;
    std::vector<Reading> fitting_;
    std::size_t tried_ = 0;
    std::size_t most_readings_ = fewest_readings;
    bool overflow_ = false;
};

void Repair::find_sites(const std::vector<uint8_t>& open) {
    for (std::size_t i = 0; i < bits_.size();) {
        if (open[i] == 0) {
            ++i;
            continue;
        }
        Site site;
        site.first = i;
        bool lost = false;
        for (; i < bits_.size() && open[i] != 0; ++i)
            lost = lost || bits_[i].origin == BitOrigin::lost;
        site.length = i - site.first;
        // A burst split in two, two merged, a gap miscounted: the site may be a bit shorter or
        // longer, except in the name, whose length the header fixes.
        site.variable = lost || i > name_bits_;
        if (!site.variable) {
            // In the name only each character's bit 7 is the structure's.
            for (std::size_t k = site.first; k < i; ++k) {
                if (k >= name_bits_ || k % 8 == 0) site.positions.push_back(k);
            }
            if (site.positions.empty()) continue;
        }
        sites_.push_back(site);
    }
}

bool Repair::feasible() const {
    if (sites_.empty() || bits_.size() > total_) return false;
    std::size_t readings = 1, deficit = total_ - bits_.size();
    for (const Site& site : sites_) {
        if ((site.variable ? site.length + 1 : site.positions.size()) > longest_site) return false;
        readings *= site.readings();
        if (readings > most_readings_) return false;
        if (site.variable) ++deficit;
    }
    return deficit <= longest_site && (readings << deficit) <= most_readings_;
}

// The bits of one reading of a site, appended to `out`; returns its length.
std::size_t Repair::reading_bits(const Site& site, std::size_t choice, std::vector<uint8_t>& out,
                                 std::size_t& length) const {
    if (!site.variable) {
        for (std::size_t k = 0; k < site.length; ++k)
            out.push_back(bits_[site.first + k].value);
        for (std::size_t q = 0; q < site.positions.size(); ++q) {
            out[out.size() - site.length + (site.positions[q] - site.first)] =
                static_cast<uint8_t>(choice >> (site.positions.size() - 1 - q) & 1);
        }
        length = site.length;
        return length;
    }
    for (std::size_t l : site.lengths()) {
        const std::size_t count = std::size_t{1} << l;
        if (choice < count) {
            for (std::size_t k = 0; k < l; ++k)
                out.push_back(static_cast<uint8_t>(choice >> (l - 1 - k) & 1));
            length = l;
            return l;
        }
        choice -= count;
    }
    length = 0;
    return 0;
}

// Puts the bits of one reading in `values_`, cut at the program's end; returns how many bits
// are still missing before it.
std::size_t Repair::build(const std::vector<std::size_t>& choice) {
    values_.clear();
    std::size_t cursor = 0, length = 0;
    for (std::size_t s = 0; s < sites_.size(); ++s) {
        for (; cursor < sites_[s].first; ++cursor)
            values_.push_back(bits_[cursor].value);
        reading_bits(sites_[s], choice[s], values_, length);
        cursor += sites_[s].length;
    }
    for (; cursor < bits_.size(); ++cursor)
        values_.push_back(bits_[cursor].value);
    if (values_.size() > total_) values_.resize(total_);
    return total_ - values_.size();
}

StructureBreak Repair::check(bool explain) {
    const std::size_t name_length = name_bits_ / 8;
    name_.assign(name_length, 0);
    bytes_.assign(total_ / 8 - name_length, 0);
    for (std::size_t i = 0; i < total_; ++i) {
        uint8_t& byte = i < name_bits_ ? name_[i / 8] : bytes_[i / 8 - name_length];
        byte = static_cast<uint8_t>(byte << 1 | values_[i]);
    }
    for (std::size_t k = 0; k < name_length; ++k) {
        if (((name_[k] & 0x80) != 0) != (k + 1 == name_length)) {
            StructureBreak broken;
            broken.broken = true;
            if (explain) {
                broken.reason = "the name's character " + std::to_string(k + 1) +
                                (k + 1 == name_length ? " would not be marked as its last"
                                                      : " would be marked as its last");
            }
            return broken;
        }
    }
    return find_structure_break(bytes_, explain);
}

void Repair::enumerate(std::size_t site, std::vector<std::size_t>& choice) {
    if (overflow_) return;
    if (site < sites_.size()) {
        for (std::size_t c = 0; c < sites_[site].readings(); ++c) {
            choice[site] = c;
            enumerate(site + 1, choice);
        }
        return;
    }
    const std::size_t missing = build(choice);
    const std::size_t base = values_.size();
    for (std::size_t tail = 0; tail < std::size_t{1} << missing; ++tail) {
        if (++tried_ > most_readings_) {
            overflow_ = true;
            return;
        }
        values_.resize(base);
        for (std::size_t k = 0; k < missing; ++k)
            values_.push_back(static_cast<uint8_t>(tail >> (missing - 1 - k) & 1));
        if (!check(false).broken) fitting_.push_back({choice, missing, tail});
    }
}

// How a site was heard, in words: "bit 4 unclear (6 pulses)", "a gap: 9 bits counted as lost".
std::string Repair::site_words(const Site& site) const {
    std::size_t lost = 0;
    std::vector<std::string> numbers, pulses, pieces;
    bool beside = false;
    for (std::size_t k = site.first; k < site.first + site.length; ++k) {
        const ProgramBit& bit = bits_[k];
        lost += bit.origin == BitOrigin::lost ? 1 : 0;
        beside = beside || bit.certain;
        const std::string count = bit.pulses > 0 ? std::to_string(bit.pulses) : "uncounted";
        if (!bit.certain && bit.origin != BitOrigin::lost && bit.pulses < 4)
            pieces.push_back(count);
        numbers.push_back(std::to_string(7 - k % 8));
        pulses.push_back(count);
    }
    const auto pulse_word = [](const std::vector<std::string>& counts) {
        return counts.size() == 1 && counts[0] == "1" ? " pulse" : " pulses";
    };
    if (lost > 0) {
        return "a gap: " + std::to_string(lost) + (lost == 1 ? " bit" : " bits") +
               " counted as lost" + (lost < site.length ? ", with the bits beside it" : "");
    }
    if (!site.variable) {
        return site.positions.size() == 1
                   ? "the name's character " + std::to_string(site.first / 8 + 1) + " unclear"
                   : std::to_string(site.positions.size()) + " bits of the name unclear";
    }
    if (!pieces.empty()) {
        return std::string(pieces.size() == 1 ? "a piece" : "pieces") + " of a burst (" +
               list_of(pieces) + pulse_word(pieces) + ")" +
               (pieces.size() < site.length ? ", with the bits beside" : "");
    }
    const bool one_byte = site.first / 8 == (site.first + site.length - 1) / 8;
    if (!one_byte || beside) return std::to_string(site.length) + " bits not heard clearly";
    return (site.length == 1 ? "bit " : "bits ") + list_of(numbers) + " unclear (" +
           list_of(pulses) + pulse_word(pulses) + ")";
}

// One reading of a site in words: "0", "0110", "1 (a bit fewer)".
std::string Repair::describe(const Site& site, std::size_t choice) const {
    std::vector<uint8_t> out;
    std::size_t length = 0;
    reading_bits(site, choice, out, length);
    std::string text;
    if (site.variable) {
        for (uint8_t v : out)
            text += static_cast<char>('0' + v);
        if (text.empty()) text = "nothing";
        if (length < site.length) text += length + 1 == site.length ? " (a bit fewer)" : "";
        if (length > site.length) text += " (a bit more)";
        return text;
    }
    for (std::size_t k : site.positions)
        text += static_cast<char>('0' + out[k - site.first]);
    return text;
}

RepairOutcome Repair::apply(const std::vector<int64_t>& decided, const Reading& any) {
    RepairOutcome outcome;
    std::vector<ProgramBit> out;
    out.reserve(total_);
    std::size_t cursor = 0;
    int64_t frame = bits_.empty() ? p_.start : bits_.front().start;
    for (std::size_t s = 0; s < sites_.size(); ++s) {
        const Site& site = sites_[s];
        for (; cursor < site.first; ++cursor)
            out.push_back(bits_[cursor]);
        if (decided[s] < 0) {
            for (; cursor < site.first + site.length; ++cursor)
                out.push_back(bits_[cursor]);
            continue;
        }
        std::vector<uint8_t> reading;
        std::size_t length = 0;
        reading_bits(site, static_cast<std::size_t>(decided[s]), reading, length);
        ++outcome.sites;
        outcome.bits_added += static_cast<int64_t>(length) - static_cast<int64_t>(site.length);
        frame = site.first < bits_.size() ? bits_[site.first].start : frame;
        for (std::size_t k = 0; k < length; ++k) {
            ProgramBit bit;
            if (k < site.length) {
                bit = bits_[site.first + k];
            } else {
                bit.start = bit.end = frame;
                bit.origin = BitOrigin::lost;
            }
            const bool read_both_ways =
                site.variable || std::find(site.positions.begin(), site.positions.end(),
                                           site.first + k) != site.positions.end();
            if (read_both_ways) {
                bit.value = reading[k];
                bit.certain = true;
                bit.confidence = 1.0f;
            }
            out.push_back(bit);
        }
        cursor = site.first + site.length;

        // The decision, with what the other reading would have broken.
        std::vector<std::size_t> other = any.choice;
        std::size_t alternative = 0; // the reading as heard
        if (!site.variable) {
            for (std::size_t q = 0; q < site.positions.size(); ++q) {
                alternative = alternative << 1 | bits_[site.positions[q]].value;
            }
        } else {
            for (std::size_t k = 0; k < site.length; ++k)
                alternative = alternative << 1 | bits_[site.first + k].value;
        }
        if (alternative == static_cast<std::size_t>(decided[s])) {
            alternative = alternative == 0 ? 1 : alternative - 1;
        }
        other[s] = alternative;
        const std::size_t missing = build(other);
        values_.insert(values_.end(), missing, 0);
        const StructureBreak broken = check(true);
        Decision decision;
        decision.kind = DecisionKind::structure;
        const std::size_t first_byte = site.first / 8;
        const std::size_t last_byte = (site.first + std::max<std::size_t>(site.length, 1) - 1) / 8;
        place_decision(decision, first_byte, name_bits_ / 8);
        decision.bytes = last_byte - first_byte + 1;
        decision.frames = {frame};
        decision.message = site_words(site) + ": only " +
                           describe(site, static_cast<std::size_t>(decided[s])) +
                           " fits the structure; " + describe(site, alternative) +
                           (broken.broken ? " would break it: " + broken.reason
                                          : " fits it only with other readings that break it");
        p_.decisions.push_back(std::move(decision));
    }
    for (; cursor < bits_.size(); ++cursor)
        out.push_back(bits_[cursor]);
    if (out.size() > total_) out.resize(total_);
    // The bits missing at the end: known when every fitting reading ends alike.
    const std::size_t missing = total_ - out.size();
    const bool tail_known = missing > 0 && missing == any.tail_bits && decided.back() >= 0;
    const int64_t end_frame = out.empty() ? p_.end : out.back().start;
    std::string tail_text;
    for (std::size_t k = 0; k < missing; ++k) {
        ProgramBit bit;
        bit.start = bit.end = end_frame;
        bit.origin = BitOrigin::lost;
        if (tail_known) {
            bit.value = static_cast<uint8_t>(any.tail >> (missing - 1 - k) & 1);
            bit.certain = true;
            bit.confidence = 1.0f;
            tail_text += static_cast<char>('0' + bit.value);
        }
        out.push_back(bit);
    }
    if (tail_known) {
        Decision decision;
        decision.kind = DecisionKind::structure;
        place_decision(decision, (total_ - missing) / 8, name_bits_ / 8);
        decision.bytes = (total_ - 1) / 8 - (total_ - missing) / 8 + 1;
        decision.frames = {end_frame};
        decision.message = "the last " + std::to_string(missing) +
                           (missing == 1 ? " bit was" : " bits were") + " not heard: only " +
                           tail_text + " fits the structure";
        p_.decisions.push_back(std::move(decision));
    }
    p_.bits = std::move(out);
    const std::vector<uint8_t> all = bytes_of_bits(p_.bits);
    const std::size_t name_length = name_bits_ / 8;
    p_.name.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(name_length));
    p_.bytes.assign(all.begin() + static_cast<std::ptrdiff_t>(name_length), all.end());
    return outcome;
}

RepairOutcome Repair::run() {
    if (!feasible()) return {};
    std::vector<std::size_t> choice(sites_.size(), 0);
    enumerate(0, choice);
    if (overflow_ || fitting_.empty()) return {};

    // A site is decided when every reading that fits reads it alike.
    std::vector<int64_t> decided(sites_.size(), -1);
    bool any = false;
    for (std::size_t s = 0; s < sites_.size(); ++s) {
        const std::size_t first = fitting_.front().choice[s];
        const bool alike = std::all_of(fitting_.begin(), fitting_.end(),
                                       [&](const Reading& r) { return r.choice[s] == first; });
        if (alike) {
            decided[s] = static_cast<int64_t>(first);
            any = true;
        }
    }
    if (!any) return {};
    const Reading& front = fitting_.front();
    const bool tail_alike = std::all_of(fitting_.begin(), fitting_.end(), [&](const Reading& r) {
        return r.tail_bits == front.tail_bits && r.tail == front.tail;
    });
    decided.push_back(tail_alike ? 0 : -1); // the tail's entry, last
    return apply(decided, front);
}

} // namespace

StructureBreak find_structure_break(const std::vector<uint8_t>& bytes, bool explain) {
    return Checker(bytes, explain).run();
}

RepairOutcome repair_from_structure(RecoveredProgram& program, const std::vector<uint8_t>& open) {
    if (program.bits.empty() || open.size() != program.bits.size()) return {};
    return Repair(program, open).run();
}
