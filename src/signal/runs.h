// Scanning a buffer of on/off samples a machine word at a time. Every sample is a byte:
// zero is off, anything else is on. The walks of the gap fill and of the bit classifier only
// act where the signal changes between on and off, so they jump from change to change.
//
// Two views of the samples:
//   - a word of 8 samples turned into a mask with the high bit of each byte set when that
//     byte is on: the lowest set bit of the mask (or of its complement) is the next change,
//     found in one step rather than byte by byte (`find_on`, `find_off`);
//   - a group of 64 samples as one 64-bit mask, bit k for sample k (`on_mask_64`): runs
//     inside a burst are a few samples long, and a whole group of them is handled with a
//     handful of mask operations (`set_on_64` writes filled samples back).
// With SSE2 the group masks take one vector compare per 16 samples; the `_portable` versions
// do the same with integer operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace runs_detail {

constexpr uint64_t highs = 0x8080808080808080ull;
constexpr uint64_t lows7 = 0x7F7F7F7F7F7F7F7Full;

// Whether the word's first byte in memory sits in its low bits, so that the lowest set bit
// of a mask is the first sample; elsewhere the walks fall back to bytes after the word test.
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool word_order_known = true;
inline std::size_t first_marked_byte(uint64_t mask) {
    return static_cast<std::size_t>(__builtin_ctzll(mask)) / 8;
}
#else
constexpr bool word_order_known = false;
inline std::size_t first_marked_byte(uint64_t) { return 0; }
#endif

inline uint64_t load_word(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

} // namespace runs_detail

/// The high bit of each byte of `word` set when that byte is not zero, every other bit clear.
/// Exact for every byte value (no carries between bytes).
inline uint64_t on_bytes(uint64_t word) {
    using namespace runs_detail;
    return (((word & lows7) + lows7) | word) & highs;
}

/// The index of the first on (non-zero) byte in [from, end), or `end` when there is none.
inline std::size_t find_on(const uint8_t* data, std::size_t from, std::size_t end) {
    using namespace runs_detail;
    std::size_t i = from;
    while (i + 8 <= end) {
        const uint64_t mask = on_bytes(load_word(data + i));
        if (mask != 0) {
            if (word_order_known) return i + first_marked_byte(mask);
            break;
        }
        i += 8;
    }
    while (i < end && data[i] == 0) ++i;
    return i;
}

/// The index of the first off (zero) byte in [from, end), or `end` when there is none.
inline std::size_t find_off(const uint8_t* data, std::size_t from, std::size_t end) {
    using namespace runs_detail;
    std::size_t i = from;
    while (i + 8 <= end) {
        const uint64_t mask = ~on_bytes(load_word(data + i)) & highs;
        if (mask != 0) {
            if (word_order_known) return i + first_marked_byte(mask);
            break;
        }
        i += 8;
    }
    while (i < end && data[i] != 0) ++i;
    return i;
}

/// `on_mask_64` with plain integer operations, for machines without SSE2.
inline uint64_t on_mask_64_portable(const uint8_t* data) {
    using namespace runs_detail;
    // Each byte's flag moved to its lowest bit, then all eight gathered into the top byte by
    // one multiplication (the partial products never overlap, so nothing carries).
    constexpr uint64_t gather = 0x0102040810204080ull;
    uint64_t mask = 0;
    for (int w = 0; w < 8; ++w) {
        uint64_t bits = 0;
        if (word_order_known) {
            bits = ((on_bytes(load_word(data + 8 * w)) >> 7) * gather) >> 56;
        } else {
            for (int k = 0; k < 8; ++k) bits |= uint64_t{data[8 * w + k] != 0} << k;
        }
        mask |= bits << (8 * w);
    }
    return mask;
}

/// One bit per sample for the 64 samples at `data`: bit k set when `data[k]` is not zero.
inline uint64_t on_mask_64(const uint8_t* data) {
#if defined(__SSE2__)
    // One compare and one byte-sign gather per 16 samples.
    const auto off_16 = [data](int k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
        return uint64_t{static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())))};
    };
    return ~(off_16(0) | off_16(1) << 16 | off_16(2) << 32 | off_16(3) << 48);
#else
    return on_mask_64_portable(data);
#endif
}

