// The run's settings: one record, filled from the command line before the first stage and
// only read afterwards.
#pragma once

#include <cstdint>
#include <string>

/// Where a run starts, chosen by the input's extension. The values are the numbers of the
/// steps skipped before it (the name step and the P step count as one).
enum class StartStage : int32_t {
    recording = 0, ///< any other extension: the war step, then the rest
    bit_file = 2,  ///< .b...: the name step and the P step, from the bit file
    p_file = 3,    ///< .p...: nothing to do
};

struct RunSettings {
    int unknown_as_zero = 0;  // -i: an unknown bit becomes 0 in the P file
    int unknown_as_one = 0;   // -o: an unknown bit becomes 1 (when -i is not given)
    int use_saved_name = 1;   // -z: name the P file after the name saved on the tape
    int use_given_name = 0;   // -f: name the P file after `given_p_name`
    int restart = 0;          // -r: rebuild every intermediate file
    int listing = 0;          // -l: accepted for compatibility; nothing reads it
    int clean_up = 0;         // -c: remove the war and bit files at the end
    int verbose = 0;          // -m: report the pause measurement of every block
    int32_t threshold = 30;          // n=NN: the smallest level that counts as signal
    int32_t tolerance_divisor = 3;   // k=NN: bit-length tolerance is (n1 - n0) / k
    StartStage start_stage = StartStage::recording; // set from the input's extension
    int overwrite_p = 0;      // -p: rebuild an existing P file
    int overwrite_bit = 0;    // -b: rebuild an existing bit file
    std::string given_p_name; // the name after -f, as typed
};

/// Reads a decimal integer as `n=` and `k=` do: leading white space, one optional sign, the
/// digits up to the first non-digit; no digits gives 0, and a value beyond the 32-bit range
/// saturates to the nearest limit.
int32_t parse_option_value(const char* text);

/// Fills `settings` from arguments 2 to argc-1 (argument 1 is the input and never an option).
/// Every report of an unknown option or a `-f` without a name is appended to `reports`, one
/// line each, in order.
void parse_options(int argc, const char* const* argv, RunSettings& settings,
                   std::string& reports);
