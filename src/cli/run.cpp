#include "cli/run.h"

#include <cstdio>
#include <string>

#include "bits/bit_file.h"
#include "cli/names.h"
#include "cli/usage.h"
#include "io/platform.h"
#include "pfile/p_file.h"
#include "pfile/saved_name.h"
#include "signal/war_file.h"

namespace {

// A check that stops the run: the message after everything already on standard output.
int stop(const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", message);
    return 1;
}

// The message of a step that stopped, naming its input or its output.
int step_failed(StageStatus status, const std::string& input, const std::string& output) {
    switch (status) {
    case StageStatus::done:
        return 0;
    case StageStatus::unreadable:
        std::fprintf(stderr, " *** error ***   Can't read file %s \n", input.c_str());
        break;
    case StageStatus::no_memory:
        std::fputs(" *** error ***   Not enough memory \n", stderr);
        break;
    case StageStatus::cannot_create:
        std::fprintf(stderr, " *** error ***   Can't open output file %s \n", output.c_str());
        break;
    case StageStatus::cannot_write:
        std::fprintf(stderr, " *** error ***   Can't write file %s \n", output.c_str());
        break;
    }
    return 1;
}

// The measurements of one block of the war step, as they are made.
void report_block(const BlockMeasurement& measured, const RunSettings& settings) {
    const PulseCalibration& c = measured.calibration;
    if (settings.verbose && measured.pause_measured) {
        std::printf("treshhold=%d bread=%u nfill=%d\n", settings.threshold, measured.block_length,
                    c.longest_pause);
    }
    if (measured.calibrated) {
        const int32_t shortest_pause = shortest_pause_of(c.longest_pause);
        std::printf("\nnplat = %d\n", shortest_pause);
        std::printf("\nnplat = %d n0=%d n1=%d\n", shortest_pause, c.zero_length, c.one_length);
    }
}

// The bit step builds the bit file in this run (so it will divide by the tolerance divisor).
bool builds_bit_file(const RunSettings& settings, const RunNames& names) {
    return settings.start_stage == StartStage::recording &&
           (settings.overwrite_bit || !can_reuse(settings, names.bit_name));
}

// A new P file must not be written over the recording, the bit file it is built from, or a
// file that the clean-up then removes.
bool p_name_is_run_file(const std::string& p_name, const RunNames& names) {
    return same_file(p_name, names.input) || same_file(p_name, names.war_name) ||
           same_file(p_name, names.bit_name);
}

void clean_up(const RunNames& names) {
    std::printf("... cleaning up intermediate file: %s\n", names.war_name.c_str());
    remove_file(names.war_name);
    std::printf("... cleaning up intermediate file: %s\n", names.bit_name.c_str());
    remove_file(names.bit_name);
}

// The war step; 0 when it went through, else the exit status after its messages. When the run
// will build the bit file, every block is classified into `record` on the way.
int war_step(const RunNames& names, const RunSettings& settings, PulseCalibration& calibration,
             BitRecord& record) {
    std::printf("... creating war file %s\n", names.war_name.c_str());
    SignalOptions options;
    options.threshold = settings.threshold;
    record.tolerance_divisor = settings.tolerance_divisor;
    record.following = builds_bit_file(settings, names);
    const StageStatus status = make_war_file(
        names.input, names.war_name, options, calibration,
        [&](const BlockMeasurement& measured) { report_block(measured, settings); },
        [&](const uint8_t* block, std::size_t size) {
            record_block(record, block, size, calibration);
        });
    record_end(record);
    if (status != StageStatus::done) return step_failed(status, names.input, names.war_name);
    if (calibration.zero_length == 0 || calibration.one_length == 0) {
        return stop("*** error *** Could not compute 0,1 bit length in samples");
    }
    return 0;
}

int bit_step(const RunNames& names, const RunSettings& settings,
             const PulseCalibration& calibration, const BitRecord& record) {
    if (!settings.overwrite_bit && can_reuse(settings, names.bit_name)) {
        std::printf("... using existing file %s\n", names.bit_name.c_str());
        return 0;
    }
    // A bit name that is a link to the recording would put the bits over it.
    if (same_file(names.bit_name, names.input)) {
        std::fflush(stdout);
        std::fprintf(stderr, " *** error ***   Can't use %s as both input and bit file \n",
                     names.bit_name.c_str());
        return 1;
    }
    std::printf("... creating bit file %s\n", names.bit_name.c_str());
    const UnknownBitReport report = [](int64_t position) {
        std::printf("unknown bit, nsample=%lld in war file\n", static_cast<long long>(position));
    };
    // The bits were classified while the war file was written, unless the record gave up or
    // the war file is not a plain file whose bytes would read back as they were written.
    const BitFileResult result =
        record.following && file_kind(names.war_name) == FileKind::regular
            ? make_bit_file_from_record(record, names.bit_name, report)
            : make_bit_file(names.war_name, names.bit_name, calibration,
                            settings.tolerance_divisor, report);
    return step_failed(result.status, names.war_name, names.bit_name);
}

// The name step and the P step.
int p_step(const RunNames& names, const RunSettings& settings) {
    std::string zx_name;
    if (!read_saved_name(names.bit_name, zx_name)) {
        std::fprintf(stderr, " *** error ***   Can't read name from file %s \n",
                     names.bit_name.c_str());
        return 1;
    }
    if (zx_name.empty()) {
        if (settings.use_saved_name) return stop("*** error *** Could not get the saved name ");
        std::fputs("*** warning *** Could not get the saved name", stdout);
    }
    std::string p_name;
    if (settings.use_saved_name) {
        std::printf("pathbuf=[%s] ZxName=[%s]\n", names.dir_part.c_str(), zx_name.c_str());
        p_name = join_name(names.dir_part, zx_name, ".p");
    } else {
        p_name = settings.given_p_name;
    }

    if (!settings.overwrite_p && can_reuse(settings, p_name)) {
        std::printf("... using existing file %s\n", p_name.c_str());
        return 0;
    }
    if (p_name_is_run_file(p_name, names)) {
        std::fflush(stdout);
        std::fprintf(stderr, " *** error ***   Can't use %s as both input and P file \n",
                     p_name.c_str());
        return 1;
    }
    std::printf("... creating P file %s\n", p_name.c_str());
    const UnknownBitPolicy policy =
        unknown_bit_policy(settings.unknown_as_zero, settings.unknown_as_one);
    const PFileResult result = make_p_file(
        names.bit_name, p_name, static_cast<int64_t>(zx_name.size()), policy, [](int64_t stored) {
            std::printf("error at cnt=%lld (0x%04llX)\n", static_cast<long long>(stored),
                        static_cast<unsigned long long>(stored));
        });
    if (result.read_whole && result.errors > 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "** aborted because of %lld error(s) !! (use -i or -o to try again)\n",
                     static_cast<long long>(result.errors));
    }
    return step_failed(result.status, names.bit_name, p_name);
}

} // namespace

