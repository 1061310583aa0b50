#include "program/zx81_number.h"
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct NumberCase {
    double value;
    Zx81Number bytes;
};

const NumberCase number_cases[] = {
    {0.0, {0x00, 0x00, 0x00, 0x00, 0x00}},
    {1.0, {0x81, 0x00, 0x00, 0x00, 0x00}},
    {2.0, {0x82, 0x00, 0x00, 0x00, 0x00}},
    {10.0, {0x84, 0x20, 0x00, 0x00, 0x00}},
    {255.0, {0x88, 0x7F, 0x00, 0x00, 0x00}},
    {9999.0, {0x8E, 0x1C, 0x3C, 0x00, 0x00}},
    {16514.0, {0x8F, 0x01, 0x04, 0x00, 0x00}},
    {0.5, {0x80, 0x00, 0x00, 0x00, 0x00}},
    {0.25, {0x7F, 0x00, 0x00, 0x00, 0x00}},
    {0.1, {0x7D, 0x4C, 0xCC, 0xCC, 0xCD}},
    {0.2, {0x7E, 0x4C, 0xCC, 0xCC, 0xCD}},
    {-3.0, {0x82, 0x40, 0x00, 0x00, 0x00}}, // the sign is not stored
    {3.141592653589793, {0x82, 0x49, 0x0F, 0xDA, 0xA2}},
};

TEST(Zx81Number, EncodesKnownValues) {
    for (const NumberCase& c : number_cases) {
        Zx81Number bytes;
        ASSERT_TRUE(encode_zx81_number(c.value, bytes)) << c.value;
        EXPECT_EQ(bytes, c.bytes) << c.value;
    }
}

TEST(Zx81Number, DecodesWhatItEncodes) {
    for (const NumberCase& c : number_cases) {
        EXPECT_NEAR(decode_zx81_number(c.bytes.data()), std::fabs(c.value),
                    std::fabs(c.value) * 1e-9)
            << c.value;
    }
}

TEST(Zx81Number, DecodesTheSignBit) {
    const uint8_t minus_one[5] = {0x81, 0x80, 0x00, 0x00, 0x00};
    EXPECT_EQ(decode_zx81_number(minus_one), -1.0);
}

TEST(Zx81Number, RefusesValuesOutOfRange) {
    Zx81Number bytes;
    EXPECT_TRUE(encode_zx81_number(1e38, bytes));
    EXPECT_FALSE(encode_zx81_number(1e39, bytes));
    EXPECT_FALSE(encode_zx81_number(std::nan(""), bytes));
    EXPECT_FALSE(encode_zx81_number(INFINITY, bytes));
}

TEST(Zx81Number, RoundingThatOverflowsTheMantissaMovesTheExponent) {
    Zx81Number bytes;
    bool carried = false;
    ASSERT_TRUE(encode_zx81_number(1.0 - std::ldexp(1.0, -40), bytes, &carried));
    EXPECT_TRUE(carried);
    EXPECT_EQ(bytes, (Zx81Number{0x81, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(encode_zx81_number(0.75, bytes, &carried));
    EXPECT_FALSE(carried);
}

} // namespace
