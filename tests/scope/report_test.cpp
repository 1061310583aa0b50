// The report page and its pictures: well formed, self-contained, and saying what the
// analysis found. Also the well-formedness checker itself, on documents it must refuse.
#include "scope/report.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scope/charts.h"
#include "scope/report_files.h"
#include "scope_test_support.h"
#include "well_formed.h"

namespace {

std::vector<uint8_t> damaged_recording() {
    std::vector<uint8_t> samples = clean_recording(300);
    int64_t n = 300;
    while (!bit_is_one(300, n))
        ++n;
    cut_pulses(samples, 300, n, 6);
    dropout(samples, bit_start_sample(300, 900) + 10, bit_start_sample(300, 900) + 400);
    return samples;
}

// Nothing in the page may be fetched or run.
void expect_self_contained(const std::string& html) {
    std::string rest = html;
    for (const char* ns : {"http://www.w3.org/1999/xhtml", "http://www.w3.org/2000/svg"}) {
        for (std::size_t at; (at = rest.find(ns)) != std::string::npos;)
            rest.erase(at, std::strlen(ns));
    }
    for (const char* bad : {"http:", "https:", "//", "<script", "src=", "url(", "@import",
                            "on"
                            "load="}) {
        EXPECT_EQ(rest.find(bad), std::string::npos) << bad;
    }
}

} // namespace

TEST(WellFormed, AcceptsWellFormedDocuments) {
    const char* good[] = {
        "<a/>",
        ("<!DOCTYPE html>\n<html><body><p class=\"x\" id='y'>a &amp; b &#38; "
         "&#x26;</p></body></html>\n"),
        "<?xml version=\"1.0\"?>\n<svg><g><rect x=\"1\"/></g><!-- a comment --></svg>",
    };
    for (const char* doc : good)
        EXPECT_EQ(xml_problem(doc), "") << doc;
}

TEST(WellFormed, RefusesEveryKindOfFault) {
    const char* bad[] = {
        "",                       // no root
        "<a>",                    // never closed
        "<a></b>",                // wrong close
        "<a><b></a></b>",         // misnested
        "<a x=1/>",               // unquoted
        "<a x=\"1\" x=\"2\"/>",   // twice
        "<a x=\"<\"/>",           // '<' in a value
        "<a>fish & chips</a>",    // stray '&'
        "<a>&nbsp;</a>",          // not an XML entity
        "<a/><b/>",               // two roots
        "text<a/>",               // text outside
        "<a x=\"1\"y=\"2\"/>",    // no space between attributes
        "<a><!-- x -- y --></a>", // '--' in a comment
        "<a>&#;</a>",             // empty reference
    };
    for (const char* doc : bad)
        EXPECT_NE(xml_problem(doc), "") << doc;
}

TEST(Report, CleanDamagedAndFailedReportsAreWellFormedAndSelfContained) {
    ScratchDir dir;
    ScopeSettings settings;
    settings.input = "tape.raw";
    const std::vector<std::vector<uint8_t>> recordings = {
        clean_recording(300), damaged_recording(), clean_recording(100, 12), {}};
    for (const auto& samples : recordings) {
        SCOPED_TRACE(samples.size());
        const ScopeAnalysis a = analysis_of(samples, settings, dir);
        const std::string html = report_html(a, settings);
        EXPECT_EQ(xml_problem(html), "");
        EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
        expect_self_contained(html);
        for (const std::string& svg :
             {overview_svg(a, 30, false), periods_svg(a), lengths_svg(a)}) {
            EXPECT_EQ(xml_problem(svg), "");
        }
        for (const Strip& s : a.strips)
            EXPECT_EQ(xml_problem(strip_svg(a, s, 30)), "");
    }
}

