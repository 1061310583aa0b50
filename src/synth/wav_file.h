// The samples as they are written: headerless unsigned 8-bit (the converter's raw input), or
// a WAV file of 8-bit unsigned or 16-bit signed little-endian PCM, mono.
//
//   offset  size  field                     offset  size  field
//    0      4     "RIFF"                     28      4     bytes per second
//    4      4     36 + data size + pad       32      2     bytes per sample (block align)
//    8      4     "WAVE"                     34      2     bits per sample, 8 or 16
//   12      4     "fmt "                     36      4     "data"
//   16      4     16, the format's size      40      4     data size (samples x bytes)
//   20      2     1, PCM                     44            the samples, then a 0 pad
//   22      2     1 channel                                byte when the data size is odd
//   24      4     samples per second
//
// The sizes are known before the first sample is rendered, so the header is written first
// and the file never needs a second pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t wav_header_size = 44;

/// Stores `value` at `at` as 2 or 4 bytes, least significant first.
void put_le16(uint8_t* at, uint32_t value);
void put_le32(uint8_t* at, uint32_t value);

/// Reads them back.
uint32_t get_le16(const uint8_t* at);
uint32_t get_le32(const uint8_t* at);

/// The bytes of the samples' data, without the pad byte.
uint64_t wav_data_size(int64_t samples, int bits);

/// False when a WAV file cannot hold that many samples (its sizes are 32-bit).
bool wav_fits(int64_t samples, int bits);

/// The header of a WAV file of `samples` samples; `wav_fits` must hold.
std::array<uint8_t, wav_header_size> wav_header(int rate, int bits, int64_t samples);

/// A sample in 8-bit steps around silence as an unsigned 8-bit value: rounded, 128 added,
/// held within 0..255.
uint8_t sample_u8(double value);

/// The same sample as a signed 16-bit value: 256 times the value, rounded, held within the
/// 16-bit range.
int16_t sample_s16(double value);

/// Encodes `count` samples into `out` at `bits` (8 or 16) per sample; returns the bytes
/// written (`count` or twice `count`).
std::size_t encode_samples(const double* samples, std::size_t count, int bits, uint8_t* out);
