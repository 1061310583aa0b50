#include "scope/analysis.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "pfile/saved_name.h"
#include "signal/normaliser.h"
#include "signal/runs.h"

namespace {

// Samples shown on either side of an unknown bit, and how much of a long one is shown.
int64_t strip_pad(const ScopeAnalysis& a) {
    return std::max<int64_t>(a.calibration.one_length, 32);
}
int64_t strip_span(const ScopeAnalysis& a) {
    return 4 * strip_pad(a);
}

// The buffers of one pass and the settings the war step runs with.
struct Passes {
    std::unique_ptr<uint8_t[]> raw;
    std::unique_ptr<uint8_t[]> war;
    SignalOptions signal;
};

// Reads the recording block by block as the war step does and hands each block, raw and
// normalised, to `visit(first_index, raw, war, size, calibration_before, calibration)`.
template <typename Visit> bool war_pass(Recording& rec, Passes& p, Visit visit) {
    if (!rewind_recording(rec)) return false;
    PulseCalibration calibration;
    int64_t first = 0;
    uint32_t block_length;
    do {
        block_length = static_cast<uint32_t>(read_recording(rec, p.raw.get(), block_samples));
        if (rec.failed) return false;
        std::memcpy(p.war.get(), p.raw.get(), block_length);
        const PulseCalibration before = calibration;
        normalise_block(p.war.get(), block_length, p.signal, calibration);
        visit(first, p.raw.get(), p.war.get(), block_length, before, calibration);
        first += block_length;
    } while (block_length == block_samples);
    return true;
}

// Records an off run [first, end) in every column it reaches into.
void pause_run(int64_t first, int64_t end, ScopeAnalysis& a) {
    const int64_t lo = std::max(first, a.from);
    const int64_t hi = std::min(end, a.to);
    if (lo >= hi) return;
    for (std::size_t c = column_of(a, lo), last = column_of(a, hi - 1); c <= last; ++c) {
        a.columns[c].pause = std::max(a.columns[c].pause, end - first);
    }
}

// The measurements of one block: envelope, pauses, the calibration histogram.
void measure(int64_t first, const uint8_t* raw, const uint8_t* war, uint32_t size,
             const PulseCalibration& before, const PulseCalibration& after, int64_t& off_start,
             ScopeAnalysis& a) {
    const int64_t lo = std::max(first, a.from);
    const int64_t hi = std::min(first + size, a.to);
    for (int64_t i = lo; i < hi; ++i) {
        EnvelopeColumn& col = a.columns[column_of(a, i)];
        const uint8_t v = raw[i - first];
        col.low = std::min(col.low, v);
        col.high = std::max(col.high, v);
        col.on += war[i - first] != 0;
        ++col.samples;
    }
    // Off runs go on across block boundaries, as the classifier sees them.
    for (std::size_t i = 0; i < size;) {
        if (war[i] != 0) {
            i = find_off(war, i, size);
            continue;
        }
        if (off_start < 0) off_start = first + static_cast<int64_t>(i);
        i = find_on(war, i, size);
        if (i < size) {
            pause_run(off_start, first + static_cast<int64_t>(i), a);
            off_start = -1;
        }
    }
    // The same tests as the war step's: nfill was measured here, a calibration pass ran here.
    const bool calibration_ran =
        (before.zero_length == 0 || before.one_length == 0) && after.longest_pause != 0;
    if (before.longest_pause == 0 || calibration_ran) {
        const Window w = measurement_window(size);
        a.have_window = true;
        a.periods_first = first + w.first;
        a.periods_end = first + w.end;
    }
    if (calibration_ran) {
        a.periods = period_histogram(war, size, shortest_pause_of(after.longest_pause));
        a.have_periods = true;
    }
}

void count_bit(const WalkedBit& b, int64_t max_strips, SavedNameReader& name, ScopeAnalysis& a) {
    ++a.bits;
    if (!name.complete) feed_saved_name(name, &b.bit, 1);
    const bool shown = in_range(a, b.end);
    if (b.bit == '?') ++a.unknown;
    if (!shown) return;
    ++a.shown_bits;
    const auto top = static_cast<int64_t>(a.lengths.size()) - 1;
    ++a.lengths[static_cast<std::size_t>(std::clamp<int64_t>(b.length, 0, top))];
    if (b.bit != '?') return;
    ++a.shown_unknown;
    ++a.columns[column_of(a, b.end)].unknown;
    if (static_cast<int64_t>(a.strips.size()) >= max_strips) return;
    Strip s;
    s.number = a.unknown;
    s.unknown = b;
    const int64_t pad = strip_pad(a);
    const int64_t span = strip_span(a);
    const int64_t war_end = a.length + 1; // the end marker is drawn too
    if (b.end - b.start <= span) {
        s.parts.push_back(
            {std::max<int64_t>(0, b.start - pad), std::min(war_end, b.end + pad), {}, {}});
    } else {
        s.parts.push_back({std::max<int64_t>(0, b.start - pad), b.start + span / 2, {}, {}});
        s.parts.push_back({b.end - span / 2, std::min(war_end, b.end + pad), {}, {}});
    }
    a.strips.push_back(std::move(s));
}

// Copies the part of each strip's window that lies in this block.
void fill_strips(int64_t first, const uint8_t* raw, const uint8_t* war, uint32_t size,
                 ScopeAnalysis& a) {
    for (Strip& s : a.strips) {
        for (StripPart& part : s.parts) {
            const int64_t lo = std::max(first, part.first);
            const int64_t hi = std::min(first + size, part.end);
            if (lo >= hi) continue;
            part.raw.insert(part.raw.end(), raw + (lo - first), raw + (hi - first));
            part.war.insert(part.war.end(), war + (lo - first), war + (hi - first));
        }
    }
}

void collect_strip_bit(const WalkedBit& b, ScopeAnalysis& a) {
    for (Strip& s : a.strips) {
        for (const StripPart& part : s.parts) {
            if (b.start < part.end && b.end >= part.first) {
                s.bits.push_back(b);
                break;
            }
        }
    }
}

} // namespace

