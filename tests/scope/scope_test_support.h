// What the zx81scope tests share: recordings made by the tape-signal generator and damaged on
// purpose, running both executables, and reading the numbers back from their output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scope/analysis.h"
#include "support/test_support.h"

/// "test", the last code marked.
extern const std::vector<uint8_t> scope_name_test;

/// `size` program bytes in a fixed pattern.
std::vector<uint8_t> scope_program(std::size_t size);

/// A clean recording of `scope_name_test` and `scope_program(size)` at 22050 samples a second,
/// 20 ms of silence at either end.
std::vector<uint8_t> clean_recording(std::size_t size, int amplitude = 100);

/// The sample index of the start of bit `n` (0 = the first bit of the name) in such a
/// recording.
int64_t bit_start_sample(std::size_t size, int64_t n);

/// Whether bit `n` of the recording of `scope_program(size)` is a 1 bit.
bool bit_is_one(std::size_t size, int64_t n);

/// Replaces samples [first, end) by near silence: a dropout.
void dropout(std::vector<uint8_t>& samples, int64_t first, int64_t end);

/// Makes the 1 bit `n` a burst of `pulses` pulses (fewer than nine) by silencing the rest.
void cut_pulses(std::vector<uint8_t>& samples, std::size_t size, int64_t n, int pulses);

/// zx81scope run in `cwd`; argument 0 is "zx81scope".
RunResult run_zx81scope(const std::vector<std::string>& args, const std::string& cwd);

/// What zx81tape printed about a recording.
struct ConverterNumbers {
    int64_t longest_pause = -1; // from the -m line, when it was given
    int64_t shortest_pause = -1, zero_length = -1, one_length = -1;
    std::vector<int64_t> unknown; // nsample of every unknown bit
    std::string saved_name;
};
ConverterNumbers parse_converter(const std::string& out);

/// What a report says.
struct ReportNumbers {
    int64_t longest_pause = -1, shortest_pause = -1, zero_length = -1, one_length = -1, bits = -1,
            unknown = -1;
    std::string saved_name;
    std::vector<int64_t> strips; // nsample of every strip, in order
};
ReportNumbers parse_report(const std::string& html);

/// The text of the element with this id, or "" when there is none.
std::string report_value(const std::string& html, const std::string& id);

/// The analysis of `samples`, written to tape.raw in `dir` and read back as zx81scope reads it.
ScopeAnalysis analysis_of(const std::vector<uint8_t>& samples, const ScopeSettings& settings,
                          const ScratchDir& dir);
