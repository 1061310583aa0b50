#include "pfile/assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Assembled {
    std::string bytes;
    std::vector<int64_t> left_out_at;
    int64_t errors = 0;
};

Assembled assemble(const std::string& text, int64_t drop, UnknownBitPolicy policy) {
    ByteAssembler a;
    a.policy = policy;
    a.drop = drop;
    Assembled result;
    assemble_bytes(a, text.data(), text.size(), result.bytes, result.left_out_at);
    result.errors = a.errors;
    return result;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

} // namespace

TEST(Assembler, DropsTheNameBytes) {
    const std::string text = "00111001" "00101010" "00111000" "10111001" "00000001" "11111111";
    EXPECT_EQ(assemble(text, 4, UnknownBitPolicy::stop).bytes, bytes({0x01, 0xFF}));
    EXPECT_EQ(assemble(text, 0, UnknownBitPolicy::stop).bytes.size(), 6u);
    EXPECT_EQ(assemble(text, 10, UnknownBitPolicy::stop).bytes, "");
}

TEST(Assembler, IncompleteLastGroupIsLost) {
    EXPECT_EQ(assemble("01000001" "101", 0, UnknownBitPolicy::stop).bytes, bytes({0x41}));
}

TEST(Assembler, LineBreaksAndOtherCharactersAreSkipped) {
    EXPECT_EQ(assemble("0100\r\n00 01x\n", 0, UnknownBitPolicy::stop).bytes, bytes({0x41}));
}

TEST(Assembler, UnknownBitPolicies) {
    const std::string text = "0100000?";
    EXPECT_EQ(assemble(text, 0, UnknownBitPolicy::as_zero).bytes, bytes({0x40}));
    EXPECT_EQ(assemble(text, 0, UnknownBitPolicy::as_one).bytes, bytes({0x41}));
    EXPECT_EQ(unknown_bit_policy(1, 1), UnknownBitPolicy::as_zero);
    EXPECT_EQ(unknown_bit_policy(0, 1), UnknownBitPolicy::as_one);
    EXPECT_EQ(unknown_bit_policy(0, 0), UnknownBitPolicy::stop);
}

TEST(Assembler, StoppingPolicyLeavesTheBitOutAndRecordsCnt) {
    const std::string five(40, '1');
    const Assembled a = assemble(five + "?" + "0000000" + "?1", 0, UnknownBitPolicy::stop);
    EXPECT_EQ(a.bytes, std::string(5, '\xFF') + bytes({0x01}));
    EXPECT_EQ(a.left_out_at, (std::vector<int64_t>{5, 5}));
    EXPECT_EQ(a.errors, 2);
}

TEST(Assembler, ContinuesAcrossPieces) {
    ByteAssembler a;
    std::string out;
    std::vector<int64_t> errors;
    for (char c : std::string("0100000101000010")) assemble_bytes(a, &c, 1, out, errors);
    EXPECT_EQ(out, "AB");
    EXPECT_EQ(a.stored, 2);
}