bool analyse_recording(Recording& rec, const ScopeSettings& settings, ScopeAnalysis& a) {
    a = ScopeAnalysis{};
    a.length = rec.length;
    a.file_rate = rec.rate;
    a.from = std::min(settings.from, rec.length);
    a.to = settings.to < 0 ? rec.length : std::min(settings.to, rec.length);
    if (a.to < a.from) a.to = a.from;
    a.columns.resize(static_cast<std::size_t>(std::min<int64_t>(overview_columns, a.to - a.from)));

    Passes p;
    p.raw.reset(new (std::nothrow) uint8_t[block_samples]);
    p.war.reset(new (std::nothrow) uint8_t[block_samples]);
    if (!p.raw || !p.war) return false;
    p.signal.threshold = settings.threshold;

    // Pass 1: the war step's measurements and the envelope.
    int64_t off_start = -1;
    if (!war_pass(rec, p,
                  [&](int64_t first, const uint8_t* raw, const uint8_t* war, uint32_t size,
                      const PulseCalibration& before, const PulseCalibration& after) {
                      measure(first, raw, war, size, before, after, off_start, a);
                      a.calibration = after;
                  })) {
        return false;
    }
    if (off_start >= 0) pause_run(off_start, a.length, a); // the end marker closes it
    const PulseCalibration& cal = a.calibration;
    a.shortest_pause = shortest_pause_of(cal.longest_pause);
    a.calibrated = cal.longest_pause != 0 && cal.zero_length != 0 && cal.one_length != 0;
    a.rate = rec.rate;
    // A 1 bit holds five pulses of 300 us more than a 0 bit: 4.0 ms against 2.5 ms. Lengths
    // far from that ratio are no measure of the rate.
    if (a.rate == 0 && a.calibrated && cal.zero_length * 4 >= cal.one_length * 2 &&
        cal.zero_length * 4 <= cal.one_length * 3) {
        a.rate = (cal.one_length - cal.zero_length) / 1.5e-3;
    }
    if (!a.calibrated) return true;
    a.ranges = tolerance_ranges(cal.zero_length, cal.one_length, settings.tolerance_divisor);
    const int64_t widest =
        std::max<int64_t>({a.ranges.one_high, a.ranges.zero_high, cal.one_length});
    a.lengths.assign(static_cast<std::size_t>(std::clamp<int64_t>(widest * 3 / 2, 64, 4096)), 0);

    // Pass 2: every bit, as the bit step classifies the war file.
    SavedNameReader name;
    BitClassifier c = make_classifier(cal, settings.tolerance_divisor);
    auto count = [&](const WalkedBit& b) { count_bit(b, settings.max_strips, name, a); };
    if (!war_pass(rec, p,
                  [&](int64_t, const uint8_t*, const uint8_t* war, uint32_t size,
                      const PulseCalibration&,
                      const PulseCalibration&) { walk_bits(c, war, size, count); })) {
        return false;
    }
    walk_bits(c, &war_end_marker, 1, count);
    a.saved_name = name.name;
    a.name_complete = name.complete;
    if (a.strips.empty()) return true;

    // Pass 3: the samples and bits around the unknown bits drawn.
    c = make_classifier(cal, settings.tolerance_divisor);
    auto collect = [&](const WalkedBit& b) { collect_strip_bit(b, a); };
    if (!war_pass(rec, p,
                  [&](int64_t first, const uint8_t* raw, const uint8_t* war, uint32_t size,
                      const PulseCalibration&, const PulseCalibration&) {
                      fill_strips(first, raw, war, size, a);
                      walk_bits(c, war, size, collect);
                  })) {
        return false;
    }
    for (Strip& s : a.strips) {
        for (StripPart& part : s.parts) {
            if (part.end > a.length) part.war.push_back(war_end_marker);
        }
    }
    walk_bits(c, &war_end_marker, 1, collect);
    return true;
}
