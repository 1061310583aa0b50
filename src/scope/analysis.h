// What the decoder saw: the converter's own steps run over a recording, keeping what a
// picture of them needs.
//
// The recording goes through the converter's war step block by block (blocks of
// `block_samples`, each thresholded and gap-filled by itself, the longest pause and the bit
// lengths measured from the first block or blocks that allow it), then through the bit
// classifier over the whole war file, end marker included. Three passes over the file keep the
// memory bounded: the first measures (and draws the envelope), the second classifies every bit, the
// third copies the samples around the unknown bits chosen for strips.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bits/classifier.h"
#include "scope/recording.h"
#include "scope/scope_settings.h"
#include "signal/calibration.h"

/// A stretch of the recording drawn in a strip.
struct StripPart {
    int64_t first = 0;        // index of its first sample
    int64_t end = 0;          // one past its last index
    std::vector<uint8_t> raw; // raw samples from `first` (shorter when the recording ends)
    std::vector<uint8_t> war; // on/off samples from `first`, end marker included
};

/// The samples around one unknown bit: one stretch, or for a long bit two (its start and its
/// end, with the middle left out).
struct Strip {
    int64_t number = 0; // 1 for the first unknown bit of the recording, and so on
    WalkedBit unknown;  // the bit itself
    std::vector<StripPart> parts;
    std::vector<WalkedBit> bits; // every bit that overlaps a part, in order
};

/// One column of the overview: the lowest and highest raw sample in its stretch.
struct EnvelopeColumn {
    uint8_t low = 255;
    uint8_t high = 0;
    int32_t unknown = 0; // unknown bits that end in it
    int64_t pause = 0;   // the longest off run after the fill that reaches into it
    int64_t on = 0;      // its samples that are on after the fill
    int64_t samples = 0; // its samples
};

struct ScopeAnalysis {
    int64_t length = 0; // samples in the recording
    int file_rate = 0;  // samples per second as the file says; 0 for raw samples
    double rate = 0;    // samples per second used for times (estimated for raw)
    PulseCalibration calibration;
    bool calibrated = false;    // all three lengths were measured: bits were classified
    int32_t shortest_pause = 0; // nplat
    BitRanges ranges{};
    PeriodHistogram periods{}; // the histogram of the last calibration pass
    bool have_periods = false;
    bool have_window = false;  // a block was measured (even when no pause was found)
    int64_t periods_first = 0; // the window of the last measurement, [first, end)
    int64_t periods_end = 0;
    int64_t bits = 0;           // bits classified in the whole recording
    int64_t unknown = 0;        // of which '?'
    std::string saved_name;     // decoded as the converter decodes it
    bool name_complete = false; // the name's last character was found
    int64_t from = 0;           // the range shown, [from, to)
    int64_t to = 0;
    int64_t shown_bits = 0;       // bits that end in the range
    int64_t shown_unknown = 0;    // unknown bits that end in the range
    std::vector<int64_t> lengths; // bits that end in the range, by classified length; the last
                                  // entry counts every length at or beyond it
    std::vector<EnvelopeColumn> columns; // the range, split evenly
    std::vector<Strip> strips;           // the first unknown bits in the range, up to `max_strips`
};

constexpr int overview_columns = 1000;

/// The column of the overview that sample `i` of the shown range falls in (the end of the
/// recording, where the last bit ends, in the last column). There must be columns.
inline std::size_t column_of(const ScopeAnalysis& a, int64_t i) {
    const int64_t span = a.to - a.from;
    const auto n = static_cast<int64_t>(a.columns.size());
    return static_cast<std::size_t>(std::min(n - 1, (i - a.from) * n / span));
}

/// Whether a bit that ends at `end` is in the shown range; the last bit of the recording
/// ends at its end, on the end marker.
inline bool in_range(const ScopeAnalysis& a, int64_t end) {
    return end >= a.from && (end < a.to || (end == a.length && a.to == a.length && a.to > a.from));
}

/// Runs the decoder over the opened recording. False when the recording could not be read
/// (then `rec.failed`) or memory ran out.
bool analyse_recording(Recording& rec, const ScopeSettings& settings, ScopeAnalysis& a);
