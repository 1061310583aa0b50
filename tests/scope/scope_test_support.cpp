#include "scope_test_support.h"

#include <cmath>
#include <regex>

#include "tape/tape_signal.h"

const std::vector<uint8_t> scope_name_test{0x39, 0x2A, 0x38, 0xB9};

namespace {
constexpr int rate = 22050;
constexpr double lead_ms = 20;

int64_t sample_at(double us) { return std::llround(us * rate / 1e6); }
} // namespace

std::vector<uint8_t> scope_program(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 5);
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

bool bit_is_one(std::size_t size, int64_t n) { return bit_of(tape_bytes(size), n); }

int64_t bit_start_sample(std::size_t size, int64_t n) { return sample_at(bit_start_us(size, n)); }

void dropout(std::vector<uint8_t>& samples, int64_t first, int64_t end) {
    for (int64_t i = first; i < end; ++i) samples[static_cast<std::size_t>(i)] = 128 + i % 3;
}

void cut_pulses(std::vector<uint8_t>& samples, std::size_t size, int64_t n, int pulses) {
    const double start = bit_start_us(size, n);
    const double period = pulse_high_us + pulse_low_us;
    for (int64_t i = sample_at(start + pulses * period); i < sample_at(start + one_bit_pulses * period);
         ++i) {
        samples[static_cast<std::size_t>(i)] = 128;
    }
}

RunResult run_zx81scope(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{"zx81scope"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81SCOPE_PATH, argv, cwd);
}

ConverterNumbers parse_converter(const std::string& out) {
    ConverterNumbers c;
    std::smatch m;
    const std::regex lengths("nplat = (\\d+) n0=(\\d+) n1=(\\d+)");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), lengths); it != std::sregex_iterator(); ++it) {
        c.nplat = std::stoll((*it)[1]);
        c.n0 = std::stoll((*it)[2]);
        c.n1 = std::stoll((*it)[3]);
    }
    const std::regex unknown("unknown bit, nsample=(\\d+) in war file\n");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), unknown); it != std::sregex_iterator(); ++it) {
        c.unknown.push_back(std::stoll((*it)[1]));
    }
    if (std::regex_search(out, m, std::regex("treshhold=\\d+ bread=\\d+ nfill=(\\d+)\n"))) {
        c.nfill = std::stoll(m[1]);
    }
    if (std::regex_search(out, m, std::regex("ZxName=\\[([^\\]]*)\\]"))) c.saved_name = m[1];
    return c;
}

std::string report_value(const std::string& html, const std::string& id) {
    std::smatch m;
    if (!std::regex_search(html, m, std::regex("id=\"" + id + "\">([^<]*)<"))) return "";
    return m[1];
}

ReportNumbers parse_report(const std::string& html) {
    ReportNumbers r;
    const auto number = [&](const char* id) {
        const std::string v = report_value(html, id);
        return v.empty() ? int64_t{-1} : std::stoll(v);
    };
    r.nfill = number("nfill");
    r.nplat = number("nplat");
    r.n0 = number("n0");
    r.n1 = number("n1");
    r.bits = number("bits");
    r.unknown = number("unknown");
    r.saved_name = report_value(html, "saved-name");
    const std::regex strip("data-nsample=\"(\\d+)\"");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), strip); it != std::sregex_iterator(); ++it) {
        r.strips.push_back(std::stoll((*it)[1]));
    }
    return r;
}
