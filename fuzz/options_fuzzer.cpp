// The option parser and the names of a run. The input is the command line: arguments 1, 2, ...
// separated by zero bytes.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/names.h"
#include "cli/settings.h"
#include "fuzz_input.h"

namespace {

// What n= and k= must give: the C library's reading, clamped to 32 bits.
int32_t reference_value(const char* text) {
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool starts_with(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<std::string> args{"zx81tape"};
    args.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    RunSettings settings;
    std::string reports;
    parse_options(static_cast<int>(args.size()), argv.data(), settings, reports);
    // One report per argument that is neither a known flag nor n= or k=, in order.
    std::string expected;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a[0] == '-') {
            const char letter =
                a.size() > 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(a[1])))
                             : '\0';
            if (letter == 'F' && a.size() == 2) {
                expected += "missing p-filename " + a + "\n";
            } else if (letter == '\0' ||
                       std::string("BCFILMOPRZ").find(letter) == std::string::npos) {
                expected += "unknown option " + a + "\n";
            }
        } else if (a.size() > 1 && a[1] == '=') {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(a[0])));
            if (letter != 'K' && letter != 'N') expected += "unknown option " + a + "\n";
        }
    }
    FUZZ_CHECK(reports == expected);
    for (std::size_t i = 2; i < args.size(); ++i) {
        FUZZ_CHECK(reference_value(args[i].c_str()) == parse_option_value(args[i].c_str()));
    }

    const RunNames names = make_run_names(args[1], settings);
    FUZZ_CHECK(settings.start_stage == StartStage::recording ||
               settings.start_stage == StartStage::bit_file ||
               settings.start_stage == StartStage::p_file);
    FUZZ_CHECK(starts_with(names.input, names.base_name));
    FUZZ_CHECK(names.input.size() - names.base_name.size() <= 4);
    FUZZ_CHECK(starts_with(names.base_name, names.dir_part));
    FUZZ_CHECK(names.war_name == names.base_name + ".war");
    FUZZ_CHECK(names.bit_name == names.base_name + ".bit");
    FUZZ_CHECK(names.war_name != names.input || settings.start_stage == StartStage::recording);

    std::string base;
    FUZZ_CHECK(split_extension(args[1], base) == settings.start_stage);
    FUZZ_CHECK(base == names.base_name);
    FUZZ_CHECK(directory_part(args[1]).size() <= args[1].size());
    FUZZ_CHECK(can_reuse(RunSettings{}, "") == false);
    return 0;
}
