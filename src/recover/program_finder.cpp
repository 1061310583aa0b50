#include "recover/program_finder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "recover/program_verdict.h"

namespace {

// The longest silence inside a program that is still taken as a dropout.
constexpr double max_dropout_seconds = 1.5;

// The silence that ends a block of bursts that are not a program.
constexpr double block_silence_seconds = 0.3;

// The bits a header check needs at most: the longest name and the system variables up to
// E_LINE.
constexpr std::size_t header_bits = 8 * (max_name_length + header_bytes_after_name);

// A burst that is no bit of a program: the stray pulse a ZX81 may add after the last bit.
bool stray_like(const TapeEvent& event) {
    return !event.bit.certain && event.bit.pulses <= 3;
}

ProgramBit bit_of(const TapeEvent& event) {
    ProgramBit bit;
    bit.start = event.bit.start;
    bit.end = event.bit.end;
    bit.value = event.bit.value;
    bit.pulses = event.bit.pulses;
    bit.certain = event.bit.certain && !event.joined;
    bit.confidence = event.bit.confidence;
    bit.origin = event.joined ? BitOrigin::joined : BitOrigin::heard;
    return bit;
}

std::string plural(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string ProgramFinder::milliseconds(int64_t frames) const {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 1000.0 * static_cast<double>(frames) / rate_);
    return text;
}

ProgramFinder::ProgramFinder(int rate, int channel)
    : rate_(rate), channel_(channel),
      max_dropout_(static_cast<int64_t>(max_dropout_seconds * rate)),
      silence_gap_(static_cast<int64_t>(block_silence_seconds * rate)) {}

ProgramFinder::Start ProgramFinder::try_start(std::size_t at, bool finished, bool may_begin,
                                              bool may_clean) const {
    Start start;
    if (!may_begin && !may_clean) return start;
    std::array<uint8_t, header_bits / 8> bytes;
    std::size_t bits = 0;
    std::size_t name_length = 0; // 0 until the name's last code came
    const auto put = [&](uint8_t value) {
        if (bits == header_bits) return;
        uint8_t& byte = bytes[bits / 8];
        byte = static_cast<uint8_t>((bits % 8 == 0 ? 0 : byte << 1) | value);
        ++bits;
    };
    for (std::size_t i = at;; ++i) {
        bool ended = i == events_.size();
        if (!ended && i > at) {
            const TapeEvent& event = events_[i];
            // A header is one train of bursts.
            ended = event.gap >= max_dropout_ || (event.after_break && !event.noise_before);
        }
        if (ended) {
            start.answer = !finished && i == events_.size() ? Answer::wait : Answer::no;
            return start;
        }
        const TapeEvent& event = events_[i];
        const std::size_t before = bits / 8;
        if (i > at) {
            if (event.lost > 0 || event.strays > 0 || event.noise_before) start.clean = false;
            for (int64_t k = 0; k < event.lost && bits < header_bits; ++k)
                put(0);
        }
        if (!event.bit.certain || event.joined) start.clean = false;
        put(event.bit.value);
        // Most places are no start at all: settle them as soon as a byte says so, without
        // the whole header.
        for (std::size_t byte = before; byte < bits / 8; ++byte) {
            if (name_length == 0) {
                if ((bytes[byte] & 0x80) != 0) name_length = byte + 1;
                if (name_length == 0 && byte + 1 == max_name_length) return start;
            } else if (byte == name_length && bytes[byte] != 0 && !may_begin) {
                return start; // VERSN is not 0: no BASIC program, and an overlay cannot be here
            }
        }
        if (name_length == 0 || bits / 8 < name_length + header_bytes_after_name) continue;
        start.header = read_program_header(bytes.data(), bits / 8);
        start.events = i + 1 - at;
        switch (start.header.kind) {
        case HeaderKind::need_more:
        case HeaderKind::not_a_start:
            break;
        case HeaderKind::basic:
            if (start.clean ? may_begin || may_clean : may_begin) start.answer = Answer::yes;
            break;
        case HeaderKind::overlay:
            if (start.clean && may_begin) start.answer = Answer::yes;
            break;
        }
        return start;
    }
}

ProgramFinder::Reading ProgramFinder::read_program(bool finished) {
    const std::size_t total = 8 * (header_.name_length + header_.program_bytes);
    std::vector<ProgramBit>& bits = program_.bits;
    while (bits.size() < total) {
        if (cursor_ == events_.size()) return finished ? Reading::cut_short : Reading::wait;
        const TapeEvent& event = events_[cursor_];
        if (!bits.empty()) {
            if (event.gap >= max_dropout_) return Reading::cut_short;
            if ((event.after_break || event.lost > 0) && !restart_checked_) {
                // A gap or other signal: the next program may begin here.
                const Answer answer = try_start(cursor_, finished, event.after_break, true).answer;
                if (answer == Answer::wait) return Reading::wait;
                if (answer == Answer::yes) return Reading::cut_short;
                restart_checked_ = true;
            }
            const std::size_t byte = bits.size() / 8;
            if (event.strays > 0) {
                RecoveryFinding finding;
                finding.kind = FindingKind::stray_burst;
                finding.frame = event.stray_frame;
                place_finding(finding, byte, header_.name_length);
                finding.message = event.strays == 1 ? std::string("a stray burst")
                                                    : plural(event.strays, "", "stray bursts");
                if (event.stray_pulses > 0) {
                    finding.message += " (" + plural(event.stray_pulses, "pulse", "pulses") + ")";
                }
                finding.message += " in the pause before this bit, left out";
                program_.findings.push_back(std::move(finding));
            }
            if (event.lost > 0) {
                const auto lost =
                    static_cast<std::size_t>(std::min<int64_t>(event.lost, total - bits.size()));
                RecoveryFinding finding;
                finding.kind = FindingKind::lost_bits;
                finding.frame = event.bit.start - event.gap;
                place_finding(finding, byte, header_.name_length);
                finding.message =
                    "a gap of " + milliseconds(event.gap) + " ms with no bursts: about " +
                    plural(static_cast<int64_t>(lost), "bit", "bits") + " lost, filled with 0";
                program_.findings.push_back(std::move(finding));
                for (std::size_t k = 0; k < lost; ++k) {
                    ProgramBit bit;
                    bit.start = event.bit.start - event.gap;
                    bit.end = event.bit.start;
                    bit.origin = BitOrigin::lost;
                    bits.push_back(bit);
                }
                if (bits.size() == total) break; // the gap reached E_LINE
            }
        }
        bits.push_back(bit_of(event));
        restart_checked_ = false;
        // An overlay, or a program whose header is not read yet, may still be rejected and
        // its bursts read again from its start; a BASIC program's bursts after its header are
        // done with.
        if (header_.kind == HeaderKind::overlay || bits.size() < header_bits_read()) {
            ++cursor_;
        } else {
            events_.erase(events_.begin(),
                          events_.begin() + static_cast<std::ptrdiff_t>(cursor_) + 1);
            cursor_ = 0;
        }
    }
    return Reading::complete;
}

ProgramFinder::Answer ProgramFinder::confirm_end(bool finished, std::size_t& skipped) const {
    std::size_t i = cursor_;
    skipped = 0;
    for (; i < events_.size(); ++i) {
        const TapeEvent& next = events_[i];
        if (next.after_break || next.lost > 0) return Answer::yes; // silence after the end
        if (skipped == 2 || !stray_like(next)) break;
        ++skipped;
    }
    if (i == events_.size()) return finished ? Answer::yes : Answer::wait;
    const Start next = try_start(i, finished, true, true);
    if (next.answer == Answer::yes && next.header.kind != HeaderKind::basic) return Answer::no;
    return next.answer;
}

std::size_t ProgramFinder::header_bits_read() const {
    return 8 * (header_.name_length + header_bytes_after_name);
}

bool ProgramFinder::junk_before(std::size_t later) const {
    // Bursts that run in rhythm into the clean header belong to the name, however unclear;
    // only a gap or other signal between them and it makes them something else.
    for (std::size_t k = 1; k <= later; ++k) {
        const TapeEvent& event = events_[k];
        if (event.lost > 0 || event.noise_before || event.strays > 0) return true;
    }
    return false;
}

void ProgramFinder::emit_program(std::vector<RecoveredProgram>& out, std::size_t consumed) {
    RecoveredProgram& p = program_;
    p.channel = channel_;
    p.start = p.bits.front().start;
    p.end = p.bits.back().end;
    p.expected_bytes = header_.program_bytes;
    std::vector<uint8_t> all = bytes_of_bits(p.bits);
    const auto name_end =
        all.begin() + static_cast<std::ptrdiff_t>(std::min(header_.name_length, all.size()));
    p.name.assign(all.begin(), name_end);
    p.bytes.assign(name_end, all.end());
    judge_program(p);
    out.push_back(std::move(p));
    program_ = RecoveredProgram{};
    reading_ = false;
    events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(consumed));
    train_start_ = true;
    dropped_clean_ = false;
    rhythm_run_ = 0;
}

