#include "synth/synth_settings.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>


bool parse_number(const std::string& text, double& value) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.' &&
            c != 'e' && c != 'E') {
            return false;
        }
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

std::vector<std::string> split_fields(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

namespace {

// Keeps the format of the messages in one place.
std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// One option's value, checked against its range; false with the message set otherwise.
bool read_value(const std::string& option, const std::string& text, double low, double high,
                double& value, std::string& message) {
    if (!parse_number(text, value)) {
        message = option + ": '" + text + "' is not a number";
        return false;
    }
    if (value < low || value > high) {
        message = option + ": " + text + " is out of range (" + number_text(low) + " to " +
                  number_text(high) + ")";
        return false;
    }
    return true;
}

bool read_integer(const std::string& option, const std::string& text, double low, double high,
                  int& value, std::string& message) {
    double number;
    if (!read_value(option, text, low, high, number, message)) return false;
    if (number != std::floor(number)) {
        message = option + ": " + text + " is not a whole number";
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

// "A" or "A,B" (or up to `max_fields` fields): false with a message for more fields.
bool read_fields(const std::string& option, const std::string& text, std::size_t max_fields,
                 std::vector<std::string>& fields, std::string& message) {
    fields = split_fields(text);
    if (fields.size() > max_fields) {
        message = option + ": '" + text + "' has too many fields";
        return false;
    }
    return true;
}

// Applies one option that takes a value. False with the message set when the value is bad.
bool apply_option(const std::string& option, const std::string& value, SynthSettings& s,
                  std::string& message) {
    std::vector<std::string> f;
    if (option == "--name") {
        if (value.empty()) {
            message = "--name: the name is empty";
            return false;
        }
        s.tape_name = value;
        return true;
    }
    if (option == "--rate") return read_integer(option, value, 8000, 192000, s.rate, message);
    if (option == "--bits") {
        if (value != "8" && value != "16" && value != "24") {
            message = "--bits: '" + value + "' is not 8, 16 or 24";
            return false;
        }
        s.bits = std::atoi(value.c_str());
        return true;
    }
    if (option == "--amplitude") {
        return read_integer(option, value, 1, 127, s.amplitude, message);
    }
    if (option == "--dc") return read_value(option, value, -127, 127, s.dc, message);
    if (option == "--noise") {
        const std::size_t n = value.size();
        if (n > 2 && (value.compare(n - 2, 2, "dB") == 0 || value.compare(n - 2, 2, "db") == 0)) {
            s.noise_is_snr = true;
            return read_value(option, value.substr(0, n - 2), -20, 100, s.noise_snr_db,
                              message);
        }
        s.noise_is_snr = false;
        return read_value(option, value, 0, 127, s.noise, message);
    }
    if (option == "--hum") {
        if (!read_fields(option, value, 2, f, message)) return false;
        if (!read_value(option, f[0], 0, 127, s.hum, message)) return false;
        return f.size() < 2 || read_value(option, f[1], 1, 1000, s.hum_hz, message);
    }
    if (option == "--speed") return read_value(option, value, 0.5, 2.0, s.speed, message);
    if (option == "--wow") {
        if (!read_fields(option, value, 2, f, message)) return false;
        if (!read_value(option, f[0], 0, 0.5, s.wow_depth, message)) return false;
        return f.size() < 2 || read_value(option, f[1], 0.01, 100, s.wow_hz, message);
    }
    if (option == "--fade") return read_value(option, value, 0, 1, s.fade, message);
    if (option == "--shape") {
        if (value == "square") {
            s.shape = PulseShape::square;
        } else if (value == "sine") {
            s.shape = PulseShape::sine;
        } else if (value == "tape") {
            s.shape = PulseShape::tape;
        } else {
            message = "--shape: '" + value + "' is not square, sine or tape";
            return false;
        }
        return true;
    }
    if (option == "--lead") return read_value(option, value, 0, 3600000, s.lead_ms, message);
    if (option == "--trail") return read_value(option, value, 0, 3600000, s.trail_ms, message);
    if (option == "--gap") return read_value(option, value, 0, 3600000, s.gap_ms, message);
    if (option == "--dropout") {
        if (!read_fields(option, value, 3, f, message)) return false;
        if (f.size() < 2) {
            message = "--dropout: '" + value + "' needs AT,LENGTH (milliseconds)";
            return false;
        }
        if (!read_value(option, f[0], 0, 3600000, s.dropout_at_ms, message)) return false;
        if (!read_value(option, f[1], 0, 3600000, s.dropout_ms, message)) return false;
        return f.size() < 3 || read_value(option, f[2], 0, 1, s.dropout_level, message);
    }
    // --seed, the last of the options that take a value.
    bool digits = !value.empty() && value.size() <= 20;
    for (char c : value) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    errno = 0;
    const unsigned long long seed = digits ? std::strtoull(value.c_str(), nullptr, 10) : 0;
    if (!digits || errno == ERANGE) {
        message = "--seed: '" + value + "' is not a whole number from 0 to 2^64-1";
        return false;
    }
    s.seed = seed;
    return true;
}

} // namespace

ToolCommand parse_synth_options(int argc, char** argv, SynthSettings& s, std::string& message) {
    enum { value_option = 256, invert };
    const std::vector<option> options = long_options_with({
        {"name", required_argument, nullptr, value_option},
        {"rate", required_argument, nullptr, value_option},
        {"bits", required_argument, nullptr, value_option},
        {"amplitude", required_argument, nullptr, value_option},
        {"invert", no_argument, nullptr, invert},
        {"dc", required_argument, nullptr, value_option},
        {"noise", required_argument, nullptr, value_option},
        {"hum", required_argument, nullptr, value_option},
        {"speed", required_argument, nullptr, value_option},
        {"wow", required_argument, nullptr, value_option},
        {"fade", required_argument, nullptr, value_option},
        {"shape", required_argument, nullptr, value_option},
        {"lead", required_argument, nullptr, value_option},
        {"trail", required_argument, nullptr, value_option},
        {"gap", required_argument, nullptr, value_option},
        {"dropout", required_argument, nullptr, value_option},
        {"seed", required_argument, nullptr, value_option},
    });
    start_option_scan();
    for (;;) {
        int index = -1;
        const int found = getopt_long(argc, argv, ":hV", options.data(), &index);
        if (found == -1) break;
        switch (found) {
        case invert:
            s.invert = true;
            break;
        case value_option:
            if (!apply_option(std::string("--") + options[index].name, optarg, s, message)) {
                return ToolCommand::usage_error;
            }
            break;
        default:
            return shared_option(found, argv, message);
        }
    }
    const int files = argc - optind;
    if (files != 2) {
        message = files < 2 ? "expected PROGRAM and OUTPUT"
                            : "unexpected argument '" + std::string(argv[optind + 2]) + "'";
        return ToolCommand::usage_error;
    }
    s.program_name = argv[optind];
    s.output_name = argv[optind + 1];
    s.sound_file = sound_file_type_of(s.output_name, s.sound_type);
    if (s.bits != 8 && !s.sound_file) {
        message = "--bits " + std::to_string(s.bits) +
                  " needs a sound file (OUTPUT ending in .wav, .flac, .aif or .aiff); raw "
                  "output is 8-bit";
        return ToolCommand::usage_error;
    }
    return ToolCommand::run;
}
