#include <gtest/gtest.h>

#include "synth/wav_file.h"

#include <vector>

namespace {

TEST(LittleEndian, StoresLeastSignificantFirst) {
    uint8_t b[4] = {};
    put_le16(b, 0xBEEF);
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(b[1], 0xBE);
    put_le32(b, 0x12345678);
    EXPECT_EQ(b[0], 0x78);
    EXPECT_EQ(b[1], 0x56);
    EXPECT_EQ(b[2], 0x34);
    EXPECT_EQ(b[3], 0x12);
    EXPECT_EQ(get_le32(b), 0x12345678u);
    EXPECT_EQ(get_le16(b + 2), 0x1234u);
}

TEST(WavHeader, DescribesMonoPcm) {
    const auto h = wav_header(22050, 16, 1000);
    const std::vector<uint8_t> expected{
        'R', 'I', 'F', 'F', 0xF4, 0x07, 0x00, 0x00, // 36 + 2000
        'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
        0x01, 0x00,                                  // PCM
        0x01, 0x00,                                  // mono
        0x22, 0x56, 0x00, 0x00,                      // 22050
        0x44, 0xAC, 0x00, 0x00,                      // 44100 bytes a second
        0x02, 0x00, 0x10, 0x00,                      // 2 bytes a sample, 16 bits
        'd', 'a', 't', 'a', 0xD0, 0x07, 0x00, 0x00}; // 2000
    EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.end()), expected);
}

TEST(WavHeader, CountsThePadByteOfAnOddDataSize) {
    const auto h = wav_header(8000, 8, 7);
    EXPECT_EQ(get_le32(&h[4]), 36u + 7 + 1);
    EXPECT_EQ(get_le32(&h[40]), 7u);
    EXPECT_EQ(get_le16(&h[32]), 1u);
    EXPECT_EQ(get_le16(&h[34]), 8u);
    EXPECT_EQ(get_le32(&h[28]), 8000u);
}

TEST(WavFits, StopsAtThe32BitSizes) {
    EXPECT_TRUE(wav_fits(0xFFFFFFFFll - 36 - 1, 8)); // odd: with its pad byte exactly full
    EXPECT_FALSE(wav_fits(0xFFFFFFFFll - 36, 8));
    EXPECT_TRUE(wav_fits((0xFFFFFFFFll - 36) / 2 - 1, 16));
    EXPECT_FALSE(wav_fits(0x80000000ll, 16));
}

TEST(SampleEncoding, RoundsAndHoldsWithinRange) {
    EXPECT_EQ(sample_u8(0.0), 128);
    EXPECT_EQ(sample_u8(100.0), 228);
    EXPECT_EQ(sample_u8(-100.0), 28);
    EXPECT_EQ(sample_u8(10.4), 138);
    EXPECT_EQ(sample_u8(-10.6), 117);
    EXPECT_EQ(sample_u8(500.0), 255);
    EXPECT_EQ(sample_u8(-500.0), 0);
    EXPECT_EQ(sample_s16(0.0), 0);
    EXPECT_EQ(sample_s16(100.0), 25600);
    EXPECT_EQ(sample_s16(-0.5), -128);
    EXPECT_EQ(sample_s16(200.0), 32767);
    EXPECT_EQ(sample_s16(-200.0), -32768);
}

TEST(SampleEncoding, WritesSixteenBitsLittleEndian) {
    const double samples[] = {1.0, -1.0};
    uint8_t out[4] = {};
    EXPECT_EQ(encode_samples(samples, 2, 16, out), 4u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0x01);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 0xFF);
    EXPECT_EQ(encode_samples(samples, 2, 8, out), 2u);
    EXPECT_EQ(out[0], 129);
    EXPECT_EQ(out[1], 127);
}

} // namespace
