#include "cli/names.h"

#include <cctype>

#include "io/platform.h"

StartStage split_extension(const std::string& input, std::string& base_name) {
    base_name = input;
    const std::size_t length = input.size();
    for (std::size_t back = 1; back <= 4 && back < length; ++back) {
        const std::size_t pos = length - back;
        if (input[pos] != '.') continue;
        base_name.resize(pos);
        const int letter = pos + 1 < length ? std::toupper(static_cast<unsigned char>(input[pos + 1])) : 0;
        if (letter == 'B') return StartStage::bit_file;
        if (letter == 'P') return StartStage::p_file;
        return StartStage::recording;
    }
    return StartStage::recording;
}

std::string directory_part(const std::string& base_name) {
    for (std::size_t pos = base_name.size(); pos-- > 1;) {
        const char c = base_name[pos];
        if (c == '\\' || c == '/' || c == ':') return base_name.substr(0, pos + 1);
    }
    return "";
}

std::string join_name(const std::string& first, const std::string& second,
                      const std::string& third) {
    return first + second + third;
}

RunNames make_run_names(const std::string& input, RunSettings& settings) {
    RunNames names;
    names.input = input;
    settings.start_stage = split_extension(input, names.base_name);
    names.dir_part = directory_part(names.base_name);
    names.war_name = join_name(names.base_name, "", ".war");
    names.bit_name = join_name(names.base_name, "", ".bit");
    return names;
}

bool can_reuse(const RunSettings& settings, const std::string& name) {
    return !settings.restart && file_exists(name);
}
