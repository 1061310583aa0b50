#include "synth/synth_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "io/platform.h"
#include "synth/synth_steps.h"
#include "synth/synth_usage.h"

namespace {

void report(const std::string& message) {
    std::fprintf(stderr, "zx81synth: %s\n", message.c_str());
}

} // namespace

int zx81synth_main(int argc, const char* const* argv) {
    SynthSettings settings;
    std::string message;
    switch (parse_synth_options(argc, argv, settings, message)) {
    case ParseOutcome::help:
        std::fputs(synth_help_text(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ParseOutcome::version:
        std::fputs("zx81synth " ZX81_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ParseOutcome::error:
        report(message);
        return 2;
    case ParseOutcome::run:
        break;
    }
    if (same_file(settings.program_name, settings.output_name)) {
        report("can't write the recording over its program " + settings.program_name);
        return 2;
    }
    std::vector<uint8_t> program;
    if (!read_program(settings.program_name, program, message)) {
        report(message);
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (!tape_bytes(settings, program, bytes, message)) {
        report(message);
        return 2;
    }
    install_signal_cleanup();
    if (!write_recording(settings, bytes, message)) {
        report(message);
        return 1;
    }
    return 0;
}
