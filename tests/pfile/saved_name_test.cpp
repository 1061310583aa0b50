#include "pfile/saved_name.h"

#include <gtest/gtest.h>

#include <vector>

#include "program/zx81_charset.h"
#include "support/test_support.h"
#include "support/reference_walks.h"

namespace {

std::string decode(const std::string& text) {
    SavedNameReader reader;
    feed_saved_name(reader, text.data(), text.size());
    return reader.name;
}

} // namespace

TEST(SavedName, MarkedLastCharacterEndsTheName) {
    EXPECT_EQ(decode(bits_of({0x39, 0x2A, 0x38, 0xB9, 0x26, 0x26})), "test");
    EXPECT_EQ(decode(bits_of({0x80})), "_");
}

TEST(SavedName, EveryCodeMapsThroughItsLowSixBits) {
    // The file-name character of every code, by its low six bits.
    const std::string chars = "____________________________0123456789abcdefghijklmnopqrstuvwxyz";
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(file_name_char(static_cast<uint8_t>(c)), chars[c % 64]) << c;
    }
    std::vector<uint8_t> codes;
    for (int c = 0; c < 64; ++c) codes.push_back(static_cast<uint8_t>(c | 0x40));
    codes.push_back(0x80 | 0x3F);
    EXPECT_EQ(decode(bits_of(codes)), chars.substr(0, 39));
    EXPECT_EQ(decode(bits_of({0x1C, 0x25, 0x26, 0xBF})), "09az");
    EXPECT_EQ(decode(bits_of({0x00, 0x0B, 0x1B, 0x9B})), "____");
}

TEST(SavedName, UnmarkedNameStopsAfter39Characters) {
    SavedNameReader reader;
    const std::string text = bits_of(std::vector<uint8_t>(45, 0x26));
    EXPECT_TRUE(feed_saved_name(reader, text.data(), text.size()));
    EXPECT_EQ(reader.name, std::string(39, 'a'));
}

TEST(SavedName, UnknownBitsReadAsZeroAndOtherCharactersAreSkipped) {
    // 0011 1?00 reads as 00111000, 0x38 ("s"); CR, LF, space and 'x' are skipped.
    EXPECT_EQ(decode("0011 1?\r\n0x0 10111001"), "st");
}

TEST(SavedName, IncompleteGroupAndEmptyTextGiveNoCharacter) {
    EXPECT_EQ(decode(""), "");
    EXPECT_EQ(decode("1011100"), "");
    SavedNameReader reader;
    EXPECT_FALSE(feed_saved_name(reader, "0011100", 7));
}

TEST(SavedName, FedInPiecesGivesTheSameName) {
    const std::string text = bits_of({0x39, 0x2A, 0x38, 0xB9});
    SavedNameReader reader;
    for (char c : text) feed_saved_name(reader, &c, 1);
    EXPECT_EQ(reader.name, "test");
}

TEST(ReadSavedName, FromAFileAndAMissingFile) {
    ScratchDir dir;
    write_text(dir / "t.bit", bits_of({0x39, 0x2A, 0x38, 0xB9}));
    std::string name;
    EXPECT_TRUE(read_saved_name(dir / "t.bit", name));
    EXPECT_EQ(name, "test");
    EXPECT_FALSE(read_saved_name(dir / "none.bit", name));
}
