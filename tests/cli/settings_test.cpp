#include "cli/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

struct Parsed {
    RunSettings settings;
    std::string reports;
};

Parsed parse(std::vector<const char*> options) {
    std::vector<const char*> argv{"zx81tape", "tape.raw"};
    argv.insert(argv.end(), options.begin(), options.end());
    Parsed p;
    parse_options(static_cast<int>(argv.size()), argv.data(), p.settings, p.reports);
    return p;
}

} // namespace

TEST(ParseOptions, DefaultsWithoutOptions) {
    const Parsed p = parse({});
    EXPECT_EQ(p.settings.threshold, 30);
    EXPECT_EQ(p.settings.tolerance_divisor, 3);
    EXPECT_EQ(p.settings.use_saved_name, 1);
    EXPECT_EQ(p.settings.use_given_name, 0);
    EXPECT_EQ(p.settings.start_stage, StartStage::recording);
    EXPECT_EQ(p.reports, "");
}

TEST(ParseOptions, EveryFlagInEitherCase) {
    for (const char* letters : {"bcilmopr", "BCILMOPR"}) {
        std::vector<std::string> args;
        for (const char* l = letters; *l != '\0'; ++l) args.push_back(std::string("-") + *l + "junk");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        const Parsed p = parse(argv);
        const RunSettings& s = p.settings;
        EXPECT_EQ(s.overwrite_bit, 1);
        EXPECT_EQ(s.clean_up, 1);
        EXPECT_EQ(s.unknown_as_zero, 1);
        EXPECT_EQ(s.listing, 1);
        EXPECT_EQ(s.verbose, 1);
        EXPECT_EQ(s.unknown_as_one, 1);
        EXPECT_EQ(s.overwrite_p, 1);
        EXPECT_EQ(s.restart, 1);
        EXPECT_EQ(p.reports, "");
    }
}

TEST(ParseOptions, UnknownOptionsAreReportedInOrderAndChangeNothing) {
    const Parsed p = parse({"-e", "-", "x=5", "hello", "", "-X"});
    EXPECT_EQ(p.reports, "unknown option -e\nunknown option -\nunknown option x=5\n"
                         "unknown option -X\n");
    EXPECT_EQ(p.settings.threshold, 30);
}

TEST(ParseOptions, GivenNameAndSavedNameDependOnOrder) {
    Parsed p = parse({"-fMyGame.P"});
    EXPECT_EQ(p.settings.given_p_name, "MyGame.P");
    EXPECT_EQ(p.settings.use_given_name, 1);
    EXPECT_EQ(p.settings.use_saved_name, 0);

    p = parse({"-fX", "-z"});
    EXPECT_EQ(p.settings.use_given_name, 1);
    EXPECT_EQ(p.settings.use_saved_name, 1);

    p = parse({"-z", "-fX"});
    EXPECT_EQ(p.settings.use_given_name, 1);
    EXPECT_EQ(p.settings.use_saved_name, 0);

    p = parse({"-fA", "-fB"});
    EXPECT_EQ(p.settings.given_p_name, "B");
}

TEST(ParseOptions, MissingGivenNameIsReportedButStillSetsTheFlags) {
    const Parsed p = parse({"-F"});
    EXPECT_EQ(p.reports, "missing p-filename -F\n");
    EXPECT_EQ(p.settings.use_saved_name, 0);
    EXPECT_EQ(p.settings.use_given_name, 1);
    EXPECT_EQ(p.settings.given_p_name, "");
}

TEST(ParseOptions, ValuesLastOneWins) {
    Parsed p = parse({"n=40", "N=12", "k=-2", "K=7"});
    EXPECT_EQ(p.settings.threshold, 12);
    EXPECT_EQ(p.settings.tolerance_divisor, 7);
}

TEST(ParseOptionValue, ReadsLikeTheCLibraryButSaturates) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"40", 40},          {"abc", 0},           {"", 0},
        {" \t\n\v\f\r12", 12}, {"+7", 7},            {"-2", -2},
        {"12abc", 12},       {"- 5", 0},           {"--5", 0},
        {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
        {"99999999999999999999999", INT32_MAX}, {"-99999999999999999999", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_option_value(c.text), c.value) << c.text;
}

TEST(ParseOptions, OnlyTwoArgumentsExamineNothing) {
    const char* argv[] = {"zx81tape", "-r"};
    RunSettings s;
    std::string reports;
    parse_options(2, argv, s, reports);
    EXPECT_EQ(s.restart, 0);
    EXPECT_EQ(reports, "");
}
