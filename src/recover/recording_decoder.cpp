#include "recover/recording_decoder.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "demod/demodulator.h"
#include "io/platform.h"
#include "recover/bit_rhythm.h"
#include "recover/channel_choice.h"
#include "recover/program_finder.h"
#include "recover/rate_probe.h"
#include "sound/frame_reader.h"
#include "sound/sample_source.h"

namespace {

constexpr std::size_t block_frames = std::size_t{1} << 16;

// How much of a raw recording's start the rate probe may read: a file is read again from the
// start afterwards, a pipe's start is kept in memory.
constexpr int64_t probe_file_limit = int64_t{1} << 26;
constexpr std::size_t probe_pipe_limit = std::size_t{1} << 22;

// The most channels of one file decoded on their own.
constexpr int max_decoded_channels = 8;

// One channel's way from samples to programs.
struct ChannelDecoder {
    ChannelDecoder(int rate, int source_channel, int label)
        : source(source_channel), demod(rate), rhythm(rate), finder(rate, label),
          samples(block_frames) {}

    int source; // the file's channel, or mixed_channels for the average of all
    Demodulator demod;
    BitRhythm rhythm;
    ProgramFinder finder;
    std::vector<float> samples;
    Heard heard;
    std::vector<TapeEvent> events;
    std::vector<RecoveredProgram> found;
    int64_t fed = 0;

    // Takes this channel's samples out of `count` interleaved frames and decodes them.
    void run(const float* frames, std::size_t count, int channels) {
        const auto stride = static_cast<std::size_t>(channels);
        if (source == mixed_channels) {
            const float scale = 1.0f / static_cast<float>(channels);
            for (std::size_t i = 0; i < count; ++i) {
                float sum = 0.0f;
                for (std::size_t c = 0; c < stride; ++c)
                    sum += frames[i * stride + c];
                samples[i] = sum * scale;
            }
        } else if (stride == 1) {
            std::copy(frames, frames + count, samples.begin());
        } else {
            const auto offset = static_cast<std::size_t>(source);
            for (std::size_t i = 0; i < count; ++i)
                samples[i] = frames[i * stride + offset];
        }
        heard.bits.clear();
        heard.noise.clear();
        demod.feed(samples.data(), count, heard);
        fed += static_cast<int64_t>(count);
        pass_on(false);
    }

    void finish() {
        heard.bits.clear();
        heard.noise.clear();
        demod.finish(heard);
        pass_on(true);
    }

    void pass_on(bool last) {
        events.clear();
        rhythm.take(heard.bits, heard.noise, events);
        if (last) rhythm.finish(events);
        finder.take(events, found);
        if (last) finder.finish(found);
    }

    // The frame before which this channel will hand on nothing more. The demodulator hands a
    // burst on when it is over, a little after its start: `latency` frames cover that.
    int64_t settled(int64_t latency) const {
        int64_t frame = fed - latency;
        const int64_t held = rhythm.held_start();
        if (held >= 0) frame = std::min(frame, held);
        const int64_t pending = finder.pending_start();
        if (pending >= 0) frame = std::min(frame, pending);
        return frame;
    }
};

// A thread that runs one job at a time for the caller.
class Worker {
  public:
    Worker() : thread_([this] { loop(); }) {}
    ~Worker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void start(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = std::move(job);
        }
        wake_.notify_all();
    }

    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !job_; });
    }

  private:
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return job_ || quit_; });
            if (!job_) return;
            lock.unlock();
            job_();
            lock.lock();
            job_ = nullptr;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void()> job_;
    bool quit_ = false;
    std::thread thread_; // last: it starts when everything else is ready
};

// The length of a regular raw file in bytes, or -1.
int64_t raw_length(std::FILE* stream) {
    if (!seek_stream(stream, 0, SEEK_END)) return -1;
    const int64_t length = stream_position(stream);
    if (!seek_stream(stream, 0, SEEK_SET)) return -1;
    return length;
}

// The decoders the options ask for.
std::vector<std::unique_ptr<ChannelDecoder>> make_decoders(const DecodeOptions& options, int rate,
                                                           int channels) {
    std::vector<std::unique_ptr<ChannelDecoder>> decoders;
    switch (options.channels) {
    case ChannelMode::automatic:
        for (int c = 0; c < std::min(channels, max_decoded_channels); ++c) {
            decoders.push_back(std::make_unique<ChannelDecoder>(rate, c, c));
        }
        break;
    case ChannelMode::left:
        decoders.push_back(std::make_unique<ChannelDecoder>(rate, 0, 0));
        break;
    case ChannelMode::right: {
        const int right = std::min(1, channels - 1);
        decoders.push_back(std::make_unique<ChannelDecoder>(rate, right, right));
        break;
    }
    case ChannelMode::mix:
        decoders.push_back(std::make_unique<ChannelDecoder>(
            rate, channels == 1 ? 0 : mixed_channels, channels == 1 ? 0 : mixed_channels));
        break;
    }
    return decoders;
}