void ProgramFinder::reject_start() {
    program_ = RecoveredProgram{};
    reading_ = false;
}

void ProgramFinder::drop_junk(std::vector<RecoveredProgram>& out) {
    const TapeEvent& event = events_.front();
    const int64_t silence = event.gap - event.noise_frames;
    if (junk_open_ && event.after_break && silence >= silence_gap_) close_junk(out);
    if (!junk_open_) {
        junk_ = RecoveredProgram{};
        junk_.verdict = Verdict::not_a_program;
        junk_.channel = channel_;
        junk_.start = event.noise_before ? event.noise_start : event.bit.start;
        junk_burst_frames_ = 0;
        junk_noise_frames_ = 0;
        junk_open_ = true;
    } else {
        junk_noise_frames_ += event.noise_frames;
    }
    const bool in_rhythm = !event.after_break && !event.noise_before && event.lost == 0;
    if (in_rhythm && rhythm_run_ > 0) {
        ++rhythm_run_;
    } else {
        rhythm_run_ = 1;
        rhythm_run_start_ = event.bit.start;
    }
    junk_.end = event.bit.end;
    ++junk_.bursts;
    junk_burst_frames_ += event.bit.end - event.bit.start;
    dropped_clean_ = event.bit.certain && !event.joined;
    events_.pop_front();
    train_start_ = false;
}

