#include "rescue/rescue_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "io/output_file.h"
#include "io/platform.h"
#include "recover/recording_decoder.h"
#include "recover/take.h"
#include "recover/take_merge.h"
#include "rescue/program_files.h"
#include "rescue/rescue_options.h"
#include "rescue/rescue_report.h"

namespace {

// A recording this long (in seconds) gets a progress line on a terminal.
constexpr double long_recording = 60.0;

// The progress line on the error stream, shared by every recording being decoded.
class ProgressLine {
  public:
    explicit ProgressLine(bool shown) : shown_(shown) {}

    void update(const std::string& name, int64_t frames, int64_t expected, int rate) {
        if (!shown_ || expected <= 0 || rate <= 0 ||
            static_cast<double>(expected) / rate < long_recording) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(mutex_);
        if (now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        const int percent = static_cast<int>(100 * std::min(frames, expected) / expected);
        char text[64];
        std::snprintf(text, sizeof text, ": %3d%%", percent);
        line_ = "zx81rescue: " + name + text;
        std::fprintf(stderr, "\r%s", line_.c_str());
        std::fflush(stderr);
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (line_.empty()) return;
        std::fprintf(stderr, "\r%s\r", std::string(line_.size(), ' ').c_str());
        std::fflush(stderr);
        line_.clear();
    }

  private:
    bool shown_;
    std::mutex mutex_;
    std::string line_;
    std::chrono::steady_clock::time_point last_{};
};

// What one recording holds: the takes of its programs, and its blocks that are not programs.
struct Heard {
    std::vector<Take> takes;
    std::vector<RecoveredProgram> blocks;
};

// Decodes one recording (number `index` of the run) into takes and blocks.
void decode_one(const RescueSettings& settings, ProgressLine& progress, RecordingReport& report,
                int index, Heard& heard) {
    DecodeSink sink;
    int rate = 0;
    sink.started = [&rate](const RecordingInfo& info) { rate = info.rate; };
    sink.program = [&](RecoveredProgram&& program) {
        if (program.verdict == Verdict::not_a_program) {
            heard.blocks.push_back(std::move(program));
            return;
        }
        if (!program.companion) ++report.takes;
        heard.takes.push_back(make_take(std::move(program), index));
    };
    sink.progress = [&](int64_t frames, int64_t expected) {
        progress.update(report.name, frames, expected, rate);
    };
    report.info = decode_recording(report.name, settings.decode, sink);
}

// Settles the takes of each group into its program and writes it, and lists the programs with
// the blocks, in tape order. A group is settled only when its turn to be written comes, and its
// bits are dropped once its files are written, so that the takes (8 bytes a bit) and one
// settled program (24 bytes a bit) are all that a recording full of programs holds at a time.
std::vector<ReportedProgram>
write_programs(const RescueSettings& settings, ProgramFiles& files,
               const std::vector<RecordingReport>& reports, const std::vector<Take>& takes,
               const std::vector<TakeGroup>& groups,
               std::vector<std::pair<int, RecoveredProgram>>&& blocks) {
    constexpr std::size_t no_group = static_cast<std::size_t>(-1);
    std::vector<ReportedProgram> entries;
    std::vector<std::size_t> group_of; // of each entry, or no_group for a block
    for (std::size_t g = 0; g < groups.size(); ++g) {
        // A settled program lies where its first take does.
        const Take& lead = takes[groups[g].members.front()];
        ReportedProgram entry;
        entry.recording = lead.recording;
        entry.program.start = lead.program.start;
        entries.push_back(std::move(entry));
        group_of.push_back(g);
    }
    for (auto& block : blocks) {
        ReportedProgram entry;
        entry.recording = block.first;
        entry.program = std::move(block.second);
        entries.push_back(std::move(entry));
        group_of.push_back(no_group);
    }
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::make_pair(entries[a].recording, entries[a].program.start) <
               std::make_pair(entries[b].recording, entries[b].program.start);
    });
    std::vector<ReportedProgram> sorted;
    sorted.reserve(entries.size());
    for (std::size_t i : order) {
        ReportedProgram& entry = entries[i];
        if (group_of[i] != no_group) entry.program = settle_group(takes, groups[group_of[i]]);
        const std::string& recording = reports[static_cast<std::size_t>(entry.recording)].name;
        if (entry.program.verdict != Verdict::not_a_program) {
            entry.files =
                files.write(output_directory(settings.output_dir, recording), entry.program);
        }
        entry.bytes = entry.program.bytes.size();
        entry.program.bits = std::vector<ProgramBit>(); // only the files needed them
        entry.program.bytes = std::vector<uint8_t>();
        sorted.push_back(std::move(entry));
    }
    return sorted;
}

