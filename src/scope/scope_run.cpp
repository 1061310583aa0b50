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
    std::fprintf(stderr, "zx81scope: %s\nTry 'zx81scope --help' for more information.\n",
                 message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "zx81scope: %s\n", message.c_str());
    return 1;
}

} // namespace

int zx81scope_main(int argc, const char* const* argv) {
    ScopeSettings settings;
    std::string message;
    switch (parse_scope_options(argc, argv, settings, message)) {
    case ScopeCommand::help:
        std::fputs(scope_usage().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ScopeCommand::version:
        std::puts("zx81scope " ZX81_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ScopeCommand::error:
        return usage_error(message);
    case ScopeCommand::run:
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
    return std::fflush(stdout) == 0 ? 0 : 1;
}
