// Scanning a buffer of on/off samples a machine word at a time. Every sample is a byte:
// zero is off, anything else is on. The walks of the gap fill and of the bit classifier only
// act where the signal changes between on and off, so they jump from change to change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

/// The index of the first on (non-zero) byte in [from, end), or `end` when there is none.
inline std::size_t find_on(const uint8_t* data, std::size_t from, std::size_t end) {
    std::size_t i = from;
    while (i + 8 <= end) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        if (word != 0) break;
        i += 8;
    }
    while (i < end && data[i] == 0) ++i;
    return i;
}

/// The index of the first off (zero) byte in [from, end), or `end` when there is none.
inline std::size_t find_off(const uint8_t* data, std::size_t from, std::size_t end) {
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    std::size_t i = from;
    while (i + 8 <= end) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        // Non-zero when some byte of the word is zero.
        if (((word - ones) & ~word & highs) != 0) break;
        i += 8;
    }
    while (i < end && data[i] != 0) ++i;
    return i;
}
