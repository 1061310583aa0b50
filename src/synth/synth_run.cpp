#include "synth/synth_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "io/platform.h"
#include "synth/synth_steps.h"
#include "synth/synth_usage.h"

namespace {

int failure(const std::string& message) {
    std::fprintf(stderr, "zx81synth: %s\n", message.c_str());
    return exit_failure;
}

int usage_error(const std::string& message) {
    std::fputs(usage_error_text("zx81synth", message).c_str(), stderr);
    return exit_usage;
}

} // namespace

int zx81synth_main(int argc, char** argv) {
    SynthSettings settings;
    std::string message;
    switch (parse_synth_options(argc, argv, settings, message)) {
    case ToolCommand::help:
        std::fputs(synth_help_text(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::version:
        std::fputs(version_text("zx81synth").c_str(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::usage_error:
        return usage_error(message);
    case ToolCommand::run:
        break;
    }
    if (same_file(settings.program_name, settings.output_name)) {
        return usage_error("can't write the recording over its program " + settings.program_name);
    }
    std::vector<uint8_t> file;
    if (!read_program(settings.program_name, file, message)) return failure(message);
    TapePrograms programs;
    const SynthStep step = tape_programs(settings, file, programs, message);
    for (const std::string& note : programs.notes) {
        std::fprintf(stderr, "zx81synth: %s: %s\n", settings.program_name.c_str(), note.c_str());
    }
    switch (step) {
    case SynthStep::done: break;
    case SynthStep::failed: return failure(message);
    case SynthStep::bad_usage: return usage_error(message);
    }
    install_signal_cleanup();
    if (!write_recording(settings, programs.tapes, message)) return failure(message);
    return exit_done;
}
