#include "sound/sound_signature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytes_of(const std::string& text, std::size_t size = 64) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.resize(size, 0x80);
    return bytes;
}

// `count` MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz (417 bytes each), one after
// another, then raw-looking samples.
std::vector<uint8_t> mpeg_frames(int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame(417, 0x55);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        frame[3] = 0x64;
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.resize(bytes.size() + 100, 0x80);
    return bytes;
}

} // namespace

TEST(MpegFrameLength, LayersVersionsAndPadding) {
    const uint8_t mpeg1_layer3[4] = {0xFF, 0xFB, 0x90, 0x64};     // 128 kbit/s, 44.1 kHz
    const uint8_t mpeg1_padded[4] = {0xFF, 0xFB, 0x92, 0x64};     // the same, padded
    const uint8_t mpeg2_layer3[4] = {0xFF, 0xF3, 0x80, 0xC4};     // 64 kbit/s, 22.05 kHz
    const uint8_t mpeg1_layer1[4] = {0xFF, 0xFF, 0x40, 0x00};     // 128 kbit/s, 44.1 kHz
    // A recording that starts clipped: a valid header on its own (layer I, 448 kbit/s, 48 kHz).
    const uint8_t clipped[4] = {0xFF, 0xFF, 0xE6, 0x80};
    const uint8_t bad_bitrate[4] = {0xFF, 0xFB, 0xF0, 0x64};
    const uint8_t reserved_version[4] = {0xFF, 0xEB, 0x90, 0x64}; // version bits 01
    EXPECT_EQ(mpeg_frame_length(mpeg1_layer3), 417u);
    EXPECT_EQ(mpeg_frame_length(mpeg1_padded), 418u);
    EXPECT_EQ(mpeg_frame_length(mpeg2_layer3), 208u);
    EXPECT_EQ(mpeg_frame_length(mpeg1_layer1), 136u);
    EXPECT_EQ(mpeg_frame_length(clipped), 452u);
    EXPECT_EQ(mpeg_frame_length(bad_bitrate), 0u);
    EXPECT_EQ(mpeg_frame_length(reserved_version), 0u);
}

TEST(HasSoundSignature, ContainersWithARealHeaderOnly) {
    for (const char* sound : {"RIFF\x10\x20\x30\x40WAVE", "RIFX\x10\x20\x30\x40WAVE",
                              "RF64\x10\x20\x30\x40WAVE", "FORM\x10\x20\x30\x40" "AIFF",
                              "FORM\x10\x20\x30\x40" "AIFC", "fLaC", "OggS", "caff", ".snd",
                              "ID3\x03"}) {
        const std::vector<uint8_t> head = bytes_of(sound);
        EXPECT_TRUE(has_sound_signature(head.data(), head.size())) << sound;
    }
    for (const char* raw : {"RIFF\x10\x20\x30\x40WAVX", "FORM\x10\x20\x30\x40" "8SVX", "fLa",
                            "ID", "\xFF\xFF\xE6\x80", "\xFF\xFB\x90\x64"}) {
        const std::vector<uint8_t> head = bytes_of(raw);
        EXPECT_FALSE(has_sound_signature(head.data(), head.size())) << raw;
    }
    const std::vector<uint8_t> three = mpeg_frames(3);
    const std::vector<uint8_t> two = mpeg_frames(2);
    EXPECT_TRUE(has_sound_signature(three.data(), three.size()));
    EXPECT_FALSE(has_sound_signature(two.data(), two.size()));
    EXPECT_FALSE(has_sound_signature(three.data(), 2 * 417 + 3)); // the third header cut off
}
