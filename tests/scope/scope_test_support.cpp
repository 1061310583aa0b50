#include "scope_test_support.h"

#include <cmath>

#include <gtest/gtest.h>

#include "scope/recording.h"
#include "tape/tape_signal.h"

const std::vector<uint8_t> scope_name_test{0x39, 0x2A, 0x38, 0xB9};

namespace {
constexpr int rate = 22050;
constexpr double lead_ms = 20;

int64_t sample_at(double us) {
    return std::llround(us * rate / 1e6);
}
} // namespace

std::vector<uint8_t> scope_program(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 37 + 5);
    return bytes;
}

std::vector<uint8_t> clean_recording(std::size_t size, int amplitude) {
    TapeSignal signal;
    signal.rate = rate;
    signal.amplitude = amplitude;
    signal.lead_ms = lead_ms;
    signal.trail_ms = 20;
    return tape_recording(signal, scope_name_test, scope_program(size));
}

namespace {

std::vector<uint8_t> tape_bytes(std::size_t size) {
    std::vector<uint8_t> bytes(scope_name_test);
    const std::vector<uint8_t> program = scope_program(size);
    bytes.insert(bytes.end(), program.begin(), program.end());
    return bytes;
}

bool bit_of(const std::vector<uint8_t>& bytes, int64_t n) {
    return (bytes[static_cast<std::size_t>(n / 8)] >> (7 - n % 8)) & 1;
}

double bit_start_us(std::size_t size, int64_t n) {
    const std::vector<uint8_t> bytes = tape_bytes(size);
    double us = lead_ms * 1000;
    for (int64_t k = 0; k < n; ++k) {
        const int pulses = bit_of(bytes, k) ? one_bit_pulses : zero_bit_pulses;
        us += pulses * (pulse_high_us + pulse_low_us) + bit_pause_us;
    }
    return us;
}

} // namespace

bool bit_is_one(std::size_t size, int64_t n) {
    return bit_of(tape_bytes(size), n);
}

int64_t bit_start_sample(std::size_t size, int64_t n) {
    return sample_at(bit_start_us(size, n));
}

void dropout(std::vector<uint8_t>& samples, int64_t first, int64_t end) {
    for (int64_t i = first; i < end; ++i)
        samples[static_cast<std::size_t>(i)] = 128 + i % 3;
}

void cut_pulses(std::vector<uint8_t>& samples, std::size_t size, int64_t n, int pulses) {
    const double start = bit_start_us(size, n);
    const double period = pulse_high_us + pulse_low_us;
    for (int64_t i = sample_at(start + pulses * period);
         i < sample_at(start + one_bit_pulses * period); ++i) {
        samples[static_cast<std::size_t>(i)] = 128;
    }
}

RunResult run_zx81scope(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{"zx81scope"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81SCOPE_PATH, argv, cwd);
}

namespace {

// The decimal number that starts at `at` (-1 when there is none); `at` moves past it.
int64_t number_at(const std::string& text, std::size_t& at) {
    int64_t v = -1;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        v = (v < 0 ? 0 : v * 10) + (text[at++] - '0');
    }
    return v;
}

// The number after every occurrence of `prefix`, in order.
std::vector<int64_t> numbers_after(const std::string& text, const std::string& prefix) {
    std::vector<int64_t> found;
    for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
        at += prefix.size();
        found.push_back(number_at(text, at));
    }
    return found;
}

} // namespace

ConverterNumbers parse_converter(const std::string& out) {
    ConverterNumbers c;
    // "nplat = 19 n0=55 n1=88": the last such line holds the lengths.
    for (std::size_t at = out.find("\nnplat = "); at != std::string::npos;
         at = out.find("\nnplat = ", at + 1)) {
        std::size_t p = at + 9;
        const int64_t shortest_pause = number_at(out, p);
        if (out.compare(p, 4, " n0=") != 0) continue;
        p += 4;
        const int64_t zero_length = number_at(out, p);
        if (out.compare(p, 4, " n1=") != 0) continue;
        p += 4;
        c.shortest_pause = shortest_pause;
        c.zero_length = zero_length;
        c.one_length = number_at(out, p);
    }
    c.unknown = numbers_after(out, "unknown bit, nsample=");
    const std::vector<int64_t> longest_pause = numbers_after(out, " nfill=");
    if (!longest_pause.empty()) c.longest_pause = longest_pause.front();
    const std::size_t name = out.find("ZxName=[");
    if (name != std::string::npos) {
        const std::size_t end = out.find(']', name);
        c.saved_name = out.substr(name + 8, end - name - 8);
    }
    return c;
}

std::string report_value(const std::string& html, const std::string& id) {
    const std::string key = "id=\"" + id + "\">";
    const std::size_t at = html.find(key);
    if (at == std::string::npos) return "";
    const std::size_t first = at + key.size();
    return html.substr(first, html.find('<', first) - first);
}

ReportNumbers parse_report(const std::string& html) {
    ReportNumbers r;
    const auto number = [&](const char* id) {
        const std::string v = report_value(html, id);
        return v.empty() ? int64_t{-1} : std::stoll(v);
    };
    r.longest_pause = number("nfill");
    r.shortest_pause = number("nplat");
    r.zero_length = number("n0");
    r.one_length = number("n1");
    r.bits = number("bits");
    r.unknown = number("unknown");
    r.saved_name = report_value(html, "saved-name");
    r.strips = numbers_after(html, "data-nsample=\"");
    return r;
}

ScopeAnalysis analysis_of(const std::vector<uint8_t>& samples, const ScopeSettings& settings,
                          const ScratchDir& dir) {
    write_file(dir / "tape.raw", samples);
    Recording rec;
    EXPECT_TRUE(open_recording(rec, dir / "tape.raw"));
    ScopeAnalysis a;
    EXPECT_TRUE(analyse_recording(rec, settings, a));
    close_recording(rec);
    return a;
}
