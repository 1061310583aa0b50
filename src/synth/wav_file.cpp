#include "synth/wav_file.h"

#include <cmath>
#include <cstring>

void put_le16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void put_le32(uint8_t* at, uint32_t value) {
    put_le16(at, value & 0xFFFF);
    put_le16(at + 2, value >> 16);
}

uint32_t get_le16(const uint8_t* at) { return at[0] | static_cast<uint32_t>(at[1]) << 8; }

uint32_t get_le32(const uint8_t* at) { return get_le16(at) | get_le16(at + 2) << 16; }

uint64_t wav_data_size(int64_t samples, int bits) {
    return static_cast<uint64_t>(samples) * static_cast<uint64_t>(bits / 8);
}

bool wav_fits(int64_t samples, int bits) {
    const uint64_t data = wav_data_size(samples, bits);
    return samples >= 0 && 36 + data + (data & 1) <= 0xFFFFFFFFull;
}

std::array<uint8_t, wav_header_size> wav_header(int rate, int bits, int64_t samples) {
    std::array<uint8_t, wav_header_size> h{};
    const auto data = static_cast<uint32_t>(wav_data_size(samples, bits));
    const uint32_t bytes = static_cast<uint32_t>(bits / 8);
    std::memcpy(&h[0], "RIFF", 4);
    put_le32(&h[4], 36 + data + (data & 1));
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    put_le32(&h[16], 16);
    put_le16(&h[20], 1);
    put_le16(&h[22], 1);
    put_le32(&h[24], static_cast<uint32_t>(rate));
    put_le32(&h[28], static_cast<uint32_t>(rate) * bytes);
    put_le16(&h[32], bytes);
    put_le16(&h[34], static_cast<uint32_t>(bits));
    std::memcpy(&h[36], "data", 4);
    put_le32(&h[40], data);
    return h;
}

uint8_t sample_u8(double value) {
    const double v = std::nearbyint(128.0 + value);
    return static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
}

int16_t sample_s16(double value) {
    const double v = std::nearbyint(256.0 * value);
    return static_cast<int16_t>(v < -32768.0 ? -32768.0 : (v > 32767.0 ? 32767.0 : v));
}

std::size_t encode_samples(const double* samples, std::size_t count, int bits, uint8_t* out) {
    if (bits == 8) {
        for (std::size_t i = 0; i < count; ++i) out[i] = sample_u8(samples[i]);
        return count;
    }
    for (std::size_t i = 0; i < count; ++i) {
        put_le16(out + 2 * i, static_cast<uint16_t>(sample_s16(samples[i])));
    }
    return 2 * count;
}
