// The pictures of a report, each one SVG element that stands by itself: it can go inline in
// the HTML page or, with an XML declaration in front, into a file of its own. Every chart is
// 1000 units wide and scales with the page; a caption inside it says what it shows.
#pragma once

#include <string>

#include "scope/analysis.h"

/// The recording's envelope over the shown range, with the threshold, the block boundaries,
/// the calibration window and a mark at every unknown bit (a link to its strip when
/// `link_strips`).
std::string overview_svg(const ScopeAnalysis& a, int32_t threshold, bool link_strips);

/// The histogram of distances between bit starts in the calibration window, with n0, n1 and
/// both tolerance ranges.
std::string periods_svg(const ScopeAnalysis& a);

/// The histogram of the classified lengths of the bits in the shown range, against the ranges.
std::string lengths_svg(const ScopeAnalysis& a);

/// The waveform around one unknown bit: raw samples and threshold lines, the on/off samples
/// after the fill, the bit starts, and the bit's length against the two ranges.
std::string strip_svg(const ScopeAnalysis& a, const Strip& s, int32_t threshold);

/// The one-line description of a strip: its number, nsample, time and length.
std::string strip_caption(const ScopeAnalysis& a, const Strip& s);

/// `text` with &, <, >, " and ' written as character references.
std::string escape_xml(const std::string& text);

/// "t = 1.234 s" style time of a sample index, or "" when the rate is not known.
std::string time_of(const ScopeAnalysis& a, int64_t index);

/// The raw sample values where the threshold starts to count a sample as on: the lowest
/// above the middle and the highest below it; -1 where no sample reaches the threshold.
struct OnLevels {
    int high = -1;
    int low = -1;
};
OnLevels on_levels(int32_t threshold);
