// Bursts into a train of bits. The pause after every bit is the ZX81's clock: the gaps between
// the bursts the demodulator heard tell which belong together and where bits went missing.
//
//   burst  pause  burst  pause  burst       in rhythm: a pause of about 1.3 ms at speed 1
//   burst  pause  ( gap )  pause  burst     room for bits that left no burst: `lost`
//   bur- st                                 two pieces of one burst split by a short gap
//                                           (shorter than half a pause): joined, uncertain
//   burst  pause  ~  pause  burst           a short burst inside one pause (a click, the
//                                           ZX81's stray pulse): left out as a stray
//
// The pause and the lengths of both kinds of burst are learnt from the certain bits as they
// come, so a steady speed error and slow speed changes are followed; after a long silence the
// next pause between two certain bits is taken as it is. Memory is constant: at most one burst
// is held back, until the next one shows whether it was whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "demod/demodulator.h"

/// A burst as the program finder sees it: its bit, and what lay between it and the previous
/// burst of the train.
struct TapeEvent {
    HeardBit bit;              // joined pieces: the first one's start, the last one's end
    bool joined = false;       // made of two pieces of a split burst
    int64_t gap = 0;           // frames from the previous burst's end to this one's start
    int64_t lost = 0;          // bits the gap had room for: 0 in rhythm
    bool after_break = false;  // the first burst, or one after a silence or other signal
    bool noise_before = false; // other signal (noise, a click, a voice) lay in the gap
    int64_t noise_start = 0;   // where the first of it began
    int64_t noise_frames = 0;  // how long it lasted in all
    int strays = 0;            // stray bursts left out of the gap
    int64_t stray_frame = 0;   // the first of them
    uint8_t stray_pulses = 0;  // its pulses
};

/// Follows the rhythm of one channel's bursts.
class BitRhythm {
  public:
    /// `rate` is the recording's frames per second.
    explicit BitRhythm(int rate);

    /// Takes what the demodulator heard in one block and appends every burst that is now
    /// settled, in order.
    void take(const std::vector<HeardBit>& bits, const std::vector<HeardNoise>& noise,
              std::vector<TapeEvent>& out);

    /// The end of the recording: appends the burst still held back.
    void finish(std::vector<TapeEvent>& out);

    /// The start of the burst held back, or -1 when none is.
    int64_t held_start() const { return has_held_ ? held_.bit.start : -1; }

    /// The pause between two bits as learnt so far, in frames.
    double pause() const { return pause_; }

  private:
    void take_bit(const HeardBit& bit, std::vector<TapeEvent>& out);
    void take_noise(const HeardNoise& noise);
    void release_held(std::vector<TapeEvent>& out);
    void learn(const TapeEvent& event);
    int64_t room_for_bits(int64_t gap) const;
    bool short_burst(const HeardBit& bit) const;
    void join_into_held(const HeardBit& bit);

    double rate_;
    double pause_;            // frames between one burst's end and the next one's start
    double length0_;          // frames of a 0 bit's burst
    double length1_;          // frames of a 1 bit's burst
    bool pause_loose_ = true; // the next pause between certain bits is taken as it is

    TapeEvent held_; // the last burst, not yet handed on
    bool has_held_ = false;
    int64_t before_held_end_ = -1; // end of the burst handed on before it; -1 none
    bool before_held_certain_ = false;
    int64_t last_end_ = -1;    // end of the last burst of the train
    bool noise_since_ = false; // other signal since the last burst
    int64_t noise_start_ = 0;  // where it began
    int64_t noise_frames_ = 0; // and how long it lasted
    int pending_strays_ = 0;   // strays heard since the held burst
    int64_t pending_stray_frame_ = 0;
    uint8_t pending_stray_pulses_ = 0;
    std::size_t noise_next_ = 0; // next unread stretch of the block's noise
};