TEST(Report, TheNumbersAreTheAnalysisNumbers) {
    ScratchDir dir;
    ScopeSettings settings;
    settings.input = "tape.raw";
    const ScopeAnalysis a = analysis_of(damaged_recording(), settings, dir);
    const std::string html = report_html(a, settings);
    const ReportNumbers r = parse_report(html);
    EXPECT_EQ(r.longest_pause, a.calibration.longest_pause);
    EXPECT_EQ(r.shortest_pause, a.shortest_pause);
    EXPECT_EQ(r.zero_length, a.calibration.zero_length);
    EXPECT_EQ(r.one_length, a.calibration.one_length);
    EXPECT_EQ(r.bits, a.bits);
    EXPECT_EQ(r.unknown, a.unknown);
    EXPECT_EQ(r.saved_name, "test");
    ASSERT_EQ(r.strips.size(), a.strips.size());
    ASSERT_GE(r.strips.size(), 2u);
    for (std::size_t i = 0; i < r.strips.size(); ++i)
        EXPECT_EQ(r.strips[i], a.strips[i].unknown.end);
    EXPECT_EQ(report_value(html, "zero-range"), "44..66");
    EXPECT_EQ(report_value(html, "one-range"), "77..99");
    EXPECT_EQ(report_value(html, "threshold"), "30");
    EXPECT_EQ(report_value(html, "tolerance"), "3");
    // Each strip is linked from the overview.
    for (const Strip& s : a.strips) {
        EXPECT_NE(html.find("href=\"#strip-" + std::to_string(s.number) + "\""), std::string::npos);
    }
}

TEST(Report, ACleanReportHasNoStripAndSaysSo) {
    ScratchDir dir;
    ScopeSettings settings;
    settings.input = "tape.raw";
    const std::string html =
        report_html(analysis_of(clean_recording(300), settings, dir), settings);
    EXPECT_EQ(html.find("class=\"strip\""), std::string::npos);
    EXPECT_EQ(report_value(html, "strips"), "No unknown bits in the range shown.");
    EXPECT_EQ(report_value(html, "verdict"), "Every bit fell in one of the two ranges.");
}

TEST(Report, AFailedCalibrationIsExplained) {
    ScratchDir dir;
    ScopeSettings settings;
    settings.input = "tape.raw";
    const std::string html =
        report_html(analysis_of(clean_recording(100, 12), settings, dir), settings);
    EXPECT_NE(report_value(html, "verdict").find("Could not compute 0,1 bit length in samples"),
              std::string::npos);
    EXPECT_EQ(report_value(html, "n0"), "0");
    EXPECT_EQ(report_value(html, "bits"), "");
}

TEST(Report, NamesAreEscaped) {
    ScratchDir dir;
    ScopeSettings settings;
    settings.input = "a&b<c>\"d'.raw";
    const std::string html = report_html(analysis_of(clean_recording(50), settings, dir), settings);
    EXPECT_EQ(xml_problem(html), "");
    EXPECT_EQ(report_value(html, "file"), "a&amp;b&lt;c&gt;&quot;d&#39;.raw");
}

TEST(Charts, EscapeXml) {
    EXPECT_EQ(escape_xml("a<b>&\"'"), "a&lt;b&gt;&amp;&quot;&#39;");
    EXPECT_EQ(escape_xml(std::string("x\x01y")), "x?y");
}

TEST(Charts, OnLevelsAreWhereTheThresholdStartsToCount) {
    struct Case {
        int32_t threshold;
        int high, low;
    };
    const Case cases[] = {
        {30, 143, 112}, {0, 128, 127}, {1, 129, 126}, {254, 255, 0}, {255, -1, -1}};
    for (const Case& c : cases) {
        const OnLevels on = on_levels(c.threshold);
        EXPECT_EQ(on.high, c.high) << c.threshold;
        EXPECT_EQ(on.low, c.low) << c.threshold;
    }
}

TEST(ScopeRun, ReportStemDropsOnlyTheLastExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"tape.raw", "tape"},   {"dir/tape.raw", "dir/tape"}, {"dir.d/tape", "dir.d/tape"},
        {"a/b.c.raw", "a/b.c"}, {".hidden", ".hidden"},       {"tape", "tape"}};
    for (const auto& [name, stem] : cases)
        EXPECT_EQ(report_stem(name), stem) << name;
}
