// The files a report is written to: one HTML page, or with --svg one SVG file per picture.
#pragma once

#include <string>
#include <vector>

#include "scope/analysis.h"
#include "scope/scope_settings.h"

struct ReportFile {
    std::string name;
    std::string text;
};

/// The recording's name without its extension (a dot in the last path component, not at its
/// start), the stem of the report's default name.
std::string report_stem(const std::string& name);

/// The files of the report, named after -o or the recording: `REPORT` or `STEM.html`, or
/// `STEM-overview.svg`, `STEM-periods.svg`, `STEM-lengths.svg` and `STEM-strip-N.svg`.
std::vector<ReportFile> report_files(const ScopeAnalysis& a, const ScopeSettings& settings);

/// Writes one file under a temporary name and renames it when complete; false when it cannot.
bool write_report_file(const ReportFile& file);
