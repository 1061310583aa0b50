#include "scope/scope_run.h"

#include <cstdio>
#include <vector>

#include "io/platform.h"
#include "scope/analysis.h"
#include "scope/recording.h"
#include "scope/report.h"
#include "scope/report_files.h"
#include "scope/scope_options.h"

namespace {

int usage_error(const std::string& message) {
    std::fputs(usage_error_text("zx81scope", message).c_str(), stderr);
    return exit_usage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "zx81scope: %s\n", message.c_str());
    return exit_failure;
}

} // namespace

int zx81scope_main(int argc, char** argv) {
    ScopeSettings settings;
    std::string message;
    switch (parse_scope_options(argc, argv, settings, message)) {
    case ToolCommand::help:
        std::fputs(scope_usage().c_str(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::version:
        std::fputs(version_text("zx81scope").c_str(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::usage_error:
        return usage_error(message);
    case ToolCommand::run:
        break;
    }

    Recording rec;
    if (!open_recording(rec, settings.input)) {
        return failure("cannot read the recording " + settings.input);
    }
    if (settings.from > 0 && settings.from >= rec.length) {
        close_recording(rec);
        return usage_error("--from " + std::to_string(settings.from) +
                           " is not inside the recording (" + std::to_string(rec.length) +
                           " samples)");
    }
    ScopeAnalysis a;
    const bool analysed = analyse_recording(rec, settings, a);
    close_recording(rec);
    if (!analysed) {
        return failure(rec.failed ? "cannot read the recording " + settings.input
                                  : "not enough memory");
    }

    const std::vector<ReportFile> files = report_files(a, settings);
    for (const ReportFile& f : files) {
        if (same_file(f.name, settings.input)) {
            return failure("will not write the report over the recording " + settings.input);
        }
    }
    for (const ReportFile& f : files) {
        std::printf("... creating report %s\n", f.name.c_str());
        std::fflush(stdout);
        if (!write_report_file(f)) return failure("cannot write the report " + f.name);
    }
    std::fputs(report_summary(a, settings).c_str(), stdout);
    return std::fflush(stdout) == 0 ? exit_done : exit_failure;
}