// Decodes one recording, merges the takes of each of its programs and writes them.
void rescue_recording(const RescueSettings& settings, ProgramFiles& files, ProgressLine& progress,
                      std::vector<RecordingReport>& reports, std::size_t index) {
    Heard heard;
    RecordingReport& report = reports[index];
    decode_one(settings, progress, report, static_cast<int>(index), heard);
    const TakePlan plan = plan_takes(heard.takes);
    std::vector<std::pair<int, RecoveredProgram>> blocks;
    for (RecoveredProgram& block : heard.blocks)
        blocks.emplace_back(static_cast<int>(index), std::move(block));
    report.programs =
        write_programs(settings, files, reports, heard.takes, plan.groups, std::move(blocks));
    heard.takes = std::vector<Take>();
}

// Merges the takes of every recording as takes of one tape, and writes the programs.
MergeReport merge_recordings(const RescueSettings& settings, ProgramFiles& files,
                             const std::vector<RecordingReport>& reports,
                             std::vector<Heard>& heard) {
    MergeReport merge;
    merge.merged = true;
    std::vector<Take> takes;
    std::vector<std::pair<int, RecoveredProgram>> blocks;
    std::vector<std::string> names;
    for (std::size_t r = 0; r < heard.size(); ++r) {
        names.push_back(reports[r].name);
        for (Take& take : heard[r].takes)
            takes.push_back(std::move(take));
        for (RecoveredProgram& block : heard[r].blocks)
            blocks.emplace_back(static_cast<int>(r), std::move(block));
        heard[r] = Heard{};
    }
    const TakePlan plan = plan_takes(takes);
    merge.refusal = merge_refusal(takes, plan, names);
    if (!merge.refusal.empty()) return merge;
    merge.programs =
        write_programs(settings, files, reports, takes, plan.groups, std::move(blocks));
    return merge;
}

void print_text(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Each program whose file could not be written, on the error stream.
void report_file_problems(const std::string& where, const std::vector<ReportedProgram>& programs) {
    for (const ReportedProgram& entry : programs) {
        if (!entry.files.problem.empty()) {
            std::fprintf(stderr, "zx81rescue: %s: %s\n", where.c_str(),
                         entry.files.problem.c_str());
        }
    }
}

// Creates a directory and every directory above it that is missing.
bool make_directories(const std::string& path) {
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') continue;
        if (path[end - 1] == '/') continue;
        if (!make_directory(path.substr(0, end))) return false;
    }
    return true;
}

void write_json(const std::string& name, const std::string& text, bool& ok) {
    if (name == "-") {
        ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
             std::fflush(stdout) == 0;
    } else {
        OutputFile out;
        ok = open_output(out, name);
        if (ok) {
            write_output(out, text.data(), text.size());
            ok = commit_output(out);
        }
    }
    if (!ok) std::fprintf(stderr, "zx81rescue: cannot write the JSON report %s\n", name.c_str());
}

} // namespace

