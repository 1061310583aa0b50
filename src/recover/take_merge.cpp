#include "recover/take_merge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "program/saved_name_text.h"
#include "program/system_variables.h"
#include "recover/program_verdict.h"
#include "recover/structure_repair.h"
#include "recover/take_alignment.h"
#include "recover/word_list.h"

namespace {

// A certain bit beside a gap counts as this sure when it is weighed with unclear ones.
constexpr float beside_gap_confidence = 0.9f;

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string hex4(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(value));
    return text;
}

// The value of a bit as a signed weight: the log-odds of its confidence, for 1 positive.
double signed_weight(const TakeBit& bit) {
    if (bit.kind == TakeBitKind::lost) return 0.0;
    const float sure =
        bit.kind == TakeBitKind::certain ? beside_gap_confidence : bit_confidence(bit);
    const double c = std::clamp(static_cast<double>(sure), 0.5, 0.99);
    const double weight = std::log(c / (1.0 - c));
    return bit.value != 0 ? weight : -weight;
}

std::vector<AlignedBit> take_bits(const Take& take) {
    std::vector<AlignedBit> out(take.bits.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {take.bits[i].value, bit_clarity(take, i)};
    return out;
}

// What the takes of a group say of one column.
struct ColumnVote {
    int clear[2] = {0, 0};
    double odds = 0.0;          // log-odds for 1, from the unclear bits
    bool heard = false;         // some take heard a burst here
    int clear_member = -1;      // the first member that heard it clearly
    int unclear_member = -1;    // the surest member that heard it unclearly
    double unclear_weight = -1; // and its weight
    int present_member = -1;    // the first member with a bit here, lost or heard

    bool certain() const { return (clear[0] > 0) != (clear[1] > 0); }
    uint8_t value() const {
        if (certain()) return clear[1] > 0 ? 1 : 0;
        return odds > 0.0 ? 1 : 0;
    }
};

ColumnVote vote(const std::vector<Take>& takes, const TakeGroup& group, std::size_t column) {
    ColumnVote v;
    for (std::size_t m = 0; m < group.members.size(); ++m) {
        const int32_t index = group.columns[m][column];
        if (index < 0) continue;
        const Take& take = takes[group.members[m]];
        const auto i = static_cast<std::size_t>(index);
        if (v.present_member < 0) v.present_member = static_cast<int>(m);
        switch (bit_clarity(take, i)) {
        case Clarity::clear:
            ++v.clear[take.bits[i].value];
            if (v.clear_member < 0) v.clear_member = static_cast<int>(m);
            v.heard = true;
            break;
        case Clarity::unclear: {
            const double weight = signed_weight(take.bits[i]);
            v.odds += weight;
            v.heard = true;
            if (std::fabs(weight) > v.unclear_weight) {
                v.unclear_weight = std::fabs(weight);
                v.unclear_member = static_cast<int>(m);
            }
            break;
        }
        case Clarity::none:
            break;
        }
    }
    return v;
}

std::vector<AlignedBit> group_bits(const std::vector<Take>& takes, const TakeGroup& group) {
    const std::size_t columns = group.columns.front().size();
    std::vector<AlignedBit> out(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const ColumnVote v = vote(takes, group, c);
        const Clarity clarity = v.certain() ? Clarity::clear
                                : v.heard   ? Clarity::unclear
                                            : Clarity::none;
        out[c] = {v.value(), clarity};
    }
    return out;
}

// E_LINE's 16 bits, after the name and VERSN to DEST.
constexpr std::size_t e_line_bits = 16;
std::size_t e_line_bit(std::size_t name_length) {
    return 8 * (name_length + sysvar::e_line);
}

// Whether two takes with names of `name_length` codes say the same E_LINE, where both heard
// its bits clearly: an unclear bit there made one take read the wrong length.
bool same_length(const std::vector<AlignedBit>& a, const std::vector<AlignedBit>& b,
                 std::size_t name_length) {
    const std::size_t first = e_line_bit(name_length);
    if (a.size() < first + e_line_bits || b.size() < first + e_line_bits) return false;
    for (std::size_t i = first; i < first + e_line_bits; ++i) {
        if (a[i].clarity == Clarity::clear && b[i].clarity == Clarity::clear &&
            a[i].value != b[i].value) {
            return false;
        }
    }
    return true;
}

void add_take(TakeGroup& group, std::size_t take, const Alignment& alignment) {
    const std::size_t old_members = group.members.size();
    std::vector<std::vector<int32_t>> columns(old_members + 1);
    for (auto& column : columns)
        column.reserve(alignment.steps.size());
    for (const AlignmentStep& step : alignment.steps) {
        for (std::size_t m = 0; m < old_members; ++m) {
            columns[m].push_back(
                step.first >= 0 ? group.columns[m][static_cast<std::size_t>(step.first)] : -1);
        }
        columns[old_members].push_back(step.second);
    }
    group.columns = std::move(columns);
    group.members.push_back(take);
}

TakeSource source_of(const Take& take) {
    TakeSource source;
    source.recording = take.recording;
    source.channel = take.program.channel;
    source.start = take.program.start;
    source.end = take.program.end;
    source.verdict = take.program.verdict;
    return source;
}

// Members in the order they are reported: tape order, the channels of one stretch of tape
// side by side, the first channel first.
void order_members(const std::vector<Take>& takes, TakeGroup& group) {
    const std::size_t count = group.members.size();
    std::vector<int64_t> stretch(count);
    for (std::size_t m = 0; m < count; ++m) {
        const RecoveredProgram& p = takes[group.members[m]].program;
        stretch[m] = p.start;
        if (m > 0) {
            const Take& before = takes[group.members[m - 1]];
            if (before.recording == takes[group.members[m]].recording &&
                before.program.end > p.start) {
                stretch[m] = stretch[m - 1];
            }
        }
    }
    std::vector<std::size_t> order(count);
    for (std::size_t m = 0; m < count; ++m)
        order[m] = m;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Take& ta = takes[group.members[a]];
        const Take& tb = takes[group.members[b]];
        return std::make_tuple(ta.recording, stretch[a], ta.program.channel) <
               std::make_tuple(tb.recording, stretch[b], tb.program.channel);
    });
    TakeGroup ordered;
    for (std::size_t m : order) {
        ordered.members.push_back(group.members[m]);
        ordered.columns.push_back(std::move(group.columns[m]));
    }
    group = std::move(ordered);
}

