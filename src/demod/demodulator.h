// The robust demodulator: from the samples of one channel to the bits on the tape, each with
// how sure it is, with no settings to pick by hand.
//
// A ZX81 bit is a burst of pulses and a pause; 4 pulses are a 0, 9 pulses a 1:
//
//     0 bit:  _|~|_|~|_|~|_|~|________________         about 1.2 ms of pulses, 1.3 ms pause
//     1 bit:  _|~|_|~| ... (9) ... |~|________         about 2.7 ms of pulses, 1.3 ms pause
//
// The demodulator takes the samples of one channel as floats (full scale +-1.0) at the
// recording's own rate, block by block, and hands on every burst it heard as a `HeardBit`, and
// every stretch of signal that is not bursts of the ZX81's kind (noise, a click, a voice, a fast
// loader's tones) as a `HeardNoise`. Silence produces nothing: the stretch between two things
// heard is silence. Times are frame indices at the input's rate, counted from the first sample
// ever given. Memory stays constant however long the recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// One burst of pulses and the bit it stands for.
struct HeardBit {
    int64_t start = 0;      // frame of the burst's first edge
    int64_t end = 0;        // frame just after the burst's last pulse
    uint8_t value = 0;      // 0 or 1: the likelier bit
    uint8_t pulses = 0;     // pulses counted in the burst; 0 when they could not be counted
    bool certain = false;   // exactly 4 or 9 pulses, and a burst length in line with its
                            // neighbours: a bit that needs no second look
    float confidence = 0.f; // how sure `value` is: 0.5 is a coin toss, 1.0 is certain
    bool after_pause = false; // the previous bit heard ends an ordinary bit pause before this
                              // one: no pulses were lost between them. False for the first
                              // bit after silence, noise or any other gap
};

/// A stretch of signal that is not ZX81 bits.
struct HeardNoise {
    int64_t start = 0; // first frame
    int64_t end = 0;   // frame just after it
};

/// What one block of samples produced, in time order within each list.
struct Heard {
    std::vector<HeardBit> bits;
    std::vector<HeardNoise> noise;
};

class DemodulatorState; // defined by the implementation

/// Demodulates one channel of a recording.
class Demodulator {
  public:
    /// `rate` is the input's frames per second, 8000 to 384000.
    explicit Demodulator(int rate);
    ~Demodulator();
    Demodulator(const Demodulator&) = delete;
    Demodulator& operator=(const Demodulator&) = delete;

    /// Takes the next `count` samples and appends to `out` what they completed. A burst is
    /// handed on only when it is over, so what a block completes may lie partly in earlier
    /// blocks.
    void feed(const float* samples, std::size_t count, Heard& out);

    /// The end of the recording: appends whatever is still pending.
    void finish(Heard& out);

  private:
    std::unique_ptr<DemodulatorState> state_;
};