int zx81rescue_main(int argc, char** argv) {
    RescueSettings settings;
    std::string message;
    switch (parse_rescue_options(argc, argv, settings, message)) {
    case ToolCommand::run:
        break;
    case ToolCommand::help:
        std::fputs(rescue_usage(), stdout);
        return exit_done;
    case ToolCommand::version:
        std::fputs(version_text("zx81rescue").c_str(), stdout);
        return exit_done;
    case ToolCommand::usage_error:
        std::fputs(usage_error_text("zx81rescue", message).c_str(), stderr);
        return exit_usage;
    }
    for (const std::string& recording : settings.recordings) {
        if (!settings.json.empty() && settings.json != "-" && same_file(settings.json, recording)) {
            std::fprintf(stderr, "zx81rescue: --json %s would write over a recording\n",
                         settings.json.c_str());
            return exit_usage;
        }
    }
    if (!settings.output_dir.empty() && !make_directories(settings.output_dir)) {
        std::fprintf(stderr, "zx81rescue: cannot create the directory %s\n",
                     settings.output_dir.c_str());
        return exit_failure;
    }
    install_signal_cleanup();

    const bool report_to_stdout = !settings.quiet && settings.json != "-";
    ProgressLine progress(!settings.quiet && stream_is_terminal(stderr));
    ProgramFiles files(settings.force, settings.bits, settings.recordings);
    const std::size_t count = settings.recordings.size();
    std::vector<RecordingReport> reports(count);
    for (std::size_t i = 0; i < count; ++i)
        reports[i].name = settings.recordings[i];
    std::vector<Heard> heard(settings.merge ? count : 0);

    // Workers take the recordings in turn; this thread reports them in order.
    std::atomic<std::size_t> next{0};
    std::vector<char> done(count, 0);
    std::mutex done_mutex;
    std::condition_variable done_changed;
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            if (settings.merge) {
                decode_one(settings, progress, reports[i], static_cast<int>(i), heard[i]);
            } else {
                rescue_recording(settings, files, progress, reports, i);
            }
            std::lock_guard<std::mutex> lock(done_mutex);
            done[i] = 1;
            done_changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    const std::size_t threads =
        std::min<std::size_t>(static_cast<std::size_t>(settings.jobs), count);
    for (std::size_t t = 0; t < threads; ++t)
        workers.emplace_back(work);

    int status = 0;
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::unique_lock<std::mutex> lock(done_mutex);
            done_changed.wait(lock, [&] { return done[i] != 0; });
        }
        progress.clear();
        const RecordingReport& report = reports[i];
        if (report.info.status == DecodeStatus::unreadable ||
            report.info.status == DecodeStatus::no_memory) {
            std::fprintf(stderr, "zx81rescue: %s: cannot be read\n", report.name.c_str());
        } else if (report.info.status == DecodeStatus::bad_rate) {
            std::fprintf(stderr, "zx81rescue: %s: %d Hz is outside 8000 to 384000 Hz\n",
                         report.name.c_str(), report.info.rate);
        } else if (report.info.status == DecodeStatus::read_failed) {
            std::fprintf(stderr, "zx81rescue: %s: reading failed part-way\n", report.name.c_str());
        }
        if (settings.merge) {
            if (report.info.status != DecodeStatus::ok || report.takes == 0) status = 1;
            if (report_to_stdout) print_text(recording_line(report));
            continue;
        }
        report_file_problems(report.name, report.programs);
        if (report_to_stdout) print_text(human_report(report, reports));
        if (recording_failed(report)) status = 1;
    }
    for (std::thread& worker : workers)
        worker.join();

    MergeReport merge;
    if (settings.merge) {
        merge = merge_recordings(settings, files, reports, heard);
        if (!merge.refusal.empty()) {
            std::fprintf(stderr, "zx81rescue: --merge: %s\n", merge.refusal.c_str());
            status = 1;
        }
        report_file_problems("merge", merge.programs);
        if (report_to_stdout) print_text(human_merge_report(merge, reports));
        bool found = false;
        for (const ReportedProgram& entry : merge.programs) {
            found = found || entry.program.verdict != Verdict::not_a_program;
            if (program_failed(entry)) status = 1;
        }
        if (!found) status = 1;
    }

    if (!settings.json.empty()) {
        bool ok = true;
        write_json(settings.json, json_report(reports, merge, status), ok);
        if (!ok) status = 1;
    }
    if (std::ferror(stdout) != 0) status = 1;
    return status;
}
