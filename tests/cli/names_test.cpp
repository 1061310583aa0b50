#include "cli/names.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(SplitExtension, OnlyShortExtensionsAndTheirFirstLetterCount) {
    struct Case {
        const char* input;
        const char* base;
        StartStage stage;
    };
    constexpr StartStage R = StartStage::recording, B = StartStage::bit_file,
                         P = StartStage::p_file;
    const Case cases[] = {
        {"tape.raw", "tape", R},
        {"tape", "tape", R},
        {"tape.bit", "tape", B},
        {"tape.b", "tape", B},
        {"tape.BAK", "tape", B},
        {"tape.p", "tape", P},
        {"tape.prg", "tape", P},
        {"tape.P", "tape", P},
        {"tape.wave", "tape.wave", R},
        {"tape.", "tape", R},
        {"C:\\a.b\\x", "C:\\a", B},
        {".bit", ".bit", R},
        {"a.bit", "a", B},
        {"x.y.war", "x.y", R},
        {"", "", R},
        {"dir.b/tape", "dir.b/tape", R},
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
    EXPECT_EQ(s.start_stage, StartStage::recording);

    const RunNames bak = make_run_names("tape.BAK", s);
    EXPECT_EQ(bak.bit_name, "tape.bit");
    EXPECT_EQ(s.start_stage, StartStage::bit_file);
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
