// What the recovery finds on a recording: programs with every bit they were built from, the
// findings that locate their damage, and blocks of bursts that are not programs.
//
// A program on tape is its name (1 to 127 ZX81 codes, the last with bit 7 set) followed by
// the ZX81's memory from 0x4009 up to E_LINE, 8 bits a byte, most significant first. `bits`
// holds the bits of both in that order, one `ProgramBit` per bit on the tape; `bytes` is the
// P file (the memory part alone). Times are frames of the recording, counted from its first
// frame. Everything here is plain data, so that a later step can compare and merge takes.
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
    uint8_t value = 0;      // 0 or 1
    uint8_t pulses = 0;     // pulses counted; 0 when they could not be counted
    bool certain = false;   // exactly 4 or 9 pulses with a timing in line: needs no second look
    float confidence = 0.f; // how sure `value` is: 0.5 a coin toss, 1.0 certain
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
    intact,        ///< every bit certain, the data reached E_LINE, nothing contradicts it
    damaged,       ///< anything else that still looks like a program
    not_a_program, ///< bursts that do not form a ROM-format program
};

/// The channel a program was decoded from.
constexpr int mixed_channels = -1;

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
};

/// True when the finding makes the program damaged.
inline bool any_damage(const std::vector<RecoveryFinding>& findings) {
    for (const RecoveryFinding& f : findings) {
        if (f.damage) return true;
    }
    return false;
}