bool any_finding(const RecoveredProgram& program, FindingKind kind) {
    return std::any_of(program.findings.begin(), program.findings.end(),
                       [kind](const RecoveryFinding& f) { return f.kind == kind; });
}

// The findings that a repair settled: unclear bytes and the structure check (judged again),
// lost bits that are all decided now, an end that is reached now.
void drop_settled_findings(RecoveredProgram& p, std::size_t total) {
    const auto settled = [&](const RecoveryFinding& f) {
        switch (f.kind) {
        case FindingKind::uncertain_bits:
        case FindingKind::structure:
            return true;
        case FindingKind::lost_bits:
            return std::none_of(p.bits.begin(), p.bits.end(), [&](const ProgramBit& b) {
                return b.origin == BitOrigin::lost && !b.certain && b.start == f.frame;
            });
        case FindingKind::cut_short:
            return p.bits.size() == total &&
                   std::all_of(p.bits.end() - 8, p.bits.end(),
                               [](const ProgramBit& b) { return b.certain; });
        case FindingKind::stray_burst:
        case FindingKind::start_missing:
        case FindingKind::goes_on:
            return false;
        }
        return false;
    };
    p.findings.erase(std::remove_if(p.findings.begin(), p.findings.end(), settled),
                     p.findings.end());
}

