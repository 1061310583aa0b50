#include "scope/scope_run.h"

#include <cstdio>
#include <vector>

#include "io/output_file.h"
#include "io/platform.h"
#include "scope/analysis.h"
#include "scope/charts.h"
#include "scope/recording.h"
#include "scope/report.h"
#include "scope/scope_options.h"

namespace {

struct ReportFile {
    std::string name;
    std::string text;
};

int usage_error(const std::string& message) {
    std::fprintf(stderr, "zx81scope: %s\nTry 'zx81scope --help' for more information.\n",
                 message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "zx81scope: %s\n", message.c_str());
    return 1;
}

std::vector<ReportFile> svg_files(const ScopeAnalysis& a, const ScopeSettings& settings,
                                  const std::string& stem) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::vector<ReportFile> files{
        {stem + "-overview.svg", head + overview_svg(a, settings.threshold, false) + "\n"},
        {stem + "-periods.svg", head + periods_svg(a) + "\n"},
        {stem + "-lengths.svg", head + lengths_svg(a) + "\n"}};
    for (const Strip& s : a.strips) {
        files.push_back({stem + "-strip-" + std::to_string(s.number) + ".svg",
                         head + strip_svg(a, s, settings.threshold) + "\n"});
    }
    return files;
}

bool write_report_file(const ReportFile& f) {
    OutputFile out;
    if (!open_output(out, f.name)) return false;
    write_output(out, f.text.data(), f.text.size());
    return commit_output(out);
}

} // namespace

std::string report_stem(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot <= base) return name;
    return name.substr(0, dot);
}

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

    std::vector<ReportFile> files;
    if (settings.svg) {
        files = svg_files(a, settings,
                          report_stem(settings.output.empty() ? settings.input : settings.output));
    } else {
        files.push_back(
            {settings.output.empty() ? report_stem(settings.input) + ".html" : settings.output,
             report_html(a, settings)});
    }
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