// Measures a raw recording's rate from its start. `kept` receives the samples read when the
// input cannot be read again. False on a read error.
bool probe_raw_rate(SampleSource& source, bool rereadable, std::vector<float>& kept,
                    RecordingInfo& info) {
    RateProbe probe;
    std::vector<float> block(block_frames);
    int64_t probed = 0;
    bool ok = true;
    while (!probe.decided()) {
        if (rereadable ? probed >= probe_file_limit : kept.size() >= probe_pipe_limit) break;
        std::size_t count = 0;
        ok = read_frames(source, block.data(), block.size(), count);
        probe.feed(block.data(), count);
        if (!rereadable) kept.insert(kept.end(), block.begin(), block.begin() + count);
        probed += static_cast<int64_t>(count);
        if (!ok || count < block.size()) break;
    }
    info.rate_measured = true;
    info.rate = probe.rate();
    if (info.rate == 0) {
        info.rate = fallback_raw_rate;
        info.rate_unknown = true;
    }
    if (rereadable && !seek_stream(source.raw, 0, SEEK_SET)) return false;
    return ok;
}

} // namespace

RecordingInfo decode_recording(const std::string& name, const DecodeOptions& options,
                               const DecodeSink& sink) {
    RecordingInfo info;
    SampleSource source;
    switch (open_sample_source(source, name)) {
    case SourceOpen::ok:
        break;
    case SourceOpen::unreadable:
        info.status = DecodeStatus::unreadable;
        return info;
    case SourceOpen::no_memory:
        info.status = DecodeStatus::no_memory;
        return info;
    }
    struct Closer {
        SampleSource& source;
        ~Closer() { close_sample_source(source); }
    } closer{source};

    info.raw = source.raw != nullptr;
    info.channels = frame_channels(source);
    std::vector<float> kept; // a pipe's start, read by the rate probe
    if (info.raw) {
        const bool regular = file_kind(name) == FileKind::regular;
        if (regular) info.frames_expected = raw_length(source.raw);
        const bool rereadable = regular && info.frames_expected >= 0;
        if (options.raw_rate > 0) {
            info.rate = options.raw_rate;
        } else if (!probe_raw_rate(source, rereadable, kept, info)) {
            info.status = DecodeStatus::read_failed;
            return info;
        }
    } else {
        info.rate = source.rate;
        if (source.frames_declared != SF_COUNT_MAX) info.frames_expected = source.frames_declared;
        if (info.rate < lowest_rate || info.rate > highest_rate) {
            info.status = DecodeStatus::bad_rate;
            return info;
        }
    }
    if (sink.started) sink.started(info);

    auto decoders = make_decoders(options, info.rate, info.channels);
    std::vector<std::unique_ptr<Worker>> workers;
    for (std::size_t i = 1; i < decoders.size(); ++i)
        workers.push_back(std::make_unique<Worker>());
    ChannelChoice choice(static_cast<int>(decoders.size()));
    std::vector<RecoveredProgram> chosen;
    std::vector<int64_t> settled(decoders.size());
    const int channels = info.channels;

    // Runs `job` for every decoder, the first on this thread and the others on the workers.
    const auto for_each_decoder = [&](const std::function<void(ChannelDecoder&)>& job) {
        for (std::size_t i = 1; i < decoders.size(); ++i) {
            ChannelDecoder& decoder = *decoders[i];
            workers[i - 1]->start([&job, &decoder] { job(decoder); });
        }
        job(*decoders[0]);
        for (auto& worker : workers)
            worker->wait();
    };
    const auto hand_on = [&](bool finished) {
        for (std::size_t i = 0; i < decoders.size(); ++i) {
            choice.take(static_cast<int>(i), decoders[i]->found);
            settled[i] = decoders[i]->settled(info.rate);
        }
        choice.release(settled, finished, chosen);
        for (RecoveredProgram& program : chosen) {
            if (sink.program) sink.program(std::move(program));
        }
        chosen.clear();
    };

    std::vector<float> frames(block_frames * static_cast<std::size_t>(channels));
    std::size_t replayed = 0;
    for (;;) {
        std::size_t count = 0;
        bool ok = true;
        if (replayed < kept.size()) {
            count = std::min(block_frames, kept.size() - replayed);
            std::copy(kept.begin() + static_cast<std::ptrdiff_t>(replayed),
                      kept.begin() + static_cast<std::ptrdiff_t>(replayed + count), frames.begin());
            replayed += count;
            if (replayed == kept.size()) std::vector<float>().swap(kept);
        } else {
            ok = read_frames(source, frames.data(), block_frames, count);
        }
        if (count > 0) {
            const float* data = frames.data();
            for_each_decoder(
                [data, count, channels](ChannelDecoder& d) { d.run(data, count, channels); });
            info.frames += static_cast<int64_t>(count);
            hand_on(false);
            if (sink.progress) sink.progress(info.frames, info.frames_expected);
        }
        if (!ok) info.status = DecodeStatus::read_failed;
        if (!ok || count == 0) break;
    }
    for_each_decoder([](ChannelDecoder& d) { d.finish(); });
    hand_on(true);
    return info;
}
