#include "signal/war_file.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

#include "io/output_file.h"
#include "io/platform.h"
#include "sound/sample_source.h"

namespace {

// Closes the source on every way out of the step.
struct OpenSource {
    SampleSource source;
    ~OpenSource() { close_sample_source(source); }
};

// Samples read at a time, so that the normalising can follow the reading within a block.
constexpr uint32_t read_strip = 1 << 18;

// The one block buffer, passed between the thread that reads and writes the files and the
// thread that normalises and observes:
//
//   file thread   read block k ........ | write block k      | read block k+1 ...
//   this thread      normalise block k  | observe block k    |    normalise block k+1
//
// A block is normalised while it is read once the bit lengths are known (each range as soon
// as it has arrived), written while it is observed, and read into again once both are done.
struct SharedBlock {
    std::mutex lock;
    std::condition_variable changed;
    std::size_t block = 0;   // the current block's number, from 0
    std::size_t filled = 0;  // samples of the current block read so far
    bool complete = false;   // the current block is read whole (or the reading failed)
    bool failed = false;     // a read failed: the step stops
    bool normalised = false; // the current block may be written
    bool observed = false;   // the current block may be read into again
    bool last = false;       // the current block is the last one
    bool stopped = false;    // this thread is done: the file thread ends where it waits
};

// The file thread: reads every block, and writes each once it is normalised.
void read_and_write(SharedBlock& shared, uint8_t* block, SampleSource& source, OutputFile& war) {
    for (;;) {
        std::size_t filled = 0;
        bool ok = true;
        bool short_read = false;
        while (filled < block_samples && ok && !short_read) {
            const uint32_t wanted =
                static_cast<uint32_t>(std::min<std::size_t>(read_strip, block_samples - filled));
            uint32_t got = 0;
            ok = read_samples(source, block + filled, wanted, got);
            filled += got;
            short_read = got < wanted;
            const std::lock_guard<std::mutex> hold(shared.lock);
            shared.filled = filled;
            shared.failed = !ok;
            shared.complete = !ok || short_read || filled == block_samples;
            shared.last = shared.complete && filled < block_samples;
            shared.changed.notify_all();
        }
        if (!ok) return;
        std::unique_lock<std::mutex> hold(shared.lock);
        shared.changed.wait(hold, [&] { return shared.normalised || shared.stopped; });
        if (!shared.normalised) return;
        hold.unlock();
        write_output(war, block, filled);
        hold.lock();
        shared.changed.wait(hold, [&] { return shared.observed || shared.stopped; });
        if (!shared.observed || shared.last) return;
        ++shared.block;
        shared.filled = 0;
        shared.complete = shared.normalised = shared.observed = false;
    }
}

// Waits until more than `have` samples of block `number` are there, or the block is complete;
// returns how many are there.
std::size_t wait_for_samples(SharedBlock& shared, std::size_t number, std::size_t have,
                             bool& complete, bool& failed) {
    std::unique_lock<std::mutex> hold(shared.lock);
    shared.changed.wait(hold, [&] {
        return shared.block == number && (shared.filled > have || shared.complete);
    });
    complete = shared.complete;
    failed = shared.failed;
    return shared.filled;
}

void set_flag(SharedBlock& shared, bool SharedBlock::*flag) {
    const std::lock_guard<std::mutex> hold(shared.lock);
    shared.*flag = true;
    shared.changed.notify_all();
}

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
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_samples]);
    if (!block) return StageStatus::no_memory;

    SharedBlock shared;
    bool failed = false;
    {
        BackgroundTask files;
        if (files.start([&] { read_and_write(shared, block.get(), in.source, war); })) {
            for (std::size_t number = 0;; ++number) {
                std::size_t size = 0;
                bool complete = false;
                BlockMeasurement measured;
                if (calibration_complete(calibration)) {
                    // Every range is normalised as soon as it has been read.
                    RangeNormaliser normaliser =
                        make_range_normaliser(options.threshold, calibration.longest_pause);
                    while (!complete) {
                        const std::size_t filled =
                            wait_for_samples(shared, number, size, complete, failed);
                        if (failed) break;
                        normalise_range(normaliser, block.get(), size, filled);
                        size = filled;
                    }
                    measured.block_length = static_cast<uint32_t>(size);
                    measured.calibration = calibration;
                } else {
                    while (!complete) {
                        size = wait_for_samples(shared, number, size, complete, failed);
                    }
                    if (!failed) {
                        measured = normalise_block(block.get(), static_cast<uint32_t>(size),
                                                   options, calibration);
                    }
                }
                if (failed) break;
                report(measured);
                set_flag(shared, &SharedBlock::normalised);
                if (observe) observe(block.get(), size);
                set_flag(shared, &SharedBlock::observed);
                if (size < block_samples) break;
            }
            set_flag(shared, &SharedBlock::stopped);
            files.wait();
        } else {
            // No second thread: the same steps one after another.
            const StageStatus status = for_each_block(
                block_samples,
                [&](uint8_t* data, std::size_t capacity, std::size_t& got) {
                    uint32_t count = 0;
                    const bool ok =
                        read_samples(in.source, data, static_cast<uint32_t>(capacity), count);
                    got = count;
                    return ok;
                },
                [&](uint8_t* data, std::size_t size) {
                    report(normalise_block(data, static_cast<uint32_t>(size), options,
                                           calibration));
                    if (observe) observe(data, size);
                    write_output(war, data, size);
                });
            failed = status != StageStatus::done;
            if (status == StageStatus::no_memory) return status;
        }
    }
    if (failed) return StageStatus::unreadable;
    write_output(war, &war_end_marker, 1);
    close_sample_source(in.source);
    return commit_output(war) ? StageStatus::done : StageStatus::cannot_write;
}