int run_conversion(const std::string& input, RunSettings& settings) {
    const RunNames names = make_run_names(input, settings);

    const bool from_recording = settings.start_stage == StartStage::recording;
    if (from_recording && same_file(names.input, names.war_name)) {
        std::fprintf(stderr, " *** error ***   Can't use %s as both input and war file \n",
                     names.input.c_str());
        return 1;
    }
    if (settings.tolerance_divisor == 0 && builds_bit_file(settings, names)) {
        return stop("*** error *** k=0 is not allowed (the tolerance divisor must not be 0)");
    }

    PulseCalibration calibration;
    if (from_recording) {
        BitRecord record;
        if (const int status = war_step(names, settings, calibration, record)) return status;
        if (const int status = bit_step(names, settings, calibration, record)) return status;
    }
    if (settings.start_stage != StartStage::p_file) {
        if (const int status = p_step(names, settings)) return status;
        if (settings.clean_up) clean_up(names);
    }
    return 0;
}

int zx81tape_main(int argc, const char* const* argv) {
    if (argc < 2) {
        std::fputs(usage_text(argc > 0 ? argv[0] : "zx81tape").c_str(), stdout);
        return 0;
    }
    RunSettings settings;
    std::string reports;
    parse_options(argc, argv, settings, reports);
    std::fputs(reports.c_str(), stderr);
    install_signal_cleanup();
    const int status = run_conversion(argv[1], settings);
    if (std::fflush(stdout) != 0) return 1;
    return status;
}
