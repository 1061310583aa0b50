#include "rescue/rescue_run.h"

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

// Decodes one recording and writes its programs.
void rescue_recording(const RescueSettings& settings, ProgramFiles& files, ProgressLine& progress,
                      RecordingReport& report) {
    const std::string directory = output_directory(settings.output_dir, report.name);
    DecodeSink sink;
    int rate = 0;
    sink.started = [&rate](const RecordingInfo& info) { rate = info.rate; };
    sink.program = [&](RecoveredProgram&& program) {
        ReportedProgram entry;
        if (program.verdict != Verdict::not_a_program) {
            entry.files = files.write(directory, report.name, program);
        }
        entry.bytes = program.bytes.size();
        entry.program = std::move(program);
        entry.program.bits = std::vector<ProgramBit>(); // only the files needed them
        entry.program.bytes = std::vector<uint8_t>();
        report.programs.push_back(std::move(entry));
    };
    sink.progress = [&](int64_t frames, int64_t expected) {
        progress.update(report.name, frames, expected, rate);
    };
    report.info = decode_recording(report.name, settings.decode, sink);
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
    ProgramFiles files(settings.force, settings.bits);
    const std::size_t count = settings.recordings.size();
    std::vector<RecordingReport> reports(count);
    for (std::size_t i = 0; i < count; ++i)
        reports[i].name = settings.recordings[i];

    // Workers take the recordings in turn; this thread reports them in order.
    std::atomic<std::size_t> next{0};
    std::vector<char> done(count, 0);
    std::mutex done_mutex;
    std::condition_variable done_changed;
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            rescue_recording(settings, files, progress, reports[i]);
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
        for (const ReportedProgram& entry : report.programs) {
            if (!entry.files.problem.empty()) {
                std::fprintf(stderr, "zx81rescue: %s: %s\n", report.name.c_str(),
                             entry.files.problem.c_str());
            }
        }
        if (report_to_stdout) {
            const std::string text = human_report(report);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        }
        if (recording_failed(report)) status = 1;
    }
    for (std::thread& worker : workers)
        worker.join();

    if (!settings.json.empty()) {
        bool ok = true;
        write_json(settings.json, json_report(reports, status), ok);
        if (!ok) status = 1;
    }
    if (std::ferror(stdout) != 0) status = 1;
    return status;
}
