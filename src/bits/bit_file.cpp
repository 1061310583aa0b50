#include "bits/bit_file.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "bits/classifier.h"
#include "io/output_file.h"

namespace {
constexpr std::size_t war_block = 1 << 20;
}

bool make_bit_file(const std::string& war_name, const std::string& bit_name,
                   const PulseCalibration& calibration, int32_t tolerance_divisor) {
    std::FILE* war = std::fopen(war_name.c_str(), "rb");
    if (war == nullptr) {
        std::fprintf(stderr, " *** error ***   Can't read file %s \n", war_name.c_str());
        return false;
    }
    OutputFile out;
    if (!open_output(out, bit_name)) {
        std::fprintf(stderr, " *** error ***   Can't open output file %s \n", bit_name.c_str());
        std::fclose(war);
        return false;
    }
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[war_block]);
    if (!block) {
        std::fputs(" *** error ***   Not enough memory \n", stderr);
        discard_output(out);
        std::fclose(war);
        return false;
    }

    BitClassifier classifier = make_classifier(calibration, tolerance_divisor);
    BitLine line;
    std::string bits;
    std::string text;
    std::vector<int64_t> unknown;
    for (;;) {
        const std::size_t got = std::fread(block.get(), 1, war_block, war);
        if (std::ferror(war)) {
            std::fprintf(stderr, " *** error ***   Can't read file %s \n", war_name.c_str());
            discard_output(out);
            std::fclose(war);
            return false;
        }
        if (got == 0) break;
        bits.clear();
        unknown.clear();
        classify_block(classifier, block.get(), got, bits, unknown);
        for (int64_t nsample : unknown) {
            std::printf("unknown bit, nsample=%lld in war file\n", static_cast<long long>(nsample));
        }
        text.clear();
        for (char bit : bits) put_bit_char(line, text, bit);
        write_output(out, text.data(), text.size());
    }
    std::fclose(war);
    if (!commit_output(out)) {
        std::fprintf(stderr, " *** error ***   Can't write file %s \n", bit_name.c_str());
        return false;
    }
    return true;
}
