#include "signal/war_file.h"

#include <cstdio>
#include <memory>
#include <new>

#include "io/output_file.h"
#include "signal/normaliser.h"
#include "sound/sample_source.h"

bool make_war_file(const std::string& raw_name, const std::string& war_name,
                   const SignalOptions& options, PulseCalibration& calibration) {
    SampleSource source;
    const SourceOpen opened = open_sample_source(source, raw_name);
    if (opened == SourceOpen::no_memory) {
        std::fputs(" *** error ***   Not enough memory \n", stderr);
        return false;
    }
    if (opened != SourceOpen::ok) {
        std::fprintf(stderr, " *** error ***   Can't read file %s \n", raw_name.c_str());
        return false;
    }
    OutputFile war;
    if (!open_output(war, war_name)) {
        std::fprintf(stderr, " *** error ***   Can't open output file %s \n", war_name.c_str());
        close_sample_source(source);
        return false;
    }
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_samples]);
    if (!block) {
        std::fputs(" *** error ***   Not enough memory \n", stderr);
        discard_output(war);
        close_sample_source(source);
        return false;
    }

    std::string report;
    uint32_t bread;
    do {
        if (!read_samples(source, block.get(), block_samples, bread)) {
            std::fprintf(stderr, " *** error ***   Can't read file %s \n", raw_name.c_str());
            discard_output(war);
            close_sample_source(source);
            return false;
        }
        report.clear();
        normalise_block(block.get(), bread, options, calibration, report);
        std::fputs(report.c_str(), stdout);
        write_output(war, block.get(), bread);
    } while (bread == block_samples);

    write_output(war, &war_end_marker, 1);
    close_sample_source(source);
    if (!commit_output(war)) {
        std::fprintf(stderr, " *** error ***   Can't write file %s \n", war_name.c_str());
        return false;
    }
    return true;
}
