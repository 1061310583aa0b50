#include "signal/war_file.h"

#include "io/output_file.h"
#include "sound/sample_source.h"

namespace {

// Closes the source on every way out of the step.
struct OpenSource {
    SampleSource source;
    ~OpenSource() { close_sample_source(source); }
};

} // namespace

StageStatus make_war_file(const std::string& raw_name, const std::string& war_name,
                          const SignalOptions& options, PulseCalibration& calibration,
                          const BlockReport& report, const NormalisedBlock& observe) {
    OpenSource in;
    const SourceOpen opened = open_sample_source(in.source, raw_name);
    if (opened == SourceOpen::no_memory) return StageStatus::no_memory;
    if (opened != SourceOpen::ok) return StageStatus::unreadable;
    OutputFile war;
    if (!open_output(war, war_name)) return StageStatus::cannot_create;

    const StageStatus status = for_each_block(
        block_samples,
        [&](uint8_t* block, std::size_t capacity, std::size_t& got) {
            uint32_t count = 0;
            const bool ok = read_samples(in.source, block, static_cast<uint32_t>(capacity), count);
            got = count;
            return ok;
        },
        [&](uint8_t* block, std::size_t size) {
            report(normalise_block(block, static_cast<uint32_t>(size), options, calibration));
            if (observe) observe(block, size);
            write_output(war, block, size);
        });
    if (status != StageStatus::done) return status;
    write_output(war, &war_end_marker, 1);
    close_sample_source(in.source);
    return commit_output(war) ? StageStatus::done : StageStatus::cannot_write;
}