// A program heard once: as the finder judged it, unless the structure decides its damage.
RecoveredProgram settle_single(const Take& take) {
    RecoveredProgram p = take.program;
    p.bits.reserve(take.bits.size());
    for (std::size_t i = 0; i < take.bits.size(); ++i)
        p.bits.push_back(unpack_bit(take, i));
    p.takes = {source_of(take)};
    if (p.verdict != Verdict::damaged) return p;
    std::vector<uint8_t> open(p.bits.size());
    for (std::size_t i = 0; i < open.size(); ++i)
        open[i] = bit_clarity(take, i) != Clarity::clear ? 1 : 0;
    const RepairOutcome repair = repair_from_structure(p, open);
    if (repair.sites == 0) return p;
    const std::size_t total = 8 * (p.name.size() + p.expected_bytes);
    drop_settled_findings(p, total);
    if (repair.bits_added < 0 && p.bits.size() == total) {
        // A burst too many was taken out: the bursts after E_LINE were the program's own.
        p.findings.erase(
            std::remove_if(p.findings.begin(), p.findings.end(),
                           [](const RecoveryFinding& f) { return f.kind == FindingKind::goes_on; }),
            p.findings.end());
    }
    if (p.bits.size() < total && !any_finding(p, FindingKind::cut_short)) {
        RecoveryFinding finding;
        finding.kind = FindingKind::cut_short;
        finding.frame = p.bits.empty() ? p.end : p.bits.back().start;
        place_finding(finding, p.bits.size() / 8, p.name.size());
        finding.message = "a bit fewer than heard leaves the program short of E_LINE";
        p.findings.push_back(std::move(finding));
    }
    judge_program(p);
    if (p.verdict == Verdict::intact) p.verdict = Verdict::repaired;
    return p;
}

// Several takes of one program, merged.
class Merger {
  public:
    Merger(const std::vector<Take>& takes, const TakeGroup& group)
        : takes_(takes), group_(group), lead_(takes[group.members.front()]),
          members_(group.members.size()), columns_(group.columns.front().size()),
          name_length_(lead_.program.name.size()), expected_bytes_(lead_.program.expected_bytes),
          total_(8 * (name_length_ + expected_bytes_)) {}

    RecoveredProgram run();

  private:
    const Take& take(std::size_t m) const { return takes_[group_.members[m]]; }
    void keep_columns();
    void merge_bits();
    void decide_bytes();
    std::string member_detail(std::size_t m, std::size_t first, std::size_t last, int& kind);
    void settle_take_findings();
    void add_findings_after_repair();
    int64_t frame_in(std::size_t m, std::size_t position) const;

    const std::vector<Take>& takes_;
    const TakeGroup& group_;
    const Take& lead_;
    std::size_t members_, columns_, name_length_;
    std::size_t expected_bytes_; // E_LINE - 0x4009, as the takes decide it
    std::size_t total_;          // the bits of the name and the program
    RecoveredProgram p_;

    std::vector<std::size_t> kept_;            // columns kept, in order
    bool too_long_ = false;                    // clear bits beyond E_LINE were cut off
    std::vector<std::vector<int32_t>> at_;     // per member: its bit at each merged bit
    std::vector<std::vector<uint8_t>> missed_; // per member: no bit where it had room (1),
                                               // in a gap beside its lost bits (2)
    std::vector<std::vector<uint16_t>> extra_; // per member: bursts too many before a bit
};

void Merger::keep_columns() {
    // For every member, the bits it has on either side of each column.
    std::vector<uint8_t> present_clear(columns_, 0), absent_clear(columns_, 0);
    std::vector<int32_t> next(columns_);
    for (std::size_t m = 0; m < members_; ++m) {
        const std::vector<int32_t>& column = group_.columns[m];
        const Take& t = take(m);
        int32_t following = -1;
        for (std::size_t c = columns_; c-- > 0;) {
            next[c] = following;
            if (column[c] >= 0) following = column[c];
        }
        int32_t previous = -1;
        for (std::size_t c = 0; c < columns_; ++c) {
            const int32_t index = column[c];
            if (index >= 0) {
                previous = index;
                if (bit_clarity(t, static_cast<std::size_t>(index)) == Clarity::clear) {
                    present_clear[c] = 1;
                }
                continue;
            }
            const bool spanned = previous >= 0 && next[c] == previous + 1;
            if (spanned && bit_clarity(t, static_cast<std::size_t>(previous)) == Clarity::clear &&
                bit_clarity(t, static_cast<std::size_t>(next[c])) == Clarity::clear) {
                absent_clear[c] = 1;
            }
        }
    }
    for (std::size_t c = 0; c < columns_; ++c) {
        if (present_clear[c] != 0 || absent_clear[c] == 0) kept_.push_back(c);
    }
    // The program's length: E_LINE as the takes decide it, unless they do not.
    const std::size_t first = e_line_bit(name_length_);
    if (kept_.size() >= first + e_line_bits) {
        uint32_t e_line = 0;
        bool decided = true;
        for (std::size_t k = 0; k < e_line_bits; ++k) {
            const ColumnVote v = vote(takes_, group_, kept_[first + k]);
            decided = decided && v.certain();
            const std::size_t bit = 7 - k % 8; // the low byte first, each from its top bit
            e_line |= static_cast<uint32_t>(v.value()) << (bit + (k < 8 ? 0 : 8));
        }
        if (decided && e_line > p_file_origin) {
            expected_bytes_ = e_line - p_file_origin;
            total_ = 8 * (name_length_ + expected_bytes_);
        }
    }
    if (kept_.size() > total_) {
        for (std::size_t k = total_; k < kept_.size(); ++k)
            too_long_ = too_long_ || present_clear[kept_[k]] != 0;
        kept_.resize(total_);
    }
}

