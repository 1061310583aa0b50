#include "cli/names.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(SplitExtension, OnlyShortExtensionsAndTheirFirstLetterCount) {
    struct Case {
        const char* input;
        const char* base;
        int32_t stage;
    };
    const Case cases[] = {
        {"tape.raw", "tape", 0},    {"tape", "tape", 0},          {"tape.bit", "tape", 2},
        {"tape.b", "tape", 2},      {"tape.BAK", "tape", 2},      {"tape.p", "tape", 3},
        {"tape.prg", "tape", 3},    {"tape.P", "tape", 3},        {"tape.wave", "tape.wave", 0},
        {"tape.", "tape", 0},       {"C:\\a.b\\x", "C:\\a", 2},   {".bit", ".bit", 0},
        {"a.bit", "a", 2},          {"x.y.war", "x.y", 0},        {"", "", 0},
        {"dir.b/tape", "dir.b/tape", 0},
    };
    for (const Case& c : cases) {
        std::string base;
        EXPECT_EQ(split_extension(c.input, base), c.stage) << c.input;
        EXPECT_EQ(base, c.base) << c.input;
    }
}

TEST(DirectoryPart, EndsAtTheLastSeparatorAfterPositionZero) {
    struct Case {
        const char* base;
        const char* dir;
    };
    const Case cases[] = {
        {"C:\\tapes\\game", "C:\\tapes\\"}, {"C:game", "C:"}, {"game", ""},
        {"\\game", ""},                     {"/game", ""},    {"/tapes/game", "/tapes/"},
        {"a/b\\c:d", "a/b\\c:"},            {"tapes/", "tapes/"},
    };
    for (const Case& c : cases) EXPECT_EQ(directory_part(c.base), c.dir) << c.base;
}

TEST(RunNames, DerivedFromTheInputAsTyped) {
    RunSettings s;
    const RunNames n = make_run_names("C:\\tapes\\game.raw", s);
    EXPECT_EQ(n.base_name, "C:\\tapes\\game");
    EXPECT_EQ(n.dir_part, "C:\\tapes\\");
    EXPECT_EQ(n.war_name, "C:\\tapes\\game.war");
    EXPECT_EQ(n.bit_name, "C:\\tapes\\game.bit");
    EXPECT_EQ(s.start_stage, 0);

    const RunNames bak = make_run_names("tape.BAK", s);
    EXPECT_EQ(bak.bit_name, "tape.bit");
    EXPECT_EQ(s.start_stage, 2);
}

TEST(RunNames, LongNamesAreKeptWhole) {
    RunSettings s;
    const std::string dir(3000, 'd');
    const RunNames n = make_run_names(dir + "/" + std::string(300, 'n') + ".raw", s);
    EXPECT_EQ(n.war_name, dir + "/" + std::string(300, 'n') + ".war");
    EXPECT_EQ(n.dir_part, dir + "/");
}

TEST(JoinName, AppendsTheGivenParts) {
    EXPECT_EQ(join_name("dir/", "test", ".p"), "dir/test.p");
    EXPECT_EQ(join_name("tape", "", ".war"), "tape.war");
    EXPECT_EQ(join_name("tape"), "tape");
}

TEST(CanReuse, ExistingNamesUnlessRestart) {
    ScratchDir dir;
    write_text(dir / "there", "x");
    RunSettings s;
    EXPECT_TRUE(can_reuse(s, dir / "there"));
    EXPECT_FALSE(can_reuse(s, dir / "missing"));
    s.restart = 1;
    EXPECT_FALSE(can_reuse(s, dir / "there"));
}
