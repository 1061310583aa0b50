// A report opened in a real browser: headless Chromium loads a damaged recording's report
// from a file and takes a screenshot; any message on the page's console fails the test (the
// report runs no script and loads nothing, so there should be none). Skipped when no browser
// is installed. With ZX81SCOPE_SCREENSHOT set, the screenshot is also copied there (this is
// how docs/zx81scope.png is made).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <unistd.h>

#include "scope_test_support.h"

namespace {

std::string find_browser() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

struct Screenshot {
    RunResult run;
    std::vector<std::string> console; // console and uncaught-error lines of the browser's log
    std::vector<uint8_t> png;
};

Screenshot screenshot(const std::string& browser, const ScratchDir& dir, const std::string& page) {
    Screenshot shot;
    shot.run = run_program(
        "/usr/bin/timeout",
        {"timeout", "120", browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
         "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--user-data-dir=" + (dir / "profile"), "--enable-logging=stderr",
         "--v=0", "--screenshot=" + (dir / "shot.png"), "--window-size=1200,1600",
         "file://" + (dir / page)},
        dir.path());
    std::istringstream log(shot.run.err);
    for (std::string line; std::getline(log, line);) {
        if (line.find(":CONSOLE") != std::string::npos ||
            line.find("Uncaught") != std::string::npos) {
            shot.console.push_back(line);
        }
    }
    if (exists(dir / "shot.png")) shot.png = read_file(dir / "shot.png");
    return shot;
}

uint32_t big_endian(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

} // namespace

TEST(ScopeBrowser, TheConsoleCheckCatchesAPageWithAnError) {
    const std::string browser = find_browser();
    if (browser.empty()) GTEST_SKIP() << "no Chromium installed";
    ScratchDir dir;
    write_text(dir / "bad.html", "<!DOCTYPE html><html><body><p>x</p>"
                                 "<script>no_such_function();</script></body></html>");
    const Screenshot shot = screenshot(browser, dir, "bad.html");
    EXPECT_EQ(shot.run.status, 0) << shot.run.err;
    EXPECT_FALSE(shot.console.empty());
}

TEST(ScopeBrowser, ADamagedRecordingsReportOpensWithoutAnyConsoleMessage) {
    const std::string browser = find_browser();
    if (browser.empty()) GTEST_SKIP() << "no Chromium installed";
    ScratchDir dir;
    // A dropout in a burst, and a 1 bit with six pulses.
    std::vector<uint8_t> samples = clean_recording(400);
    const int64_t first = bit_start_sample(400, 700) + 12;
    dropout(samples, first, first + 500);
    int64_t n = 2900;
    while (!bit_is_one(400, n))
        ++n;
    cut_pulses(samples, 400, n, 6);
    write_file(dir / "damaged.raw", samples);
    const RunResult r = run_zx81scope({"damaged.raw"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;

    const Screenshot shot = screenshot(browser, dir, "damaged.html");
    EXPECT_EQ(shot.run.status, 0) << shot.run.err;
    EXPECT_TRUE(shot.console.empty()) << shot.console.front();
    // A PNG of the window's size.
    ASSERT_GT(shot.png.size(), 24u);
    EXPECT_EQ(std::string(shot.png.begin(), shot.png.begin() + 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(big_endian(shot.png, 16), 1200u);
    EXPECT_EQ(big_endian(shot.png, 20), 1600u);

    if (const char* copy = std::getenv("ZX81SCOPE_SCREENSHOT")) write_file(copy, shot.png);
}
