// The bit step's classifier on random war data and random calibration values. A war file is
// read in blocks of any size, so classifying the data in two pieces must give exactly what
// one piece gives.
//
//   bytes 0-11   nfill, n0, n1 (little-endian, any 32-bit values)
//   bytes 12-15  the tolerance divisor (0 is replaced by 1: the converter refuses k=0)
//   bytes 16-17  where the data is cut in two
//   rest         the war data (any byte other than 0 is on)
#include <string>
#include <vector>

#include "bits/classifier.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    PulseCalibration calibration;
    calibration.longest_pause = in.take_i32();
    calibration.zero_length = in.take_i32();
    calibration.one_length = in.take_i32();
    int32_t divisor = in.take_i32();
    if (divisor == 0) divisor = 1;
    const std::size_t cut = in.size == 0 ? 0 : in.take_u16() % (in.size + 1);

    const std::vector<uint8_t> war(in.data, in.data + in.size);
    BitClassifier whole = make_classifier(calibration, divisor);
    std::string whole_bits;
    std::vector<int64_t> whole_unknown;
    classify_block(whole, war.data(), war.size(), whole_bits, whole_unknown);

    const std::vector<uint8_t> first(war.begin(), war.begin() + static_cast<long>(cut));
    const std::vector<uint8_t> second(war.begin() + static_cast<long>(cut), war.end());
    BitClassifier split = make_classifier(calibration, divisor);
    std::string split_bits;
    std::vector<int64_t> split_unknown;
    classify_block(split, first.data(), first.size(), split_bits, split_unknown);
    classify_block(split, second.data(), second.size(), split_bits, split_unknown);

    FUZZ_CHECK(whole_bits == split_bits);
    FUZZ_CHECK(whole_unknown == split_unknown);
    FUZZ_CHECK(whole.position == static_cast<int64_t>(war.size()));
    FUZZ_CHECK(split.position == whole.position && split.since_bit_start == whole.since_bit_start &&
               split.pause == whole.pause);
    std::size_t unknown_count = 0;
    for (char bit : whole_bits) {
        FUZZ_CHECK(bit == '0' || bit == '1' || bit == '?');
        if (bit == '?') ++unknown_count;
    }
    FUZZ_CHECK(unknown_count == whole_unknown.size());
    for (int64_t position : whole_unknown) {
        FUZZ_CHECK(position >= 0 && position < static_cast<int64_t>(war.size()));
    }
    return 0;
}