void ProgramFinder::close_junk(std::vector<RecoveredProgram>& out) {
    const double seconds = static_cast<double>(junk_.end - junk_.start) / rate_;
    if (junk_open_ && junk_.bursts >= min_block_bursts &&
        (junk_burst_frames_ >= junk_noise_frames_ ||
         static_cast<double>(junk_.bursts) >= min_block_burst_rate * seconds)) {
        out.push_back(std::move(junk_));
    }
    junk_open_ = false;
}

void ProgramFinder::run(bool finished, std::vector<RecoveredProgram>& out) {
    for (;;) {
        if (!reading_) {
            if (events_.empty()) {
                if (finished) close_junk(out);
                return;
            }
            const bool may_begin = train_start_ || events_.front().after_break;
            const Start start = try_start(0, finished, may_begin, !dropped_clean_);
            if (start.answer == Answer::wait) return;
            if (start.answer == Answer::no) {
                drop_junk(out);
                continue;
            }
            header_ = start.header;
            if (!start.clean) {
                // A clean header a little later may be the real start, what lies before it
                // junk that happened to read as part of a name.
                std::size_t later = 1;
                for (; later < start.events; ++later) {
                    const Start clean = try_start(later, finished, false, true);
                    if (clean.answer == Answer::wait) return;
                    if (clean.answer == Answer::yes && clean.clean) {
                        if (junk_before(later)) header_ = clean.header;
                        break;
                    }
                }
                if (later < start.events && junk_before(later)) {
                    for (std::size_t k = 0; k < later; ++k)
                        drop_junk(out);
                }
            }
            const TapeEvent& first = events_.front();
            if (!train_start_ && rhythm_run_ > 0 && !first.after_break && !first.noise_before &&
                first.lost == 0) {
                RecoveryFinding finding;
                finding.kind = FindingKind::start_missing;
                finding.frame = rhythm_run_start_;
                finding.name_index = 0;
                finding.message = plural(static_cast<int64_t>(rhythm_run_), "burst", "bursts") +
                                  " run in rhythm into the name without making whole "
                                  "characters: its first characters may be lost";
                program_.findings.push_back(std::move(finding));
            }
            rhythm_run_ = 0;
            close_junk(out);
            reading_ = true;
            cursor_ = 0;
            restart_checked_ = false;
        }

        const Reading reading = read_program(finished);
        if (reading == Reading::wait) return;
        const bool overlay = header_.kind == HeaderKind::overlay;
        if (reading == Reading::cut_short) {
            // Cut before its own header was read: no program started here after all.
            if (overlay || program_.bits.size() < header_bits_read()) {
                reject_start();
                drop_junk(out);
                continue;
            }
            const std::size_t have = program_.bits.size() / 8;
            RecoveryFinding finding;
            finding.kind = FindingKind::cut_short;
            finding.frame = program_.bits.back().end;
            place_finding(finding, have, header_.name_length);
            finding.message = "the signal stops before E_LINE: " +
                              std::to_string(std::max<int64_t>(finding.offset, 0)) + " of " +
                              std::to_string(header_.program_bytes) + " bytes";
            program_.findings.push_back(std::move(finding));
            emit_program(out, cursor_);
            continue;
        }

        // An overlay ends with the variables' end marker, as every saved program does.
        if (overlay && bytes_of_bits(program_.bits).back() != 0x80) {
            reject_start();
            drop_junk(out);
            continue;
        }
        std::size_t skipped = 0;
        const Answer end = confirm_end(finished, skipped);
        if (end == Answer::wait) return;
        if (end == Answer::no) {
            if (overlay) {
                reject_start();
                drop_junk(out);
                continue;
            }
            RecoveryFinding finding;
            finding.kind = FindingKind::goes_on;
            finding.frame = program_.bits.back().end;
            finding.offset = static_cast<int64_t>(header_.program_bytes);
            finding.message = "bursts go on in rhythm after E_LINE: E_LINE itself may be wrong";
            program_.findings.push_back(std::move(finding));
            skipped = 0;
        }
        emit_program(out, cursor_ + skipped);
    }
}

void ProgramFinder::take(const std::vector<TapeEvent>& events, std::vector<RecoveredProgram>& out) {
    events_.insert(events_.end(), events.begin(), events.end());
    run(false, out);
}

void ProgramFinder::finish(std::vector<RecoveredProgram>& out) {
    run(true, out);
}

int64_t ProgramFinder::pending_start() const {
    int64_t start = -1;
    if (junk_open_) start = junk_.start;
    if (!events_.empty() && (start < 0 || events_.front().bit.start < start)) {
        start = events_.front().bit.start;
    }
    return start;
}