void Merger::merge_bits() {
    at_.assign(members_, std::vector<int32_t>(kept_.size(), -1));
    missed_.assign(members_, std::vector<uint8_t>(kept_.size(), 0));
    extra_.assign(members_, std::vector<uint16_t>(kept_.size() + 1, 0));
    int64_t frame = lead_.program.start;
    std::size_t next_kept = 0;
    for (std::size_t c = 0; c < columns_; ++c) {
        const bool kept = next_kept < kept_.size() && kept_[next_kept] == c;
        if (!kept) {
            // A burst too many in a member, before the next bit.
            for (std::size_t m = 0; m < members_; ++m) {
                const int32_t index = group_.columns[m][c];
                if (index >= 0 &&
                    take(m).bits[static_cast<std::size_t>(index)].kind != TakeBitKind::lost) {
                    ++extra_[m][next_kept];
                }
            }
            continue;
        }
        const std::size_t k = next_kept++;
        const ColumnVote v = vote(takes_, group_, c);
        ProgramBit bit;
        bit.certain = v.certain();
        bit.value = v.value();
        const int representative = v.clear_member >= 0     ? v.clear_member
                                   : v.unclear_member >= 0 ? v.unclear_member
                                                           : v.present_member;
        if (representative >= 0) {
            const std::size_t m = static_cast<std::size_t>(representative);
            const TakeBit& from = take(m).bits[static_cast<std::size_t>(group_.columns[m][c])];
            bit.pulses = from.pulses;
            bit.origin = from.kind == TakeBitKind::lost     ? BitOrigin::lost
                         : from.kind == TakeBitKind::joined ? BitOrigin::joined
                                                            : BitOrigin::heard;
        } else {
            bit.origin = BitOrigin::lost;
        }
        bit.confidence =
            bit.certain ? 1.0f : static_cast<float>(1.0 / (1.0 + std::exp(-std::fabs(v.odds))));
        if (group_.columns[0][c] >= 0) {
            frame = bit_frame(lead_, static_cast<std::size_t>(group_.columns[0][c]));
        }
        bit.start = bit.end = frame;
        p_.bits.push_back(bit);
        for (std::size_t m = 0; m < members_; ++m)
            at_[m][k] = group_.columns[m][c];
    }
    // Where a member has no bit between two of its own, it missed one (beside its lost bits:
    // one more lost in that gap); elsewhere it had not begun or had ended.
    for (std::size_t m = 0; m < members_; ++m) {
        const Take& t = take(m);
        int32_t previous = -1;
        for (std::size_t k = 0; k < kept_.size(); ++k) {
            if (at_[m][k] >= 0) {
                previous = at_[m][k];
                continue;
            }
            std::size_t after = k;
            while (after < kept_.size() && at_[m][after] < 0)
                ++after;
            if (previous < 0 || after == kept_.size()) continue;
            const auto lost = [&](int32_t index) {
                return t.bits[static_cast<std::size_t>(index)].kind == TakeBitKind::lost;
            };
            missed_[m][k] = lost(previous) || lost(at_[m][after]) ? 2 : 1;
        }
    }
    const std::vector<uint8_t> all = bytes_of_bits(p_.bits);
    const auto name_end =
        all.begin() + static_cast<std::ptrdiff_t>(std::min(name_length_, all.size()));
    p_.name.assign(all.begin(), name_end);
    p_.bytes.assign(name_end, all.end());
}

