#include "scope/charts.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "signal/normaliser.h"

namespace {

constexpr double width = 1000;
constexpr double left = 56; // room for the vertical axis labels
constexpr double right = 990;
constexpr double plot_w = right - left;

const char* const font = "font-family=\"sans-serif\" font-size=\"11\"";
const char* const colour_raw = "#1f4e79";
const char* const colour_threshold = "#c0392b";
const char* const colour_on = "#2e7d32";
const char* const colour_zero = "#cfe2f3";
const char* const colour_one = "#d9ead3";
const char* const colour_unknown = "#d62728";

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), pattern, again);
    va_end(again);
    out.pop_back();
    return out;
}

std::string svg_open(double height, const std::string& title) {
    return format("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" "
                  "width=\"%.0f\" height=\"%.0f\">",
                  width, height, width, height) +
           "<title>" + escape_xml(title) + "</title>" +
           format("<rect x=\"0\" y=\"0\" width=\"%.0f\" height=\"%.0f\" fill=\"#ffffff\"/>", width,
                  height) +
           format("<text x=\"%.0f\" y=\"14\" %s font-weight=\"bold\">", left, font) +
           escape_xml(title) + "</text>";
}

std::string text(double x, double y, const std::string& s, const char* anchor = "start",
                 const char* fill = "#333333") {
    return format("<text x=\"%.1f\" y=\"%.1f\" %s text-anchor=\"%s\" fill=\"%s\">", x, y, font,
                  anchor, fill) +
           escape_xml(s) + "</text>";
}

std::string line(double x1, double y1, double x2, double y2, const char* stroke,
                 const char* extra = "") {
    return format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" %s/>", x1,
                  y1, x2, y2, stroke, extra);
}

std::string rect(double x, double y, double w, double h, const char* fill, const char* extra = "") {
    return format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" %s/>", x,
                  y, std::max(w, 0.0), std::max(h, 0.0), fill, extra);
}

// A round step for axis ticks: 1, 2 or 5 times a power of ten, about span / 8.
double tick_step(double span) {
    const double rough = std::max(span / 8, 1.0);
    const double p = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * p >= rough) return m * p;
    }
    return 10 * p;
}

// A horizontal axis from `lo` to `hi` drawn at `y`, with tick labels.
std::string x_axis(double lo, double hi, double y, const std::string& label) {
    std::string out = line(left, y, right, y, "#555555");
    const double step = tick_step(hi - lo);
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
        const double x = left + (v - lo) * plot_w / (hi - lo);
        out += line(x, y, x, y + 4, "#555555");
        // The last label stays inside the picture.
        const bool last = x > right - 30;
        out += text(last ? x + 4 : x, y + 15, format("%.0f", v), last ? "end" : "middle");
    }
    out += text(right, y + 28, label, "end");
    return out;
}

// The two ranges as bands from `top` to `bottom` on an axis from 0 to `span`.
std::string range_bands(const BitRanges& r, double span, double top, double bottom) {
    std::string out;
    const auto band = [&](int64_t lo, int64_t hi, const char* fill) {
        if (hi < lo) return;
        const double x0 = left + std::clamp(lo - 0.5, 0.0, span) * plot_w / span;
        const double x1 = left + std::clamp(hi + 0.5, 0.0, span) * plot_w / span;
        out += rect(x0, top, x1 - x0, bottom - top, fill);
    };
    band(r.zero_low, r.zero_high, colour_zero);
    band(r.one_low, r.one_high, colour_one);
    return out;
}

std::string ranges_text(const BitRanges& r) {
    return format("0 range %lld..%lld, 1 range %lld..%lld", static_cast<long long>(r.zero_low),
                  static_cast<long long>(r.zero_high), static_cast<long long>(r.one_low),
                  static_cast<long long>(r.one_high));
}

} // namespace

