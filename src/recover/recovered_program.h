// What the recovery finds on a recording: programs with every bit they were built from, the
// findings that locate their damage, and blocks of bursts that are not programs.
//
// A program on tape is its name (1 to 127 ZX81 codes, the last with bit 7 set) followed by
// the ZX81's memory from 0x4009 up to E_LINE, 8 bits a byte, most significant first. `bits`
// holds the bits of both in that order, one `ProgramBit` per bit on the tape; `bytes` is the
// P file (the memory part alone). Times are frames of the recording, counted from its first
// frame. Everything here is plain data, so that a later step can compare and merge takes.
//
// A program may have been heard more than once: copies saved one after the other, the two
// channels of a stereo recording, several recordings of one tape. Each is a take; once the
// takes are merged, `takes` says where each one lay and `decisions` how every place where
// they did not all hear the same clean bits was decided (by the takes or by the structure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// How a bit of a program came to be.
enum class BitOrigin : uint8_t {
    heard,  ///< one burst, as the demodulator heard it
    joined, ///< two pieces of one burst split by a short gap, joined into one bit
    lost,   ///< no burst at all: a gap in the signal swallowed it; its value is a guess (0)
};

/// One bit of a program, in tape order.
struct ProgramBit {
    int64_t start = 0;      // frame of the burst's first edge (of the gap, for a lost bit)
    int64_t end = 0;        // frame just after the burst (after the gap, for a lost bit)
    float confidence = 0.f; // how sure `value` is: 0.5 a coin toss, 1.0 certain
    uint8_t value = 0;      // 0 or 1
    uint8_t pulses = 0;     // pulses counted; 0 when they could not be counted
    bool certain = false;   // exactly 4 or 9 pulses with a timing in line: needs no second look
                            // (in a merged program: decided, by a take or by the structure)
    BitOrigin origin = BitOrigin::heard;
};

/// What was wrong, or worth knowing, at one place of a program.
enum class FindingKind : uint8_t {
    uncertain_bits, ///< bits of one byte whose bursts were not clean
    lost_bits,      ///< a gap in the signal where bits should have been
    stray_burst,    ///< a burst in the pause between two bits, left out
    start_missing,  ///< bursts run in rhythm into the name: its first characters may be lost
    cut_short,      ///< the signal ends before the program's E_LINE
    goes_on,        ///< bursts go on right after E_LINE: E_LINE itself may be wrong
    structure,      ///< what the P-file structure check says
};

struct RecoveryFinding {
    FindingKind kind = FindingKind::uncertain_bits;
    bool damage = true;  // false: a note that leaves the verdict alone
    int64_t frame = 0;   // where in the recording
    int64_t offset = -1; // byte offset in the P file; -1 when it lies in the name
    int name_index = -1; // the name's character (0 first) when it lies in the name
    std::string message; // what was wrong, in plain words
};

enum class Verdict : uint8_t {
    intact,        ///< every bit certain in every take, the data reached E_LINE, nothing
                   ///< contradicts it
    repaired,      ///< every bit decided, some only by another take or by the structure
    damaged,       ///< anything else that still looks like a program
    not_a_program, ///< bursts that do not form a ROM-format program
};

/// The channel a program was decoded from.
constexpr int mixed_channels = -1;

/// Where one take of a program lay, and what it was alone.
struct TakeSource {
    int recording = 0; // which recording, from 0, in a merge of several; 0 otherwise
    int channel = 0;   // as `RecoveredProgram::channel`
    int64_t start = 0; // frames, in that recording
    int64_t end = 0;
    Verdict verdict = Verdict::damaged; // the take's own verdict
};

enum class DecisionKind : uint8_t {
    takes,     ///< the takes did not all hear these bits clearly alike: the clear ones decided
    structure, ///< no take heard them clearly: only one reading fits the P file's structure
};

/// A place where bits were decided by something other than one clean burst in every take.
struct Decision {
    DecisionKind kind = DecisionKind::takes;
    int64_t offset = -1;         // the first byte in the P file; -1 when it lies in the name
    int name_index = -1;         // the name's character (0 first) when it lies in the name
    std::size_t bytes = 1;       // consecutive bytes decided alike
    std::vector<int64_t> frames; // where it lies in each take, in `takes` order; -1: nowhere
    std::string message;         // what each take heard and what was decided, in plain words
};

struct RecoveredProgram {
    Verdict verdict = Verdict::damaged;
    int64_t start = 0;                     // frame of the first burst
    int64_t end = 0;                       // frame just after the last one
    std::vector<uint8_t> name;             // the codes as saved, the last with bit 7 set
    std::vector<uint8_t> bytes;            // the P file: 0x4009 up to E_LINE, or what came
    std::size_t expected_bytes = 0;        // E_LINE - 0x4009 as the program says
    std::vector<ProgramBit> bits;          // the name's bits, then the program's
    std::vector<RecoveryFinding> findings; // in tape order, then the structure check's
    int channel = 0;                       // 0 first (left), 1 second (right); or mixed
    std::size_t bursts = 0;                // not-a-program: the bursts heard in the block
    bool companion = false;                // another channel's take of a program that the
                                           // chosen channel holds too: merged, never alone
    std::vector<TakeSource> takes;         // once merged: every take, the first the one whose
                                           // times and channel the program carries
    std::vector<Decision> decisions;       // once merged: what the takes or the structure
                                           // decided, in tape order
};

/// True when the finding makes the program damaged.
inline bool any_damage(const std::vector<RecoveryFinding>& findings) {
    for (const RecoveryFinding& f : findings) {
        if (f.damage) return true;
    }
    return false;
}