int64_t Merger::frame_in(std::size_t m, std::size_t position) const {
    const Take& t = take(m);
    for (std::size_t k = position + 1; k-- > 0;) {
        if (at_[m][k] >= 0) return bit_frame(t, static_cast<std::size_t>(at_[m][k]));
    }
    return -1;
}

// What member `m` made of merged bits first..last (one byte): 0 clean, 1 lost, 2 not there
// at all, 3 anything else, described in the text returned.
std::string Merger::member_detail(std::size_t m, std::size_t first, std::size_t last, int& kind) {
    const Take& t = take(m);
    std::vector<std::string> unclear, pulses, read_as, beside, lost;
    std::size_t clean = 0, missed = 0, absent = 0, extra = 0;
    for (std::size_t k = first; k <= last; ++k) {
        extra += extra_[m][k];
        const std::string number = std::to_string(7 - static_cast<int>(k % 8));
        const int32_t index = at_[m][k];
        if (index < 0) {
            if (missed_[m][k] == 2) {
                lost.push_back(number);
            } else {
                (missed_[m][k] != 0 ? missed : absent) += 1;
            }
            continue;
        }
        const auto i = static_cast<std::size_t>(index);
        const TakeBit& bit = t.bits[i];
        const Clarity clarity = bit_clarity(t, i);
        if (clarity == Clarity::clear && bit.value == p_.bits[k].value) {
            ++clean;
        } else if (bit.kind == TakeBitKind::lost) {
            lost.push_back(number);
        } else if (bit.kind == TakeBitKind::certain && bit.value == p_.bits[k].value) {
            beside.push_back(number);
        } else {
            unclear.push_back(number);
            pulses.push_back(bit.pulses > 0 ? std::to_string(bit.pulses) : "uncounted");
            read_as.push_back(std::to_string(bit.value));
        }
    }
    const std::size_t count = last - first + 1;
    if (clean == count && extra == 0) {
        kind = 0;
        return {};
    }
    if (absent == count) {
        kind = 2;
        return {};
    }
    if (lost.size() + absent == count && extra == 0) {
        kind = 1;
        return {};
    }
    kind = 3;
    std::vector<std::string> parts;
    const auto bits_word = [](const std::vector<std::string>& numbers) {
        return std::string(numbers.size() == 1 ? "bit " : "bits ") + list_of(numbers);
    };
    if (!unclear.empty()) {
        const bool one = unclear.size() == 1;
        parts.push_back(bits_word(unclear) + " unclear (" + list_of(pulses) +
                        (one && pulses[0] == "1" ? " pulse" : " pulses") + ", read as " +
                        list_of(read_as) + ")");
    }
    if (!beside.empty()) parts.push_back(bits_word(beside) + " beside a gap");
    if (!lost.empty()) parts.push_back(bits_word(lost) + " lost");
    if (missed > 0) parts.push_back("missed " + plural(missed, "bit", "bits"));
    if (absent > 0) parts.push_back(plural(absent, "bit", "bits") + " beyond its end");
    if (extra > 0) parts.push_back(plural(extra, "burst", "bursts") + " too many, left out");
    return list_of(parts);
}

