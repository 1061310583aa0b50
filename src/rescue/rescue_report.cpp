#include "rescue/rescue_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "program/saved_name_text.h"

namespace {

// Damage findings shown per program; the JSON report has them all.
constexpr std::size_t findings_shown = 5;

// Findings and decisions shown per program; the JSON report has them all.
constexpr std::size_t decisions_shown = 5;

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
    case Verdict::intact:
        return "intact";
    case Verdict::repaired:
        return "repaired";
    case Verdict::damaged:
        return "damaged";
    case Verdict::not_a_program:
        break;
    }
    return "not-a-program";
}

const char* kind_text(FindingKind kind) {
    switch (kind) {
    case FindingKind::uncertain_bits:
        return "unclear-bits";
    case FindingKind::lost_bits:
        return "lost-bits";
    case FindingKind::stray_burst:
        return "stray-burst";
    case FindingKind::start_missing:
        return "start-missing";
    case FindingKind::cut_short:
        return "cut-short";
    case FindingKind::goes_on:
        return "goes-on";
    case FindingKind::structure:
        break;
    }
    return "structure";
}

std::string channel_name(int channel, int channels) {
    if (channel == mixed_channels) return "mix";
    if (channels == 2) return channel == 0 ? "left" : "right";
    return std::to_string(channel + 1);
}

const RecordingReport& recording_of(const std::vector<RecordingReport>& reports, int index) {
    return reports[static_cast<std::size_t>(index)];
}

std::string seconds_text(int64_t frame, int rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", rate > 0 ? static_cast<double>(frame) / rate : 0.0);
    return text;
}

// Where a finding lies in the program.
std::string place_text(const RecoveryFinding& f) {
    char text[48];
    if (f.offset >= 0) {
        std::snprintf(text, sizeof text, "offset 0x%04" PRIX64, static_cast<uint64_t>(f.offset));
    } else {
        std::snprintf(text, sizeof text, "name character %d", f.name_index + 1);
    }
    return text;
}

// Where a decision lies: one byte or a range.
std::string place_text(const Decision& d) {
    char text[64];
    const auto last = static_cast<uint64_t>(d.bytes - 1);
    if (d.offset >= 0) {
        const auto first = static_cast<uint64_t>(d.offset);
        if (d.bytes == 1) {
            std::snprintf(text, sizeof text, "offset 0x%04" PRIX64, first);
        } else {
            std::snprintf(text, sizeof text, "offsets 0x%04" PRIX64 "-0x%04" PRIX64, first,
                          first + last);
        }
    } else if (d.bytes == 1) {
        std::snprintf(text, sizeof text, "name character %d", d.name_index + 1);
    } else {
        std::snprintf(text, sizeof text, "name characters %d-%d", d.name_index + 1,
                      d.name_index + 1 + static_cast<int>(last));
    }
    return text;
}

// A file name as a shell word: quoted when it holds anything but safe characters.
std::string shell_word(const std::string& word) {
    bool plain = !word.empty();
    for (char c : word) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '_' || c == '-';
        plain = plain && safe;
    }
    if (plain && word[0] != '-') return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A text as a JSON string, with anything that is not valid UTF-8 replaced.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
            }
            ++i;
            continue;
        }
        // The length of a well-formed UTF-8 sequence starting here, or 0.
        std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                             : c >= 0xE0 && c <= 0xEF ? 3
                             : c >= 0xF0 && c <= 0xF4 ? 4
                                                      : 0;
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                length = 0;
            }
        }
        if (length == 0) {
            out += "\\ufffd";
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out + "\"";
}

std::string json_or_null(const std::string& text) {
    return text.empty() ? "null" : json_string(text);
}

const char* status_text(DecodeStatus status) {
    switch (status) {
    case DecodeStatus::ok:
        return "ok";
    case DecodeStatus::unreadable:
        return "unreadable";
    case DecodeStatus::no_memory:
        return "out-of-memory";
    case DecodeStatus::bad_rate:
        return "unsupported-rate";
    case DecodeStatus::read_failed:
        break;
    }
    return "read-error";
}

