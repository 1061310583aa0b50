#include "scope/report_files.h"

#include "io/output_file.h"
#include "scope/charts.h"
#include "scope/report.h"

std::string report_stem(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot <= base) return name;
    return name.substr(0, dot);
}

std::vector<ReportFile> report_files(const ScopeAnalysis& a, const ScopeSettings& settings) {
    if (!settings.svg) {
        return {{settings.output.empty() ? report_stem(settings.input) + ".html" : settings.output,
                 report_html(a, settings)}};
    }
    const std::string stem =
        report_stem(settings.output.empty() ? settings.input : settings.output);
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

bool write_report_file(const ReportFile& file) {
    OutputFile out;
    if (!open_output(out, file.name)) return false;
    write_output(out, file.text.data(), file.text.size());
    return commit_output(out);
}
