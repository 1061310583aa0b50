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

// The block buffers, passed between the thread that reads the recording and this thread,
// which normalises, observes and (for a sound file) writes. A raw recording costs little to
// read, so one buffer does, and the file thread writes each block too while this thread
// observes it:
//
//   file thread   read block k ........ | write block k      | read block k+1 ...
//   this thread      normalise block k  | observe block k    |    normalise block k+1
//
// Decoding a sound file costs more than everything else, so it gets a thread to itself and a
// second buffer: it reads block k+1 while this thread observes and writes block k.
//
// A block is normalised while it is read once the bit lengths are known (each range as soon
// as it has arrived).
struct Pipeline {
    std::mutex lock;
    std::condition_variable changed;
    int slots = 1;               // block buffers: 1, or 2 when this thread writes
    std::size_t holds[2] = {};   // the block number each buffer holds, from 0
    std::size_t filled[2] = {};  // samples of that block read so far
    bool complete[2] = {};       // that block is read whole (or its reading failed)
    bool failed[2] = {};         // reading that block failed: the step stops
    std::size_t normalised = 0;  // blocks that may be written (one buffer)
    std::size_t released = 0;    // blocks done with: their buffer may be read into again
    bool stopped = false;        // this thread is done: the file thread ends where it waits
};

// The file thread: reads every block and, with one buffer, writes each once it is normalised.
void read_blocks(Pipeline& shared, uint8_t* const* buffers, SampleSource& source,
                 OutputFile& war) {
    const bool writes = shared.slots == 1;
    for (std::size_t number = 0;; ++number) {
        const int slot = static_cast<int>(number % static_cast<std::size_t>(shared.slots));
        {
            // The buffer is free once the block it held before is done with.
            std::unique_lock<std::mutex> hold(shared.lock);
            shared.changed.wait(hold, [&] {
                return shared.released + static_cast<std::size_t>(shared.slots) > number ||
                       shared.stopped;
            });
            if (shared.stopped) return;
            shared.holds[slot] = number;
            shared.filled[slot] = 0;
            shared.complete[slot] = false;
            shared.failed[slot] = false;
        }
        uint8_t* const block = buffers[slot];
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
            shared.filled[slot] = filled;
            shared.failed[slot] = !ok;
            shared.complete[slot] = !ok || short_read || filled == block_samples;
            shared.changed.notify_all();
            if (shared.stopped) return;
        }
        if (!ok) return;
        if (writes) {
            std::unique_lock<std::mutex> hold(shared.lock);
            shared.changed.wait(hold, [&] { return shared.normalised > number || shared.stopped; });
            if (shared.normalised <= number) return;
            hold.unlock();
            write_output(war, block, filled);
        }
        if (filled < block_samples) return;
    }
}

// Waits until more than `have` samples of block `number` are there, or the block is complete;
// returns how many are there.
std::size_t wait_for_samples(Pipeline& shared, std::size_t number, std::size_t have,
                             bool& complete, bool& failed) {
    const int slot = static_cast<int>(number % static_cast<std::size_t>(shared.slots));
    std::unique_lock<std::mutex> hold(shared.lock);
    shared.changed.wait(hold, [&] {
        return shared.holds[slot] == number &&
               (shared.filled[slot] > have || shared.complete[slot]);
    });
    complete = shared.complete[slot];
    failed = shared.failed[slot];
    return shared.filled[slot];
}

// Sets a count of blocks to `number` + 1 and wakes the other thread.
void count_block(Pipeline& shared, std::size_t Pipeline::*count, std::size_t number) {
    const std::lock_guard<std::mutex> hold(shared.lock);
    shared.*count = number + 1;
    shared.changed.notify_all();
}

void stop(Pipeline& shared) {
    const std::lock_guard<std::mutex> hold(shared.lock);
    shared.stopped = true;
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
    // A raw recording is read into one buffer, a sound file into two (see Pipeline).
    Pipeline shared;
    shared.slots = in.source.raw != nullptr ? 1 : 2;
    std::unique_ptr<uint8_t[]> buffers[2];
    uint8_t* blocks[2] = {};
    for (int slot = 0; slot < shared.slots; ++slot) {
        buffers[slot].reset(new (std::nothrow) uint8_t[block_samples]);
        if (!buffers[slot]) return StageStatus::no_memory;
        blocks[slot] = buffers[slot].get();
    }
    const bool this_thread_writes = shared.slots == 2;

    bool failed = false;
    {
        BackgroundTask files;
        if (files.start([&] { read_blocks(shared, blocks, in.source, war); })) {
            for (std::size_t number = 0;; ++number) {
                uint8_t* const data = blocks[number % static_cast<std::size_t>(shared.slots)];
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
                        normalise_range(normaliser, data, size, filled);
                        size = filled;
                    }
                    measured.block_length = static_cast<uint32_t>(size);
                    measured.calibration = calibration;
                } else {
                    while (!complete) {
                        size = wait_for_samples(shared, number, size, complete, failed);
                    }
                    if (!failed) {
                        measured = normalise_block(data, static_cast<uint32_t>(size), options,
                                                   calibration);
                    }
                }
                if (failed) break;
                report(measured);
                count_block(shared, &Pipeline::normalised, number);
                if (observe) observe(data, size);
                if (this_thread_writes) write_output(war, data, size);
                count_block(shared, &Pipeline::released, number);
                if (size < block_samples) break;
            }
            stop(shared);
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