std::string count_text(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string program_line(const ReportedProgram& entry, const std::vector<RecordingReport>& reports,
                         bool merged) {
    const RecoveredProgram& p = entry.program;
    const RecordingReport& home = recording_of(reports, entry.recording);
    const int rate = home.info.rate;
    std::string line = "  " + clock_text(p.start, rate) + "-" + clock_text(p.end, rate) + "  ";
    if (p.verdict == Verdict::not_a_program) {
        return line + "not a program: " + count_text(p.bursts, "burst", "bursts") +
               " that start no ZX81 program (a fast loader, another machine's tape, or a "
               "program whose start is missing)" +
               (merged ? " (on " + home.name + ")" : std::string()) + "\n";
    }
    char fields[64];
    std::snprintf(fields, sizeof fields, "%-8s %6zu bytes  ", verdict_text(p.verdict), entry.bytes);
    line += fields;
    if (entry.bytes < p.expected_bytes) {
        line.erase(line.size() - 2);
        line += " (of " + std::to_string(p.expected_bytes) + ")  ";
    }
    line += saved_name_text(p.name);
    const ProgramFilesResult& files = entry.files;
    if (!files.same_as.empty()) {
        line += ": the same bytes as " + files.same_as + ", not written again";
    } else if (!files.p_file.empty()) {
        line += " -> " + files.p_file;
        if (!files.bit_file.empty()) line += ", " + files.bit_file;
    }
    if (!files.problem.empty()) line += " (not written: " + files.problem + ")";
    const bool take_lines = merged || p.takes.size() > 1;
    if (take_lines) {
        line += " (" + count_text(p.takes.size(), "take", "takes") + ")";
    } else if (home.info.channels > 1) {
        line += " (" + channel_name(p.channel, home.info.channels) + " channel)";
    }
    line += "\n";

    if (take_lines) {
        for (std::size_t t = 0; t < p.takes.size(); ++t) {
            const TakeSource& take = p.takes[t];
            const RecordingReport& from = recording_of(reports, take.recording);
            line += "      take " + std::to_string(t + 1) + ": " +
                    (merged ? from.name + " " : std::string()) +
                    clock_text(take.start, from.info.rate) + "-" +
                    clock_text(take.end, from.info.rate);
            if (from.info.channels > 1) {
                line += ", " + channel_name(take.channel, from.info.channels) + " channel";
            }
            line += std::string(", ") + verdict_text(take.verdict) + "\n";
        }
    }
    for (std::size_t k = 0; k < std::min(p.decisions.size(), decisions_shown); ++k) {
        const Decision& d = p.decisions[k];
        std::vector<std::string> times;
        for (std::size_t t = 0; t < d.frames.size() && t < p.takes.size(); ++t) {
            if (d.frames[t] < 0) continue;
            const int take_rate = recording_of(reports, p.takes[t].recording).info.rate;
            times.push_back((p.takes.size() > 1 ? "take " + std::to_string(t + 1) + " " : "") +
                            clock_text(d.frames[t], take_rate));
        }
        std::string when;
        for (const std::string& time : times)
            when += (when.empty() ? "" : ", ") + time;
        line += "      " + place_text(d) + (when.empty() ? "" : " (" + when + ")") + ": " +
                d.message + "\n";
    }
    if (p.decisions.size() > decisions_shown) {
        const std::size_t more = p.decisions.size() - decisions_shown;
        line += "      ... and " + count_text(more, "more decision", "more decisions") +
                " (the JSON report lists them all)\n";
    }

    std::size_t damage = 0, notes = 0;
    for (const RecoveryFinding& f : p.findings) {
        if (!f.damage) {
            ++notes;
            continue;
        }
        if (damage++ < findings_shown) {
            line += "      " + clock_text(f.frame, rate) + " (sample " + std::to_string(f.frame) +
                    "), " + place_text(f) + ": " + f.message + "\n";
        }
    }
    if (damage > findings_shown) {
        line += "      ... and " + std::to_string(damage - findings_shown) +
                " more (the JSON report lists them all)\n";
    }
    if (notes > 0) {
        line += "      " + count_text(notes, "note", "notes") +
                " from the structure check (the JSON report lists them)\n";
    }
    if (p.verdict == Verdict::damaged) {
        int64_t from = p.start, to = p.end;
        for (const RecoveryFinding& f : p.findings) {
            from = std::min(from, f.frame);
            to = std::max(to, f.frame);
        }
        line += "      zx81scope --from " + std::to_string(from) + " --to " + std::to_string(to) +
                " " + shell_word(home.name) + " shows it\n";
    }
    return line;
}

// The counts of a closing line: "2 programs (3 takes), 1 intact, 1 damaged".
std::string program_counts(const std::vector<ReportedProgram>& programs, std::size_t& blocks) {
    std::size_t intact = 0, repaired = 0, damaged = 0, takes = 0;
    blocks = 0;
    for (const ReportedProgram& entry : programs) {
        takes += entry.program.takes.size();
        switch (entry.program.verdict) {
        case Verdict::intact:
            ++intact;
            break;
        case Verdict::repaired:
            ++repaired;
            break;
        case Verdict::damaged:
            ++damaged;
            break;
        case Verdict::not_a_program:
            ++blocks;
            break;
        }
    }
    std::string text;
    const std::size_t count = intact + repaired + damaged;
    if (count == 0) {
        text = "no program found";
    } else {
        text = count_text(count, "program", "programs");
        if (takes > count) text += " (" + std::to_string(takes) + " takes)";
        text += ", " + std::to_string(intact) + " intact, ";
        if (repaired > 0) text += std::to_string(repaired) + " repaired, ";
        text += std::to_string(damaged) + " damaged";
    }
    if (blocks > 0) {
        text += "; " + count_text(blocks, "block", "blocks") + " that " +
                (blocks == 1 ? "is" : "are") + " not a program";
    }
    return text;
}

std::string json_program(const ReportedProgram& entry,
                         const std::vector<RecordingReport>& reports) {
    const RecoveredProgram& p = entry.program;
    const ProgramFilesResult& files = entry.files;
    const RecordingInfo& info = recording_of(reports, entry.recording).info;
    const bool program = p.verdict != Verdict::not_a_program;
    const auto channel_text = [](int channel, const RecordingInfo& of) {
        return "\"" +
               (of.channels == 1 ? std::string("mono") : channel_name(channel, of.channels)) + "\"";
    };
    std::string out = "        {\n";
    out += "          \"name\": " +
           (program ? json_string(saved_name_text(p.name)) : std::string("null")) + ",\n";
    out += "          \"file\": " + json_or_null(files.p_file) + ",\n";
    out += "          \"bit_file\": " + json_or_null(files.bit_file) + ",\n";
    out += "          \"same_as\": " + json_or_null(files.same_as) + ",\n";
    out += "          \"problem\": " + json_or_null(files.problem) + ",\n";
    out += "          \"bytes\": " + std::to_string(entry.bytes) + ",\n";
    out += "          \"expected_bytes\": " + std::to_string(p.expected_bytes) + ",\n";
    out += "          \"verdict\": \"" + std::string(verdict_text(p.verdict)) + "\",\n";
    out += "          \"start_s\": " + seconds_text(p.start, info.rate) + ",\n";
    out += "          \"end_s\": " + seconds_text(p.end, info.rate) + ",\n";
    out += "          \"start_sample\": " + std::to_string(p.start) + ",\n";
    out += "          \"end_sample\": " + std::to_string(p.end) + ",\n";
    out += "          \"channel\": " + channel_text(p.channel, info) + ",\n";
    out += "          \"bursts\": " + std::to_string(p.bursts) + ",\n";
    out += "          \"findings\": [";
    for (std::size_t k = 0; k < p.findings.size(); ++k) {
        const RecoveryFinding& f = p.findings[k];
        out += k == 0 ? "\n" : ",\n";
        out += "            {\"kind\": \"" + std::string(kind_text(f.kind)) + "\", ";
        out += "\"damage\": " + std::string(f.damage ? "true" : "false") + ", ";
        out += "\"time\": \"" + clock_text(f.frame, info.rate) + "\", ";
        out += "\"time_s\": " + seconds_text(f.frame, info.rate) + ", ";
        out += "\"sample\": " + std::to_string(f.frame) + ", ";
        out += "\"offset\": " + (f.offset >= 0 ? std::to_string(f.offset) : "null") + ", ";
        out +=
            "\"name_index\": " + (f.name_index >= 0 ? std::to_string(f.name_index) : "null") + ", ";
        out += "\"message\": " + json_string(f.message) + "}";
    }
    out += p.findings.empty() ? "],\n" : "\n          ],\n";
    out += "          \"takes\": [";
    for (std::size_t t = 0; t < p.takes.size(); ++t) {
        const TakeSource& take = p.takes[t];
        const RecordingReport& from = recording_of(reports, take.recording);
        out += t == 0 ? "\n" : ",\n";
        out += "            {\"recording\": " + json_string(from.name) + ", ";
        out += "\"channel\": " + channel_text(take.channel, from.info) + ", ";
        out += "\"start_s\": " + seconds_text(take.start, from.info.rate) + ", ";
        out += "\"end_s\": " + seconds_text(take.end, from.info.rate) + ", ";
        out += "\"start_sample\": " + std::to_string(take.start) + ", ";
        out += "\"end_sample\": " + std::to_string(take.end) + ", ";
        out += "\"verdict\": \"" + std::string(verdict_text(take.verdict)) + "\"}";
    }
    out += p.takes.empty() ? "],\n" : "\n          ],\n";
    out += "          \"decisions\": [";
    for (std::size_t k = 0; k < p.decisions.size(); ++k) {
        const Decision& d = p.decisions[k];
        out += k == 0 ? "\n" : ",\n";
        out += "            {\"kind\": \"";
        out += d.kind == DecisionKind::takes ? "takes" : "structure";
        out += "\", \"offset\": " + (d.offset >= 0 ? std::to_string(d.offset) : "null") + ", ";
        out +=
            "\"name_index\": " + (d.name_index >= 0 ? std::to_string(d.name_index) : "null") + ", ";
        out += "\"bytes\": " + std::to_string(d.bytes) + ", \"times\": [";
        bool first = true;
        for (std::size_t t = 0; t < d.frames.size() && t < p.takes.size(); ++t) {
            if (d.frames[t] < 0) continue;
            const int take_rate = recording_of(reports, p.takes[t].recording).info.rate;
            out += first ? "" : ", ";
            first = false;
            out += "{\"take\": " + std::to_string(t + 1) + ", \"time\": \"" +
                   clock_text(d.frames[t], take_rate) +
                   "\", \"time_s\": " + seconds_text(d.frames[t], take_rate) +
                   ", \"sample\": " + std::to_string(d.frames[t]) + "}";
        }
        out += "], \"message\": " + json_string(d.message) + "}";
    }
    out += p.decisions.empty() ? "]\n" : "\n          ]\n";
    out += "        }";
    return out;
}

std::string json_programs(const std::vector<ReportedProgram>& programs,
                          const std::vector<RecordingReport>& reports, const char* indent) {
    std::string out = "[";
    for (std::size_t i = 0; i < programs.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += json_program(programs[i], reports);
    }
    return out + (programs.empty() ? "]" : std::string("\n") + indent + "]");
}

} // namespace