void Merger::decide_bytes() {
    const std::size_t bytes = p_.bits.size() / 8;
    std::vector<int> kinds(members_), previous_kinds;
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t open_range = none; // the decision a run of plain bytes goes on
    for (std::size_t b = 0; b < bytes; ++b) {
        const std::size_t first = 8 * b, last = first + 7;
        const bool decided = std::all_of(p_.bits.begin() + static_cast<std::ptrdiff_t>(first),
                                         p_.bits.begin() + static_cast<std::ptrdiff_t>(last + 1),
                                         [](const ProgramBit& bit) { return bit.certain; });
        if (!decided) {
            open_range = none;
            continue;
        }
        std::vector<std::string> details(members_);
        bool all_clean = true, plain = true;
        std::vector<std::string> clean_takes;
        for (std::size_t m = 0; m < members_; ++m) {
            details[m] = member_detail(m, first, last, kinds[m]);
            all_clean = all_clean && kinds[m] == 0;
            plain = plain && kinds[m] != 3;
            if (kinds[m] == 0) clean_takes.push_back(std::to_string(m + 1));
        }
        if (all_clean) {
            open_range = none;
            continue;
        }
        if (open_range != none && plain && kinds == previous_kinds) {
            ++p_.decisions[open_range].bytes;
            continue;
        }

        Decision decision;
        decision.kind = DecisionKind::takes;
        place_decision(decision, b, name_length_);
        for (std::size_t m = 0; m < members_; ++m)
            decision.frames.push_back(kinds[m] == 2 ? -1 : frame_in(m, first));
        std::vector<std::string> parts;
        for (std::size_t m = 0; m < members_; ++m) {
            const std::string who = "take " + std::to_string(m + 1);
            if (kinds[m] == 1) parts.push_back(who + " lost {it} in a gap");
            if (kinds[m] == 2) parts.push_back(who + " does not reach {it}");
            if (kinds[m] == 3) parts.push_back(who + ": " + details[m]);
        }
        if (clean_takes.empty()) {
            parts.push_back("the takes heard every bit clearly between them");
        } else {
            parts.push_back(std::string(clean_takes.size() == 1 ? "take " : "takes ") +
                            list_of(clean_takes) + " heard {it} clearly");
        }
        std::string message;
        for (const std::string& part : parts)
            message += (message.empty() ? "" : "; ") + part;
        decision.message = message;
        p_.decisions.push_back(std::move(decision));
        open_range = plain ? p_.decisions.size() - 1 : none;
        previous_kinds = kinds;
    }
    // "{it}" reads "it" for one byte, "them" for several.
    for (Decision& d : p_.decisions) {
        const std::string word = d.bytes == 1 ? "it" : "them";
        for (std::size_t at; (at = d.message.find("{it}")) != std::string::npos;)
            d.message.replace(at, 4, word);
    }
}

// The takes' own findings beyond their bits: a program's damage only when every take has it;
// otherwise what the other takes made of it is a decision.
void Merger::settle_take_findings() {
    for (FindingKind kind : {FindingKind::start_missing, FindingKind::goes_on}) {
        std::vector<std::size_t> with, without;
        for (std::size_t m = 0; m < members_; ++m)
            (any_finding(take(m).program, kind) ? with : without).push_back(m);
        if (with.empty()) continue;
        for (const RecoveryFinding& f : take(with.front()).program.findings) {
            if (f.kind != kind) continue;
            if (without.empty()) {
                p_.findings.push_back(f);
                continue;
            }
            for (std::size_t m : with) {
                Decision decision;
                decision.kind = DecisionKind::takes;
                decision.offset = f.offset;
                decision.name_index = f.name_index;
                decision.frames.assign(members_, -1);
                decision.frames[m] = f.frame;
                decision.message =
                    "take " + std::to_string(m + 1) + ": " + f.message + "; take " +
                    std::to_string(without.front() + 1) +
                    (kind == FindingKind::start_missing ? " heard the whole name" : " ends there");
                p_.decisions.push_back(std::move(decision));
            }
        }
    }
    for (std::size_t m = 0; m < members_; ++m) {
        for (const RecoveryFinding& f : take(m).program.findings) {
            if (f.kind != FindingKind::stray_burst) continue;
            Decision decision;
            decision.kind = DecisionKind::takes;
            decision.offset = f.offset;
            decision.name_index = f.name_index;
            decision.frames.assign(members_, -1);
            decision.frames[m] = f.frame;
            decision.message = "take " + std::to_string(m + 1) + ": " + f.message +
                               "; the takes agree on the bits around it";
            p_.decisions.push_back(std::move(decision));
        }
    }
    if (too_long_) {
        RecoveryFinding finding;
        finding.kind = FindingKind::goes_on;
        finding.frame = p_.bits.empty() ? p_.end : p_.bits.back().start;
        finding.offset = static_cast<int64_t>(expected_bytes_);
        finding.message = "the takes hold clear bits beyond E_LINE: they may not line up";
        p_.findings.push_back(std::move(finding));
    }
}