std::string escape_xml(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // Control characters cannot stand in XML at all.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                out += '?';
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string time_of(const ScopeAnalysis& a, int64_t index) {
    if (a.rate <= 0) return "";
    return format("t %s %.3f s", a.file_rate > 0 ? "=" : "\xE2\x89\x88", index / a.rate);
}

OnLevels on_levels(int32_t threshold) {
    OnLevels levels;
    for (int v = 128; v < 256 && levels.high < 0; ++v) {
        if (sample_level(static_cast<uint8_t>(v)) >= threshold) levels.high = v;
    }
    for (int v = 127; v >= 0 && levels.low < 0; --v) {
        if (sample_level(static_cast<uint8_t>(v)) >= threshold) levels.low = v;
    }
    return levels;
}

namespace {

// The dashed threshold lines on either side of silence and the silence line itself, across
// the chart; `y_of` places a raw sample value.
template <typename Y> std::string level_lines(Y y_of, int32_t threshold) {
    std::string out;
    const OnLevels on = on_levels(threshold);
    for (int v : {on.high, on.low}) {
        if (v >= 0) {
            out += line(left, y_of(v), right, y_of(v), colour_threshold,
                        "stroke-dasharray=\"6,4\" stroke-width=\"0.8\"");
        }
    }
    out += line(left, y_of(128), right, y_of(128), "#aaaaaa", "stroke-width=\"0.5\"");
    return out;
}

} // namespace

std::string overview_svg(const ScopeAnalysis& a, int32_t threshold, bool link_strips) {
    constexpr double top = 24, bottom = 134, height = 276;
    constexpr double signal_top = 142, signal_bottom = 166;
    constexpr double pause_top = 174, pause_bottom = 204, ticks = 208;
    const auto y_of = [&](double v) { return top + (255 - v) * (bottom - top) / 255; };
    std::string out =
        svg_open(height, format("Overview: samples %lld to %lld", static_cast<long long>(a.from),
                                static_cast<long long>(a.to)));
    const double span = std::max<double>(1, static_cast<double>(a.to - a.from));
    const auto x_of = [&](double i) { return left + (i - a.from) * plot_w / span; };

    // The calibration window and the block boundaries: the war step treats every block of
    // block_samples by itself, so a bit cut by a boundary is filled on each side separately.
    if (a.have_window && a.periods_end > a.from && a.periods_first < a.to) {
        const double x0 = x_of(static_cast<double>(std::max(a.periods_first, a.from)));
        const double x1 = x_of(static_cast<double>(std::min(a.periods_end, a.to)));
        out += rect(x0, top - 10, x1 - x0, bottom - top + 10, "#fff3c4");
        out += text(x0 + 2, top - 1, "calibration window", "start", "#8a6d00");
    }
    for (int64_t b = (a.from / block_samples + 1) * block_samples; b < a.to; b += block_samples) {
        out += line(x_of(static_cast<double>(b)), top, x_of(static_cast<double>(b)), pause_bottom,
                    "#999999", "stroke-dasharray=\"2,3\"");
    }

    const std::size_t n = a.columns.size();
    const double w = n > 0 ? plot_w / n : plot_w;
    std::string path;
    for (std::size_t c = 0; c < n; ++c) {
        const EnvelopeColumn& col = a.columns[c];
        if (col.high < col.low) continue;
        const double x = left + (c + 0.5) * w;
        path += format("M%.1f %.1fV%.1f", x, y_of(col.high + 0.5), y_of(col.low - 0.5));
    }
    if (!path.empty()) {
        out += format("<path d=\"%s\" stroke=\"%s\" stroke-width=\"%.2f\" fill=\"none\"/>",
                      path.c_str(), colour_raw, std::max(w, 1.0));
    }
    out += level_lines(y_of, threshold);
    out += text(left - 4, y_of(255) + 4, "255", "end");
    out += text(left - 4, y_of(128) + 4, "128", "end");
    out += text(left - 4, y_of(0) + 4, "0", "end");

    // The share of each column that counts as signal after the fill: about half where bits
    // are, nothing in a dropout or below the threshold, everything where noise or an offset
    // lifts the silence over it.
    if (n > 0) {
        std::string bars;
        for (std::size_t c = 0; c < n; ++c) {
            const EnvelopeColumn& col = a.columns[c];
            if (col.samples == 0) continue;
            const double share = static_cast<double>(col.on) / static_cast<double>(col.samples);
            bars +=
                format("M%.1f %.1fh%.2fV%.1fh%.2fz", left + c * w, signal_bottom, std::max(w, 0.5),
                       signal_bottom - share * (signal_bottom - signal_top), -std::max(w, 0.5));
        }
        out += rect(left, signal_top, plot_w, signal_bottom - signal_top, "#f4f4f4");
        if (!bars.empty()) out += format("<path d=\"%s\" fill=\"#7f8c8d\"/>", bars.c_str());
        out += text(left - 4, (signal_top + signal_bottom) / 2 + 4, "on", "end");
    }

    // The longest pause in each column, in units of nfill up to 3: about 1 where bits are
    // read, near 0 where noise fills the pauses (bits run together), high at a dropout.
    if (a.calibration.longest_pause > 0) {
        const double longest_pause = a.calibration.longest_pause;
        const auto py = [&](double units) {
            return pause_bottom - std::min(units, 3.0) * (pause_bottom - pause_top) / 3;
        };
        std::string low, normal, high;
        for (std::size_t c = 0; c < n; ++c) {
            const double units = a.columns[c].pause / longest_pause;
            const double x = left + c * w;
            std::string& bar = a.columns[c].pause < a.shortest_pause ? low
                               : units > 2                           ? high
                                                                     : normal;
            bar += format("M%.1f %.1fh%.2fV%.1fh%.2fz", x, pause_bottom, std::max(w, 0.5),
                          std::min(py(units), pause_bottom - 1.5), -std::max(w, 0.5));
        }
        const std::pair<const std::string*, const char*> tracks[] = {
            {&normal, "#9e9e9e"}, {&low, "#e69f00"}, {&high, colour_unknown}};
        for (const auto& [bars, fill] : tracks) {
            if (!bars->empty()) {
                out += format("<path d=\"%s\" fill=\"%s\"/>", bars->c_str(), fill);
            }
        }
        out += line(left, py(1), right, py(1), "#555555", "stroke-width=\"0.5\"");
        out += text(left - 4, (pause_top + pause_bottom) / 2 + 4, "pause", "end");
    }

    // Unknown bits: a tick under every column that holds one, a numbered flag at each strip.
    for (std::size_t c = 0; c < n; ++c) {
        if (a.columns[c].unknown == 0) continue;
        const double x = left + (c + 0.5) * w;
        out += line(x, ticks, x, ticks + 10, colour_unknown, "stroke-width=\"1.5\"");
    }
    for (const Strip& s : a.strips) {
        const double x = x_of(static_cast<double>(s.unknown.end));
        std::string flag =
            format("<path d=\"M%.1f %.1fl-4 8h8z\" fill=\"%s\"/>", x, ticks, colour_unknown);
        if (link_strips) {
            flag = format("<a href=\"#strip-%lld\">", static_cast<long long>(s.number)) + flag +
                   "<title>" + escape_xml(strip_caption(a, s)) + "</title></a>";
        }
        out += flag;
    }

    std::string axis = "sample index";
    if (a.rate > 0) {
        axis += format(" (%.0f samples a second%s)", a.rate, a.file_rate > 0 ? "" : ", estimated");
    }
    out +=
        x_axis(static_cast<double>(a.from), static_cast<double>(a.from) + span, ticks + 12, axis);
    out += text(left, height - 18,
                "on: the share of samples that count as signal after the fill (about half where "
                "bits are; none in a dropout, all where noise or an offset lifts the silence)",
                "start", "#777777");
    out += text(left, height - 4,
                "pause: the longest pause in each column (line: nfill); grey normal, orange "
                "shorter than nplat (bits run together), red over 2 nfill (a dropout or gap)",
                "start", "#777777");
    return out + "</svg>";
}

std::string periods_svg(const ScopeAnalysis& a) {
    constexpr double top = 24, bottom = 200, height = 240;
    const std::string title = "Distances between bit starts in the calibration window";
    if (!a.have_periods) {
        return svg_open(48, title) +
               text(left, 36, "No calibration pass ran: no pause between two bits was found.") +
               "</svg>";
    }
    std::string out = svg_open(height, title);
    const PeriodHistogram& h = a.periods;
    int32_t last = 0;
    int32_t most = 1;
    for (int32_t j = 0; j < period_histogram_size; ++j) {
        if (h[j] > 0) last = j;
        most = std::max(most, h[j]);
    }
    int64_t shown = last + 1;
    if (a.calibrated)
        shown = std::max<int64_t>(
            shown, std::max(a.ranges.one_high, int64_t{a.calibration.one_length}) + 1);
    shown = std::min<int64_t>(period_histogram_size, shown + shown / 10 + 1);
    const double span = static_cast<double>(shown);
    if (a.calibrated) out += range_bands(a.ranges, span, top, bottom);

    const double w = plot_w / span;
    std::string bars;
    for (int64_t j = 0; j < shown; ++j) {
        if (h[static_cast<std::size_t>(j)] == 0) continue;
        const double bh = h[static_cast<std::size_t>(j)] * (bottom - top - 16) / most;
        bars += format("M%.1f %.1fh%.2fv%.1fh%.2fz", left + j * w, bottom, w, -bh, -w);
    }
    out += format("<path d=\"%s\" fill=\"#555555\"/>", bars.c_str());
    const auto mark = [&](int32_t v, const char* name) {
        if (v <= 0 || v >= shown) return;
        const double x = left + (v + 0.5) * w;
        out += line(x, top + 12, x, bottom, colour_threshold, "stroke-width=\"1.2\"");
        out += text(x, top + 10, format("%s=%d", name, v), "middle", colour_threshold);
    };
    mark(a.calibration.zero_length, "n0");
    mark(a.calibration.one_length, "n1");
    out += text(left - 4, top + 20, std::to_string(most), "end");
    out += text(left - 4, bottom, "0", "end");
    out += x_axis(0, span, bottom,
                  "samples from one bit start to the next" +
                      (a.calibrated ? "; " + ranges_text(a.ranges) : ""));
    return out + "</svg>";
}

std::string lengths_svg(const ScopeAnalysis& a) {
    constexpr double top = 24, bottom = 200, height = 240;
    const std::string title = "Classified bit lengths (burst + nfill), shown range";
    if (a.lengths.empty()) {
        return svg_open(48, title) +
               text(left, 36, "No bits were classified: the bit lengths could not be measured.") +
               "</svg>";
    }
    std::string out = svg_open(height, title);
    const double span = static_cast<double>(a.lengths.size());
    out += range_bands(a.ranges, span, top, bottom);
    int64_t most = 1;
    for (int64_t v : a.lengths)
        most = std::max(most, v);
    // A square-root scale, so that a handful of unknown bits still shows beside thousands.
    const double scale = (bottom - top - 16) / std::sqrt(static_cast<double>(most));
    const double w = plot_w / span;
    std::string bars[3];
    for (std::size_t e = 0; e < a.lengths.size(); ++e) {
        if (a.lengths[e] == 0) continue;
        const char bit = classify_length(static_cast<int64_t>(e), a.ranges);
        const bool overflow = e + 1 == a.lengths.size();
        std::string& path = bars[overflow || bit == '?' ? 2 : bit - '0'];
        const double bh = std::max(4.0, std::sqrt(static_cast<double>(a.lengths[e])) * scale);
        path += format("M%.1f %.1fh%.2fv%.1fh%.2fz", left + e * w, bottom, std::max(w, 1.5), -bh,
                       -std::max(w, 1.5));
    }
    const char* fills[3] = {"#1f77b4", "#2ca02c", colour_unknown};
    for (int k = 0; k < 3; ++k) {
        if (!bars[k].empty())
            out += format("<path d=\"%s\" fill=\"%s\"/>", bars[k].c_str(), fills[k]);
    }
    if (a.lengths.back() > 0) {
        out += text(right, top + 10,
                    format("%lld at %zu or more", static_cast<long long>(a.lengths.back()),
                           a.lengths.size() - 1),
                    "end", colour_unknown);
    }
    out += text(left - 4, top + 20, std::to_string(most), "end");
    out += text(left - 4, bottom, "0", "end");
    out +=
        text(left + 4, top + 10,
             format("blue: 0 bits, green: 1 bits, red: unknown (%lld of %lld); "
                    "square-root scale",
                    static_cast<long long>(a.shown_unknown), static_cast<long long>(a.shown_bits)));
    out += x_axis(0, span, bottom, "classified length in samples; " + ranges_text(a.ranges));
    return out + "</svg>";
}

std::string strip_caption(const ScopeAnalysis& a, const Strip& s) {
    const WalkedBit& b = s.unknown;
    std::string t = time_of(a, b.end);
    return format("Unknown bit %lld: nsample=%lld%s%s, from sample %lld, length %lld",
                  static_cast<long long>(s.number), static_cast<long long>(b.end),
                  t.empty() ? "" : ", ", t.c_str(), static_cast<long long>(b.start),
                  static_cast<long long>(b.length));
}

std::string strip_svg(const ScopeAnalysis& a, const Strip& s, int32_t threshold) {
    constexpr double raw_top = 40, raw_bottom = 150, war_top = 160, war_bottom = 180;
    constexpr double ruler_y = 226, height = 262, gap = 44;
    std::string out = svg_open(height, strip_caption(a, s));

    // The parts side by side, a gap between them; x_of maps a sample index to its left edge
    // (an index in a gap goes to the gap's middle, one past the last part to the right end).
    double samples = 0;
    for (const StripPart& part : s.parts)
        samples += static_cast<double>(part.end - part.first);
    const double gaps = gap * (s.parts.empty() ? 0.0 : static_cast<double>(s.parts.size() - 1));
    const double sx = (plot_w - gaps) / std::max(samples, 1.0);
    const auto x_of = [&](double i) {
        double x = left;
        for (std::size_t k = 0; k < s.parts.size(); ++k) {
            const StripPart& part = s.parts[k];
            if (k > 0) {
                if (i < part.first) return x + gap / 2;
                x += gap;
            }
            if (i <= part.end) return x + std::max(0.0, i - part.first) * sx;
            x += (part.end - part.first) * sx;
        }
        return x;
    };
    const auto y_of = [&](double v) { return raw_top + (255 - v) * (raw_bottom - raw_top) / 255; };

    // The unknown bit, shaded across both tracks.
    const double u0 = x_of(static_cast<double>(s.unknown.start));
    out += rect(u0, raw_top - 14, x_of(static_cast<double>(s.unknown.end)) - u0,
                war_bottom - raw_top + 14, "#fde2e0");

    // Raw samples and the threshold.
    out += level_lines(y_of, threshold);
    for (const StripPart& part : s.parts) {
        std::string points;
        for (std::size_t i = 0; i < part.raw.size(); ++i) {
            points += format("%.1f,%.1f ", x_of(static_cast<double>(part.first + i)) + sx / 2,
                             y_of(part.raw[i]));
        }
        if (!points.empty()) {
            out += "<polyline points=\"" + points +
                   format("\" fill=\"none\" stroke=\"%s\" stroke-width=\"1\"/>", colour_raw);
        }

        // On/off after the fill: one bar per on run.
        std::string bars;
        for (std::size_t i = 0; i < part.war.size();) {
            if (part.war[i] == 0) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < part.war.size() && part.war[j] != 0)
                ++j;
            bars += format("M%.1f %.1fh%.2fv%.1fh%.2fz", x_of(static_cast<double>(part.first + i)),
                           war_top, (j - i) * sx, war_bottom - war_top, -((j - i) * sx));
            i = j;
        }
        if (!bars.empty()) out += format("<path d=\"%s\" fill=\"%s\"/>", bars.c_str(), colour_on);
    }
    // The gaps: what is left out.
    for (std::size_t k = 1; k < s.parts.size(); ++k) {
        const double x = x_of(static_cast<double>(s.parts[k].first)) - gap;
        out += rect(x, raw_top - 14, gap, war_bottom - raw_top + 18, "#ffffff");
        out += line(x + 8, war_bottom + 4, x + 16, raw_top - 14, "#999999");
        out += line(x + gap - 16, war_bottom + 4, x + gap - 8, raw_top - 14, "#999999");
        out += text(x + gap / 2, (raw_top + war_bottom) / 2,
                    format("%lld", static_cast<long long>(s.parts[k].first - s.parts[k - 1].end)),
                    "middle", "#777777");
    }
    out += line(left, war_bottom, right, war_bottom, "#aaaaaa", "stroke-width=\"0.5\"");
    out += text(left - 4, y_of(255) + 4, "255", "end");
    out += text(left - 4, y_of(128) + 4, "128", "end");
    out += text(left - 4, y_of(0) + 4, "0", "end");
    out += text(left - 4, war_bottom - 4, "on/off", "end");

    // Bit starts, and each bit's class and length above it.
    const int64_t shown_first = s.parts.empty() ? 0 : s.parts.front().first;
    const int64_t shown_end = s.parts.empty() ? 0 : s.parts.back().end;
    for (const WalkedBit& b : s.bits) {
        for (int64_t at : {b.start, b.end}) {
            if (at < shown_first || at >= shown_end) continue;
            const double x = x_of(static_cast<double>(at));
            out += line(x, raw_top - 14, x, war_bottom + 4, "#666666", "stroke-width=\"0.8\"");
        }
        // The label goes over the first part the bit shows in, not across a gap.
        int64_t label_end = std::min(b.end, shown_end);
        for (const StripPart& part : s.parts) {
            if (b.end > part.first && b.start < part.end) {
                label_end = std::min(label_end, part.end);
                break;
            }
        }
        const double x0 = x_of(static_cast<double>(std::max(b.start, shown_first)));
        const double x1 = x_of(static_cast<double>(label_end));
        if (x1 - x0 < 14) continue;
        const std::string label = x1 - x0 >= 46
                                      ? format("%c %lld", b.bit, static_cast<long long>(b.length))
                                      : std::string(1, b.bit);
        out += text((x0 + x1) / 2, raw_top - 4, label, "middle",
                    b.bit == '?' ? colour_unknown : "#333333");
    }

    // The ruler: the bit's length against the two ranges (a length far beyond them is drawn
    // at the end of the ruler, pointing on).
    const double top_len = static_cast<double>(std::max(
        {a.ranges.one_high, a.ranges.zero_high, int64_t{a.calibration.one_length}, int64_t{1}}));
    const double span = top_len * 1.6;
    out += range_bands(a.ranges, span, ruler_y - 14, ruler_y);
    const double e = static_cast<double>(s.unknown.length);
    if (e <= span) {
        const double ex = left + std::max(e, 0.0) * plot_w / span;
        out +=
            format("<path d=\"M%.1f %.1fl-5 -9h10z\" fill=\"%s\"/>", ex, ruler_y, colour_unknown);
    } else {
        out += format("<path d=\"M%.1f %.1fl-9 -5v10z\" fill=\"%s\"/>", right + 8, ruler_y - 7,
                      colour_unknown);
    }
    std::string label =
        format("length %lld against the %s", static_cast<long long>(s.unknown.length),
               ranges_text(a.ranges).c_str());
    if (s.parts.size() > 1) {
        label = format("%lld samples in the middle left out; ",
                       static_cast<long long>(s.parts[1].first - s.parts[0].end)) +
                label;
    }
    out += x_axis(0, span, ruler_y, label);
    return out + "</svg>";
}