std::string clock_text(int64_t frame, int rate) {
    const int64_t millis = rate > 0 ? frame * 1000 / rate : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ".%03" PRId64, millis / 60000,
                  millis / 1000 % 60, millis % 1000);
    return text;
}

bool program_failed(const ReportedProgram& entry) {
    const Verdict verdict = entry.program.verdict;
    if (verdict == Verdict::not_a_program) return false;
    return verdict == Verdict::damaged || !entry.files.problem.empty();
}

bool recording_failed(const RecordingReport& report) {
    if (report.info.status != DecodeStatus::ok) return true;
    bool found = false;
    for (const ReportedProgram& entry : report.programs) {
        if (entry.program.verdict == Verdict::not_a_program) continue;
        found = true;
        if (program_failed(entry)) return true;
    }
    return !found;
}

std::string recording_line(const RecordingReport& report) {
    const RecordingInfo& info = report.info;
    if (info.status == DecodeStatus::unreadable || info.status == DecodeStatus::no_memory) {
        return report.name + ": cannot be read\n";
    }
    if (info.status == DecodeStatus::bad_rate) {
        return report.name + ": " + std::to_string(info.rate) +
               " Hz is outside 8000 to 384000 Hz\n";
    }
    std::string text = report.name + ": " + std::to_string(info.rate) + " Hz";
    if (info.rate_unknown) {
        text += " (assumed: no pulses to measure the rate by; --rate gives it)";
    } else if (info.rate_measured) {
        text += " (measured)";
    }
    text += ", " +
            (info.channels == 1 ? std::string("mono") : count_text(info.channels, "", "channels")) +
            ", " + clock_text(info.frames, info.rate);
    return text + "\n";
}