void Merger::add_findings_after_repair() {
    for (std::size_t i = 0; i < p_.bits.size();) {
        const ProgramBit& bit = p_.bits[i];
        if (bit.origin != BitOrigin::lost || bit.certain) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        while (i < p_.bits.size() && p_.bits[i].origin == BitOrigin::lost && !p_.bits[i].certain)
            ++i;
        RecoveryFinding finding;
        finding.kind = FindingKind::lost_bits;
        finding.frame = bit.start;
        place_finding(finding, first / 8, name_length_);
        finding.message = plural(i - first, "bit", "bits") + " lost in every take, filled with 0";
        p_.findings.push_back(std::move(finding));
    }
    if (p_.bits.size() < total_) {
        RecoveryFinding finding;
        finding.kind = FindingKind::cut_short;
        finding.frame = p_.bits.empty() ? p_.end : p_.bits.back().start;
        place_finding(finding, p_.bits.size() / 8, name_length_);
        finding.message = "every take stops before E_LINE: " +
                          std::to_string(std::max<int64_t>(finding.offset, 0)) + " of " +
                          std::to_string(expected_bytes_) + " bytes";
        p_.findings.push_back(std::move(finding));
    }
}

RecoveredProgram Merger::run() {
    const RecoveredProgram& lead = lead_.program;
    p_.start = lead.start;
    p_.end = lead.end;
    p_.channel = lead.channel;
    for (std::size_t m = 0; m < members_; ++m)
        p_.takes.push_back(source_of(take(m)));
    keep_columns();
    p_.expected_bytes = expected_bytes_;
    merge_bits();
    decide_bytes();
    settle_take_findings();

    std::vector<uint8_t> open(p_.bits.size());
    for (std::size_t i = 0; i < open.size(); ++i)
        open[i] = p_.bits[i].certain ? 0 : 1;
    repair_from_structure(p_, open);
    for (Decision& d : p_.decisions)
        d.frames.resize(members_, -1);
    add_findings_after_repair();
    judge_program(p_);
    const bool all_intact = std::all_of(p_.takes.begin(), p_.takes.end(), [](const TakeSource& s) {
        return s.verdict == Verdict::intact;
    });
    if (p_.verdict == Verdict::intact && (!all_intact || !p_.decisions.empty())) {
        p_.verdict = Verdict::repaired;
    }
    const std::size_t name_length = name_length_;
    std::stable_sort(p_.decisions.begin(), p_.decisions.end(),
                     [name_length](const Decision& a, const Decision& b) {
                         const auto place = [name_length](const Decision& d) {
                             return d.name_index >= 0
                                        ? static_cast<int64_t>(d.name_index)
                                        : static_cast<int64_t>(name_length) + d.offset;
                         };
                         return place(a) < place(b);
                     });
    return std::move(p_);
}

} // namespace

