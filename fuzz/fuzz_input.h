// Cutting a fuzzer's input into the values a target needs: fixed-size fields from the front,
// the rest as the data. A field past the end of the input reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

struct FuzzInput {
    const uint8_t* data;
    std::size_t size;

    uint8_t take_u8() {
        if (size == 0) return 0;
        const uint8_t v = *data++;
        --size;
        return v;
    }
    uint16_t take_u16() {
        const uint16_t lo = take_u8();
        const uint16_t hi = take_u8();
        return static_cast<uint16_t>(lo | hi << 8);
    }
    int32_t take_i32() {
        const uint32_t lo = take_u16();
        const uint32_t hi = take_u16();
        return static_cast<int32_t>(lo | hi << 16);
    }
};

/// Ends the run as a finding when a property of the code under test does not hold.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
