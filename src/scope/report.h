// The report page: one self-contained HTML file (XHTML syntax, so that any XML parser reads
// it) with the pictures inline as SVG. Nothing is fetched and nothing runs: a style sheet in
// the head, links between the overview and the strips, and the numbers, each in an element
// with an id (`nfill`, `nplat`, `n0`, `n1`, `bits`, `unknown`, ...) so that a program can
// read them back.
#pragma once

#include <string>

#include "scope/analysis.h"
#include "scope/scope_settings.h"

/// The whole page for the analysis of `settings.input`.
std::string report_html(const ScopeAnalysis& a, const ScopeSettings& settings);

/// The short summary zx81scope prints on standard output, one fact a line.
std::string report_summary(const ScopeAnalysis& a, const ScopeSettings& settings);