std::string human_report(const RecordingReport& report,
                         const std::vector<RecordingReport>& reports) {
    const RecordingInfo& info = report.info;
    std::string text = recording_line(report);
    if (info.status == DecodeStatus::unreadable || info.status == DecodeStatus::no_memory ||
        info.status == DecodeStatus::bad_rate) {
        return text;
    }
    for (const ReportedProgram& entry : report.programs)
        text += program_line(entry, reports, false);
    std::size_t blocks = 0;
    text += report.name + ": " + program_counts(report.programs, blocks);
    if (info.status == DecodeStatus::read_failed) text += "; reading failed part-way";
    return text + "\n";
}

std::string human_merge_report(const MergeReport& merge,
                               const std::vector<RecordingReport>& reports) {
    const std::string title = "merge of " + count_text(reports.size(), "recording", "recordings");
    if (!merge.refusal.empty()) return title + ": refused, nothing written\n";
    std::string text = title + ":\n";
    for (const ReportedProgram& entry : merge.programs)
        text += program_line(entry, reports, true);
    std::size_t blocks = 0;
    return text + title + ": " + program_counts(merge.programs, blocks) + "\n";
}

std::string json_report(const std::vector<RecordingReport>& reports, const MergeReport& merge,
                        int status) {
    std::string out = "{\n  \"tool\": \"zx81rescue\",\n  \"version\": \"" ZX81_VERSION "\",\n";
    out += "  \"status\": " + std::to_string(status) + ",\n  \"recordings\": [";
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const RecordingReport& report = reports[r];
        const RecordingInfo& info = report.info;
        out += r == 0 ? "\n" : ",\n";
        out += "    {\n      \"recording\": " + json_string(report.name) + ",\n";
        out += "      \"status\": \"" + std::string(status_text(info.status)) + "\",\n";
        out += "      \"rate\": " + std::to_string(info.rate) + ",\n";
        out += "      \"rate_measured\": " + std::string(info.rate_measured ? "true" : "false") +
               ",\n";
        out += "      \"channels\": " + std::to_string(info.channels) + ",\n";
        out += "      \"samples\": " + std::to_string(info.frames) + ",\n";
        out += "      \"duration_s\": " + seconds_text(info.frames, info.rate) + ",\n";
        out += "      \"programs\": " + json_programs(report.programs, reports, "      ") + "\n";
        out += "    }";
    }
    out += reports.empty() ? "],\n" : "\n  ],\n";
    if (!merge.merged) return out + "  \"merge\": null\n}\n";
    out += "  \"merge\": {\n";
    out +=
        "    \"status\": \"" + std::string(merge.refusal.empty() ? "merged" : "refused") + "\",\n";
    out += "    \"refusal\": " + json_or_null(merge.refusal) + ",\n";
    out += "    \"programs\": " + json_programs(merge.programs, reports, "    ") + "\n";
    return out + "  }\n}\n";
}