TakePlan plan_takes(const std::vector<Take>& takes) {
    std::vector<std::size_t> order(takes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto place = [&](std::size_t i) {
        return std::make_tuple(takes[i].recording, takes[i].program.start,
                               takes[i].program.channel);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return place(a) < place(b); });

    TakePlan plan;
    std::vector<TakeClash> clashes;
    for (std::size_t t : order) {
        const RecoveredProgram& p = takes[t].program;
        const std::vector<AlignedBit> bits = take_bits(takes[t]);
        bool joined = false;
        for (TakeGroup& group : plan.groups) {
            const RecoveredProgram& first = takes[group.members.front()].program;
            if (first.name.size() != p.name.size()) continue;
            const std::vector<AlignedBit> consensus = group_bits(takes, group);
            if (!same_length(consensus, bits, p.name.size())) continue;
            const Alignment alignment = align_bits(consensus, bits);
            if (alignment.clashes == 0) {
                add_take(group, t, alignment);
                joined = true;
                break;
            }
            TakeClash clash;
            clash.take = t;
            clash.other = group.members.front();
            clash.bits = alignment.clashes;
            const auto byte = static_cast<int64_t>(std::max(alignment.first_clash, 0) / 8);
            clash.offset = byte - static_cast<int64_t>(p.name.size());
            if (clash.offset < 0) clash.offset = -1;
            clashes.push_back(clash);
        }
        if (joined) continue;
        TakeGroup group;
        group.members.push_back(t);
        group.columns.emplace_back(takes[t].bits.size());
        for (std::size_t i = 0; i < takes[t].bits.size(); ++i)
            group.columns[0][i] = static_cast<int32_t>(i);
        plan.groups.push_back(std::move(group));
    }

    // Another channel's take that joined no program of the chosen channel goes; a take kept
    // apart counts as a clash only when it stayed apart.
    plan.groups.erase(std::remove_if(plan.groups.begin(), plan.groups.end(),
                                     [&](const TakeGroup& group) {
                                         return std::all_of(group.members.begin(),
                                                            group.members.end(),
                                                            [&](std::size_t t) {
                                                                return takes[t].program.companion;
                                                            });
                                     }),
                      plan.groups.end());
    for (TakeGroup& group : plan.groups)
        order_members(takes, group);
    std::stable_sort(plan.groups.begin(), plan.groups.end(),
                     [&](const TakeGroup& a, const TakeGroup& b) {
                         return place(a.members.front()) < place(b.members.front());
                     });
    for (const TakeClash& clash : clashes) {
        const bool apart =
            std::any_of(plan.groups.begin(), plan.groups.end(), [&](const TakeGroup& g) {
                return g.members.size() == 1 && g.members.front() == clash.take;
            });
        if (apart && !takes[clash.take].program.companion) plan.clashes.push_back(clash);
    }
    return plan;
}

RecoveredProgram settle_group(const std::vector<Take>& takes, const TakeGroup& group) {
    if (group.members.size() == 1) return settle_single(takes[group.members.front()]);
    return Merger(takes, group).run();
}

std::vector<RecoveredProgram> settle_takes(const std::vector<Take>& takes) {
    const TakePlan plan = plan_takes(takes);
    std::vector<RecoveredProgram> out;
    out.reserve(plan.groups.size());
    for (const TakeGroup& group : plan.groups)
        out.push_back(settle_group(takes, group));
    return out;
}

std::string merge_refusal(const std::vector<Take>& takes, const TakePlan& plan,
                          const std::vector<std::string>& names) {
    const std::size_t recordings = names.size();
    if (recordings < 2) return {};
    std::vector<char> holds(recordings, 0), shares(recordings, 0);
    for (const Take& take : takes)
        holds[static_cast<std::size_t>(take.recording)] = 1;
    for (const TakeGroup& group : plan.groups) {
        for (std::size_t a : group.members) {
            for (std::size_t b : group.members) {
                if (takes[a].recording != takes[b].recording) {
                    shares[static_cast<std::size_t>(takes[a].recording)] = 1;
                }
            }
        }
    }
    for (std::size_t n = 1; n <= recordings; ++n) {
        const std::size_t r = n % recordings; // the first recording last
        if (holds[r] == 0 || shares[r] != 0) continue;
        for (const TakeClash& clash : plan.clashes) {
            const Take& apart = takes[clash.take];
            const Take& other = takes[clash.other];
            const auto mine = static_cast<std::size_t>(apart.recording);
            const auto theirs = static_cast<std::size_t>(other.recording);
            if ((mine != r && theirs != r) || mine == theirs) continue;
            if (apart.program.name != other.program.name) continue; // another program
            const std::string name = saved_name_text(apart.program.name);
            const std::string where =
                clash.offset >= 0 ? "at offset " + hex4(clash.offset) : std::string("in the name");
            return name + " (" + std::to_string(apart.program.expected_bytes) + " bytes) on " +
                   names[mine] + " is not the program " + name + " on " + names[theirs] +
                   ": they differ in " + plural(clash.bits, "bit", "bits") +
                   " that both heard clearly, " + (clash.bits == 1 ? "" : "the first ") + where +
                   "; --merge takes recordings of one tape";
        }
        return names[r] + " holds none of the programs on the other " +
               (recordings == 2 ? "recording" : "recordings") +
               "; --merge takes recordings of one tape";
    }
    return {};
}
