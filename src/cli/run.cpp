#include "cli/run.h"

#include <cstdio>

#include "bits/bit_file.h"
#include "cli/names.h"
#include "cli/usage.h"
#include "io/platform.h"
#include "pfile/p_file.h"
#include "pfile/saved_name.h"
#include "signal/war_file.h"

namespace {

// The bit step builds the bit file in this run (so it will divide by the tolerance divisor).
bool builds_bit_file(const RunSettings& settings, const RunNames& names) {
    return settings.start_stage < 2 &&
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

} // namespace

int run_conversion(const std::string& input, RunSettings& settings) {
    const RunNames names = make_run_names(input, settings);

    if (settings.start_stage < 1 && same_file(names.input, names.war_name)) {
        std::fprintf(stderr, " *** error ***   Can't use %s as both input and war file \n",
                     names.input.c_str());
        return 1;
    }
    if (settings.tolerance_divisor == 0 && builds_bit_file(settings, names)) {
        fatal_error("*** error *** k=0 is not allowed (the tolerance divisor must not be 0)");
    }

    PulseCalibration calibration;
    if (settings.start_stage < 1) {
        std::printf("... creating war file %s\n", names.war_name.c_str());
        SignalOptions options;
        options.threshold = settings.threshold;
        options.verbose = settings.verbose != 0;
        if (!make_war_file(names.input, names.war_name, options, calibration)) return 1;
        if (calibration.n0 == 0 || calibration.n1 == 0) {
            fatal_error("*** error *** Could not compute 0,1 bit length in samples");
        }
    }

    if (settings.start_stage < 2) {
        if (!settings.overwrite_bit && can_reuse(settings, names.bit_name)) {
            std::printf("... using existing file %s\n", names.bit_name.c_str());
        } else {
            // A bit name that is a link to the recording would put the bits over it.
            if (same_file(names.bit_name, names.input)) {
                std::fflush(stdout);
                std::fprintf(stderr, " *** error ***   Can't use %s as both input and bit file \n",
                             names.bit_name.c_str());
                return 1;
            }
            std::printf("... creating bit file %s\n", names.bit_name.c_str());
            if (!make_bit_file(names.war_name, names.bit_name, calibration,
                               settings.tolerance_divisor)) {
                return 1;
            }
        }
    }

    if (settings.start_stage < 3) {
        std::string zx_name;
        if (!read_saved_name(names.bit_name, zx_name)) return 1;
        if (zx_name.empty()) {
            if (settings.use_saved_name) {
                fatal_error("*** error *** Could not get the saved name ");
            }
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
        } else {
            if (p_name_is_run_file(p_name, names)) {
                std::fflush(stdout);
                std::fprintf(stderr, " *** error ***   Can't use %s as both input and P file \n",
                             p_name.c_str());
                return 1;
            }
            std::printf("... creating P file %s\n", p_name.c_str());
            const UnknownBitPolicy policy =
                unknown_bit_policy(settings.unknown_as_zero, settings.unknown_as_one);
            if (!make_p_file(names.bit_name, p_name, static_cast<int64_t>(zx_name.size()),
                             policy)) {
                return 1;
            }
        }
        if (settings.clean_up) clean_up(names);
    }
    return 0;
}

int zx81tape_main(int argc, const char* const* argv) {
    if (argc < 2) {
        print_usage(argc > 0 ? argv[0] : "zx81tape");
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