/// The same for the `count` samples at `data` (count at most 64); the higher bits are clear.
inline uint64_t on_mask(const uint8_t* data, std::size_t count) {
    if (count == 64) return on_mask_64(data);
    uint64_t mask = 0;
    for (std::size_t k = 0; k < count; ++k) mask |= uint64_t{data[k] != 0} << k;
    return mask;
}

/// The index of the lowest set bit of a mask that is not zero.
inline int lowest_bit(uint64_t mask) {
#if defined(__GNUC__)
    return __builtin_ctzll(mask);
#else
    int k = 0;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++k;
    }
    return k;
#endif
}

/// The index of the highest set bit of a mask that is not zero.
inline int highest_bit(uint64_t mask) {
#if defined(__GNUC__)
    return 63 - __builtin_clzll(mask);
#else
    int k = 0;
    while (mask >>= 1) ++k;
    return k;
#endif
}

/// The bits [first, end) of a mask, 0 <= first <= end <= 63.
inline uint64_t bit_range(int first, int end) {
    return ((uint64_t{1} << end) - 1) & ~((uint64_t{1} << first) - 1);
}

/// The samples of a group of `count` (1 to 64) where the signal changes between off and on:
/// bit k is set when sample k differs from the one before it. `last_on` is 1 when the sample
/// before the group was on, and becomes the state of the group's last sample.
inline uint64_t change_mask(uint64_t on, std::size_t count, uint64_t& last_on) {
    const uint64_t valid = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    const uint64_t changes = (on ^ ((on << 1) | last_on)) & valid;
    last_on = (on >> (count - 1)) & 1;
    return changes;
}

/// Whether `mask` holds `length` set bits in a row (a length of 0 or less always holds).
inline bool has_run_of(uint64_t mask, int64_t length) {
    if (length <= 0) return true;
    if (length > 64) return false;
    // After each step bit j stays set only when bits j .. j + covered - 1 all are.
    int64_t covered = 1;
    while (covered < length && mask != 0) {
        const int64_t step = covered < length - covered ? covered : length - covered;
        mask &= mask >> step;
        covered += step;
    }
    return mask != 0;
}

/// `set_on_64` with plain integer operations, for machines without SSE2.
inline void set_on_64_portable(uint8_t* data, uint64_t mask) {
    using namespace runs_detail;
    constexpr uint64_t spread = 0x0101010101010101ull;
    constexpr uint64_t own_bit = 0x8040201008040201ull;
    for (int w = 0; w < 8 && mask != 0; ++w, mask >>= 8) {
        const uint64_t bits = mask & 0xFF;
        if (bits == 0) continue;
        if (word_order_known) {
            // Byte k keeps bit k of the eight, then every marked byte becomes 0xF0.
            const uint64_t marked = on_bytes((bits * spread) & own_bit) >> 7;
            const uint64_t word = load_word(data + 8 * w) | (marked * 0xF0);
            std::memcpy(data + 8 * w, &word, 8);
        } else {
            for (int k = 0; k < 8; ++k) {
                if ((bits >> k) & 1) data[8 * w + k] = 0xF0;
            }
        }
    }
}

/// Sets to on (0xF0) the samples at `data` whose bits are set in `mask`; every sample whose bit
/// is clear keeps its byte. The 64 bytes at `data` must all lie in the buffer.
inline void set_on_64(uint8_t* data, uint64_t mask) {
#if defined(__SSE2__)
    // Each mask byte copied to the 8 samples it covers, then each sample keeps its own bit.
    const __m128i own_bit = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    const __m128i on = _mm_set1_epi8(static_cast<char>(0xF0));
    const auto set_16 = [&](int k) {
        __m128i bits = _mm_cvtsi32_si128(static_cast<int>((mask >> (16 * k)) & 0xFFFF));
        bits = _mm_unpacklo_epi8(bits, bits);  // b0 b0 b1 b1
        bits = _mm_unpacklo_epi16(bits, bits); // b0 x4, b1 x4
        bits = _mm_unpacklo_epi32(bits, bits); // b0 x8, b1 x8
        const __m128i marked = _mm_cmpeq_epi8(_mm_and_si128(bits, own_bit), own_bit);
        auto* p = reinterpret_cast<__m128i*>(data + 16 * k);
        _mm_storeu_si128(p, _mm_or_si128(_mm_loadu_si128(p), _mm_and_si128(marked, on)));
    };
    set_16(0);
    set_16(1);
    set_16(2);
    set_16(3);
#else
    set_on_64_portable(data, mask);
#endif
}
