// What the zx81rescue tests share: recordings put together in memory from the synthesiser's
// programs and leaders of our own, written as raw or WAV files, and running the tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "synth/synth_settings.h"

/// A recording in 8-bit steps around silence, as the synthesiser renders it.
struct TestRecording {
    int rate = 22050;
    std::vector<double> samples;

    void silence(double seconds);
    /// White noise of RMS `rms`.
    void noise(double seconds, double rms, uint64_t seed = 7);
    /// Something like a voice: syllables of a buzzing vowel (a 120-180 Hz fundamental and
    /// its harmonics up to 3 kHz) with short breaks.
    void voice(double seconds, double level);
    /// The bursts of `bytes` as a ZX81 (or a ZX80) saves them, without a name.
    void bytes(const std::vector<uint8_t>& bytes);
    /// A fast loader's block: random bits as bursts of one or two 200 us pulses with 400 us
    /// pauses, at full amplitude; not the ZX81's ROM format.
    void fast_loader(double seconds, uint64_t seed = 5);
    /// One click: a sharp spike and a short ring.
    void click(double level);
    /// A program saved under `name` as zx81synth records it with `settings` (its rate is
    /// replaced by this recording's). `peak` > 0 sets the pulses' peak in 8-bit steps, finer
    /// than the settings' whole steps allow.
    void program(const std::string& name, const std::vector<uint8_t>& bytes,
                 SynthSettings settings = {}, double peak = 0.0);
    /// Appends samples at full scale 1.0 (as the damage generator renders them), `scale`
    /// 8-bit steps to 1.0.
    void append(const std::vector<float>& more, double scale);
    /// Adds white noise, an offset and mains hum to the whole recording so far.
    void impair(double noise_rms, double dc, double hum, uint64_t seed = 11);
    /// The current length in frames.
    int64_t frames() const { return static_cast<int64_t>(samples.size()); }
};

/// Writes headerless unsigned 8-bit samples.
void write_raw(const std::string& path, const TestRecording& recording);

/// Writes a WAV file of one channel per recording (all of the same rate; shorter ones padded
/// with silence), 8 or 16-bit PCM.
void write_wav(const std::string& path, const std::vector<const TestRecording*>& channels,
               int bits);

/// The built zx81rescue, run in `cwd`; argument 0 is "zx81rescue".
RunResult run_zx81rescue(const std::vector<std::string>& args, const std::string& cwd);
