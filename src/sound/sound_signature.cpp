#include "sound/sound_signature.h"

#include <cstring>
#include <initializer_list>

namespace {

bool starts_with(const uint8_t* head, std::size_t size, std::size_t at, const char* text,
                 std::size_t length) {
    return size >= at + length && std::memcmp(head + at, text, length) == 0;
}

bool wave64(const uint8_t* head, std::size_t size) {
    static const uint8_t riff[16] = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                     0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
    static const uint8_t wave[16] = {0x77, 0x61, 0x76, 0x65, 0xF3, 0xAC, 0xD3, 0x11,
                                     0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
    return size >= 40 && std::memcmp(head, riff, 16) == 0 && std::memcmp(head + 24, wave, 16) == 0;
}

// Three frames in a row with the same version, layer and sample rate.
bool mpeg_frames(const uint8_t* head, std::size_t size) {
    std::size_t at = 0;
    for (int frame = 0; frame < 3; ++frame) {
        if (at + 4 > size) return false;
        const std::size_t length = mpeg_frame_length(head + at);
        if (length == 0) return false;
        // Version, layer and sample rate stay the same from frame to frame.
        if (frame > 0 && ((head[at + 1] ^ head[1]) & 0x1E) != 0) return false;
        if (frame > 0 && ((head[at + 2] ^ head[2]) & 0x0C) != 0) return false;
        at += length;
    }
    return true;
}

} // namespace

std::size_t mpeg_frame_length(const uint8_t* header) {
    if (header[0] != 0xFF || (header[1] & 0xE0) != 0xE0) return 0;
    const int version = (header[1] >> 3) & 3; // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    const int layer = (header[1] >> 1) & 3;   // 0 reserved, 1 III, 2 II, 3 I
    const int bitrate_index = header[2] >> 4;
    const int rate_index = (header[2] >> 2) & 3;
    const int padding = (header[2] >> 1) & 1;
    if (version == 1 || layer == 0 || bitrate_index == 0 || bitrate_index == 15 ||
        rate_index == 3) {
        return 0;
    }
    // Bitrates in kbit/s by index 1 to 14.
    static const int mpeg1[3][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // layer I
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // layer II
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // layer III
    };
    static const int mpeg2_layer1[14] = {32, 48, 56, 64, 80, 96, 112,
                                         128, 144, 160, 176, 192, 224, 256};
    static const int mpeg2_layer23[14] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[3] = {44100, 48000, 32000};
    const int roman = 4 - layer; // 1, 2 or 3
    long bitrate;
    if (version == 3) {
        bitrate = mpeg1[roman - 1][bitrate_index - 1];
    } else {
        bitrate = roman == 1 ? mpeg2_layer1[bitrate_index - 1] : mpeg2_layer23[bitrate_index - 1];
    }
    bitrate *= 1000;
    const long rate = rates[rate_index] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    if (roman == 1) return static_cast<std::size_t>((12 * bitrate / rate + padding) * 4);
    const long factor = roman == 3 && version != 3 ? 72 : 144;
    return static_cast<std::size_t>(factor * bitrate / rate + padding);
}

bool has_sound_signature(const uint8_t* head, std::size_t size) {
    if (starts_with(head, size, 8, "WAVE", 4) &&
        (starts_with(head, size, 0, "RIFF", 4) || starts_with(head, size, 0, "RIFX", 4) ||
         starts_with(head, size, 0, "RF64", 4))) {
        return true;
    }
    if (starts_with(head, size, 0, "FORM", 4) &&
        (starts_with(head, size, 8, "AIFF", 4) || starts_with(head, size, 8, "AIFC", 4))) {
        return true;
    }
    for (const char* magic : {"fLaC", "OggS", "caff", ".snd"}) {
        if (starts_with(head, size, 0, magic, 4)) return true;
    }
    return wave64(head, size) || starts_with(head, size, 0, "ID3", 3) || mpeg_frames(head, size);
}
