#include "scope/report.h"

#include <cstdio>

#include "scope/charts.h"

namespace {

std::string num(int64_t v) {
    return std::to_string(v);
}

// A table row whose value carries an id.
std::string fact(const std::string& label, const std::string& id, const std::string& value,
                 const std::string& note = "") {
    return "<tr><th>" + label + "</th><td><span id=\"" + id + "\">" + escape_xml(value) +
           "</span>" +
           (note.empty() ? "" : " <span class=\"note\">" + escape_xml(note) + "</span>") +
           "</td></tr>\n";
}

std::string range_text(int64_t lo, int64_t hi) {
    return num(lo) + ".." + num(hi);
}

std::string seconds(double s) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f s", s);
    return buffer;
}

const char* const style =
    "body{font-family:sans-serif;margin:16px 24px;color:#222;max-width:1040px}"
    "h1{font-size:20px}h2{font-size:16px;margin-top:24px}h3{font-size:13px;margin:12px 0 2px}"
    "table.facts{border-collapse:collapse;font-size:13px}"
    "table.facts th{text-align:left;font-weight:normal;color:#555;padding:1px 16px 1px 0}"
    "table.facts td{font-family:monospace;padding:1px 0}"
    ".note{font-family:sans-serif;color:#777}"
    ".alert{background:#fde2e0;border-left:4px solid #d62728;padding:6px 10px}"
    ".fine{background:#e2f0d9;border-left:4px solid #2ca02c;padding:6px 10px}"
    "svg{display:block;max-width:100%;height:auto;border:1px solid #ddd;margin:4px 0}"
    "p.foot{color:#888;font-size:11px;margin-top:32px}";

} // namespace

std::string report_html(const ScopeAnalysis& a, const ScopeSettings& settings) {
    const PulseCalibration& cal = a.calibration;
    std::string h;
    h += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
         "<meta charset=\"utf-8\"/>\n<title>zx81scope: " +
         escape_xml(settings.input) + "</title>\n<style>" + style + "</style>\n</head>\n<body>\n";
    h += "<h1>zx81scope: " + escape_xml(settings.input) + "</h1>\n<table class=\"facts\">\n";
    h += fact("recording", "file", settings.input);
    std::string length_note;
    if (a.file_rate > 0) {
        length_note = num(a.file_rate) + " samples a second, " + seconds(a.length / a.rate);
    } else if (a.rate > 0) {
        length_note = "raw samples; about " + num(static_cast<int64_t>(a.rate + 0.5)) +
                      " samples a second by the bit lengths, about " + seconds(a.length / a.rate);
    } else {
        length_note = "raw samples";
    }
    h += fact("length", "length", num(a.length), "samples; " + length_note);
    if (a.from != 0 || a.to != a.length) {
        h += fact("shown", "shown", range_text(a.from, a.to), "samples, [from, to)");
    }
    h += fact("threshold", "threshold", num(settings.threshold), "as n=");
    h += fact("tolerance", "tolerance", num(settings.tolerance_divisor), "as k=");
    h += fact("nfill", "nfill", num(cal.longest_pause), "the longest pause between two bits");
    h += fact("nplat", "nplat", num(a.shortest_pause), "the shortest pause before a bit start");
    h += fact("n0", "n0", num(cal.zero_length), "samples of a 0 bit");
    h += fact("n1", "n1", num(cal.one_length), "samples of a 1 bit");
    if (a.calibrated) {
        h += fact("0 range", "zero-range", range_text(a.ranges.zero_low, a.ranges.zero_high));
        h += fact("1 range", "one-range", range_text(a.ranges.one_low, a.ranges.one_high));
        h += fact("bits", "bits", num(a.bits),
                  a.bits % 8 == 0 ? num(a.bits / 8) + " bytes"
                                  : num(a.bits / 8) + " bytes and " + num(a.bits % 8) +
                                        " bit(s) over: bits were lost or gained somewhere");
        h += fact("unknown bits", "unknown", num(a.unknown), "'?'");
        h += fact("saved name", "saved-name", a.saved_name,
                  a.saved_name.empty() ? "none found"
                                       : (a.name_complete ? "" : "its last character is missing"));
    }
    h += "</table>\n";

    if (!a.calibrated) {
        h += "<p class=\"alert\" id=\"verdict\">The bit lengths could not be measured, so the "
             "converter stops here (\"Could not compute 0,1 bit length in samples\"). ";
        h += cal.longest_pause == 0
                 ? "No pause between two bits was found in the calibration window: "
                   "look at the overview for silence, a too-high threshold or noise."
                 : "The histogram below shows what the calibration window held.";
        h += "</p>\n";
    } else if (a.unknown == 0) {
        h += "<p class=\"fine\" id=\"verdict\">Every bit fell in one of the two ranges.</p>\n";
    } else {
        h +=
            "<p class=\"alert\" id=\"verdict\">" + num(a.unknown) +
            " bit(s) fell in neither range; each is drawn below with the waveform around it.</p>\n";
    }

    h += "<h2>Overview</h2>\n" + overview_svg(a, settings.threshold, true) + "\n";
    h += "<h2>Calibration</h2>\n" + periods_svg(a) + "\n";
    h += "<h2>Bit lengths</h2>\n" + lengths_svg(a) + "\n";
    if (a.calibrated) {
        h += "<h2>Unknown bits</h2>\n<p id=\"strips\">";
        if (a.shown_unknown == 0) {
            h += "No unknown bits in the range shown.";
        } else {
            h += num(a.shown_unknown) + " unknown bit(s) in the range shown; " +
                 num(static_cast<int64_t>(a.strips.size())) + " drawn";
            const int64_t rest = a.shown_unknown - static_cast<int64_t>(a.strips.size());
            if (rest > 0) h += ", " + num(rest) + " more not drawn (--max-strips)";
            h += ". The shaded bit is the unknown one; nsample is the sample where the next bit "
                 "starts, as the converter reports it.";
        }
        h += "</p>\n";
        for (const Strip& s : a.strips) {
            h += "<div class=\"strip\" id=\"strip-" + num(s.number) + "\" data-nsample=\"" +
                 num(s.unknown.end) + "\" data-length=\"" + num(s.unknown.length) + "\">\n" +
                 strip_svg(a, s, settings.threshold) + "\n</div>\n";
        }
    }
    h += "<p class=\"foot\">zx81scope " ZX81_VERSION "</p>\n</body>\n</html>\n";
    return h;
}

std::string report_summary(const ScopeAnalysis& a, const ScopeSettings& settings) {
    const PulseCalibration& cal = a.calibration;
    std::string s = "nfill=" + num(cal.longest_pause) + " nplat=" + num(a.shortest_pause) +
                    " n0=" + num(cal.zero_length) + " n1=" + num(cal.one_length) + "\n";
    if (!a.calibrated) return s + "the bit lengths could not be measured\n";
    s += "k=" + num(settings.tolerance_divisor) + ": 0 range " +
         range_text(a.ranges.zero_low, a.ranges.zero_high) + ", 1 range " +
         range_text(a.ranges.one_low, a.ranges.one_high) + "\n";
    s += num(a.bits) + " bits, " + num(a.unknown) + " unknown, saved name [" + a.saved_name + "]\n";
    return s;
}
