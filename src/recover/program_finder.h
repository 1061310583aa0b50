// Finding the programs in a train of bits, as the ZX81's loader would, but without stopping at
// the first one or at damage.
//
//   silence | name | VERSN .. E_LINE | ... program ... | E_LINE reached | silence or the next
//
// A program starts with a name (1 to 127 codes, the last with bit 7 set) followed by system
// variables that make sense (`read_program_header`), and ends at its own E_LINE. Where the
// bits begin is tried burst by burst, so leaders of noise, clicks and voice before it are
// skipped whether or not silence separates them from the name:
//
//   - a header whose bits are all certain and in rhythm is taken anywhere, unless clean data
//     run right into it (then it is a chance match inside other data);
//   - a header with unclear bits is taken only where a program may begin: after a silence or
//     other signal, or right after the previous program's end; when a clean header starts a
//     little later after a gap or other signal, the clean one is the start (bursts that run
//     in rhythm into a header belong to its name, however unclear they are);
//   - a program that overlays its system variables (only E_LINE makes sense, within 1K) must
//     have clean bits where it begins, end with 0x80, and is kept only when the recording
//     confirms its end: silence, the end of the recording or the next BASIC program right
//     after its last byte.
//
// A program whose first burst follows, in rhythm, bursts that started nothing may have lost
// the start of its name (the demodulator missed a burst there): that is damage too.
//
// Inside a program a gap that had room for bits becomes that many lost bits (a finding), and
// the program goes on; a silence of more than 1.5 s, or a new program's header after a gap,
// ends it early instead (also a finding). After E_LINE one or two stray bursts (the ZX81's
// stray pulse) are skipped; more bursts in rhythm mean E_LINE itself is doubtful.
//
// Bursts that start no program, and the other signal around them, are gathered into blocks
// that end at a silence of 0.3 s. A block of bursts (32 or more, and either longer in all than
// the noise in it or coming 20 a second or more) is reported as not a program: a fast loader,
// another machine's tape, a program whose start is missing. A fast loader's short bursts
// between tones the demodulator calls noise are a block of the second kind. Noise, voice and
// clicks are mostly not bursts: skipped.
//
// Memory: the bits of the program being read and the bursts of one header beyond it (of an
// overlay, which may still be rejected, its bursts too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "recover/bit_rhythm.h"
#include "recover/program_header.h"
#include "recover/recovered_program.h"

/// The fewest bursts a block that is not a program needs to be reported.
constexpr std::size_t min_block_bursts = 32;
/// Or, where the noise in it lasts longer than its bursts, this many bursts a second at least.
constexpr double min_block_burst_rate = 20.0;

/// Finds the programs of one channel.
class ProgramFinder {
  public:
    /// `rate` is the recording's frames per second; `channel` is put on every program.
    ProgramFinder(int rate, int channel);

    /// Takes the next bursts and appends every program and block now complete, in order.
    void take(const std::vector<TapeEvent>& events, std::vector<RecoveredProgram>& out);

    /// The end of the recording: appends whatever is left.
    void finish(std::vector<RecoveredProgram>& out);

    /// The earliest frame at which anything handed on later can start; -1 when nothing is
    /// waiting (the next burst taken decides).
    int64_t pending_start() const;

  private:
    enum class Answer : uint8_t { no, wait, yes };
    enum class Reading : uint8_t { wait, complete, cut_short };

    /// Whether a program starts at an event.
    struct Start {
        Answer answer = Answer::no;
        ProgramHeader header;
        bool clean = true;      // every bit of the header certain, nothing lost or stray
        std::size_t events = 0; // events the header spans
    };

    /// `may_begin`: a program may begin here (after silence, other signal or the previous
    /// program), so a header with unclear bits or an overlay counts; `may_clean`: a clean
    /// BASIC header counts even so (what came before was not clean data).
    Start try_start(std::size_t at, bool finished, bool may_begin, bool may_clean) const;
    void run(bool finished, std::vector<RecoveredProgram>& out);
    Reading read_program(bool finished);
    Answer confirm_end(bool finished, std::size_t& skipped) const;
    std::size_t header_bits_read() const;
    bool junk_before(std::size_t later) const;
    void emit_program(std::vector<RecoveredProgram>& out, std::size_t consumed);
    void reject_start();
    void drop_junk(std::vector<RecoveredProgram>& out);
    void close_junk(std::vector<RecoveredProgram>& out);

    std::string milliseconds(int64_t frames) const;

    double rate_;
    int channel_;
    int64_t max_dropout_; // the longest gap inside a program, in frames
    std::deque<TapeEvent> events_;
    bool train_start_ = true;      // the first event may begin a program as after a silence
    bool dropped_clean_ = false;   // the last event dropped as junk was a certain bit
    std::size_t rhythm_run_ = 0;   // events dropped in one rhythm right before the first
    int64_t rhythm_run_start_ = 0; // where that run began

    // The program being read.
    bool reading_ = false;
    ProgramHeader header_;
    std::size_t cursor_ = 0;          // next event of `events_` to read
    std::size_t restart_checked_ = 0; // event already found not to start a program
    RecoveredProgram program_;

    // The bursts that start no program, and the other signal among them.
    bool junk_open_ = false;
    RecoveredProgram junk_;
    int64_t junk_burst_frames_ = 0;
    int64_t junk_noise_frames_ = 0;
    int64_t silence_gap_; // a silence this long ends a block
};
