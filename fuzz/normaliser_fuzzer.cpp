// The war step's algorithms on random samples: thresholding, gap fill and calibration over a
// run of blocks that carry the calibration from one to the next.
//
//   bytes 0-3  threshold (little-endian, any 32-bit value)
//   byte  4    bit 0: verbose; bits 1-2: how many blocks the samples are cut into (1-4)
//   rest       the raw samples
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "signal/normaliser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    SignalOptions settings;
    settings.threshold = in.take_i32();
    const uint8_t flags = in.take_u8();
    const std::size_t pieces = 1 + ((flags >> 1) & 3);

    // Each block in its own allocation, so that a read or write past its end is caught.
    PulseCalibration calibration;
    std::size_t done = 0;
    for (std::size_t piece = 0; piece < pieces; ++piece) {
        const std::size_t length =
            piece + 1 == pieces ? in.size - done : (in.size - done) / (pieces - piece);
        std::vector<uint8_t> block(in.data + done, in.data + done + length);
        std::vector<uint8_t> expected(block);
        for (uint8_t& v : expected) {
            v = sample_level(v) >= settings.threshold ? sample_on : sample_off;
        }
        std::vector<uint8_t> thresholded(block);
        threshold_block(thresholded.data(), thresholded.size(), settings.threshold);
        FUZZ_CHECK(thresholded == expected);

        const PulseCalibration before = calibration;
        normalise_block(block.data(), static_cast<uint32_t>(block.size()), settings, calibration);
        for (std::size_t i = 0; i < block.size(); ++i) {
            FUZZ_CHECK(block[i] == sample_on || block[i] == sample_off);
            // The gap fill only ever turns off samples on.
            FUZZ_CHECK(expected[i] == sample_off || block[i] == sample_on);
        }
        FUZZ_CHECK(calibration.longest_pause >= 0);
        if (before.longest_pause == 0)
            FUZZ_CHECK(calibration.longest_pause <= static_cast<int32_t>(length));
        FUZZ_CHECK(calibration.zero_length >= 0 && calibration.zero_length < period_histogram_size);
        FUZZ_CHECK(calibration.one_length >= 0 && calibration.one_length < period_histogram_size);
        if (before.longest_pause != 0)
            FUZZ_CHECK(calibration.longest_pause == before.longest_pause);
        if (before.zero_length != 0 && before.one_length != 0) {
            FUZZ_CHECK(calibration.zero_length == before.zero_length &&
                       calibration.one_length == before.one_length);
        }
        done += length;
    }
    return 0;
}
