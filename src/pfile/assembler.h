// From bit-file text to the bytes of the tape.
//
// Eight bits make a byte, the first bit most significant. The first `drop` bytes (the saved
// name) are discarded; every later byte belongs to the P file. An unknown bit '?' becomes 0
// (-i), 1 (-o), or, by default, no bit at all: it is counted and reported, and the bits
// after it fall into different groups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class UnknownBitPolicy {
    stop,    // leave the bit out and report it (the default)
    as_zero, // -i
    as_one,  // -o
};

/// The policy the options choose; -i wins over -o.
inline UnknownBitPolicy unknown_bit_policy(int unknown_as_zero, int unknown_as_one) {
    if (unknown_as_zero) return UnknownBitPolicy::as_zero;
    if (unknown_as_one) return UnknownBitPolicy::as_one;
    return UnknownBitPolicy::stop;
}

struct ByteAssembler {
    UnknownBitPolicy policy = UnknownBitPolicy::stop;
    int64_t drop = 0;      // bytes still to discard
    unsigned group = 0;    // bits of the byte being assembled
    int group_bits = 0;    // how many bits `group` holds
    int64_t stored = 0;    // bytes stored so far (printed as cnt)
    int64_t errors = 0;    // unknown bits met under the stopping policy
};

/// Reads bit-file text, appending every stored byte to `bytes` and, under the stopping policy,
/// the value of `stored` at every unknown bit to `left_out_at`. A final group of fewer than 8
/// bits simply stays in the assembler.
void assemble_bytes(ByteAssembler& a, const char* text, std::size_t size, std::string& bytes,
                    std::vector<int64_t>& left_out_at);
