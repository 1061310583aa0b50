// The rhythm and the program finder on random bursts. Every 4 bytes of the input are one burst
// heard at 22050 Hz:
//
//   byte 0   the gap before it in frames (bit 3 of byte 3: times 1000, a silence)
//   byte 1   its length in frames
//   byte 2   its pulses (low 4 bits)
//   byte 3   bit 0 its value, bit 1 certain, bit 2 other signal in the gap before it,
//            bit 3 the long gap
//
// The first two bytes of the input say where the bursts are cut in two: what the finder
// reports must not depend on how the bursts are handed to it. And what it reports must hold
// together: programs in order, names of 1 to 127 codes with the last one marked, as many bits
// as the name and the bytes, intact only with every bit certain.
#include <vector>

#include "fuzz_input.h"
#include "recover/bit_rhythm.h"
#include "recover/program_finder.h"

namespace {

constexpr int rate = 22050;

std::vector<RecoveredProgram> find(const std::vector<HeardBit>& bits,
                                   const std::vector<HeardNoise>& noise, std::size_t cut) {
    BitRhythm rhythm(rate);
    ProgramFinder finder(rate, 0);
    std::vector<RecoveredProgram> found;
    std::vector<TapeEvent> events;
    const std::vector<HeardBit> first(bits.begin(), bits.begin() + static_cast<long>(cut));
    const std::vector<HeardBit> second(bits.begin() + static_cast<long>(cut), bits.end());
    std::vector<HeardNoise> first_noise, second_noise;
    for (const HeardNoise& n : noise) {
        (cut < bits.size() && n.start >= bits[cut].start ? second_noise : first_noise).push_back(n);
    }
    rhythm.take(first, first_noise, events);
    finder.take(events, found);
    events.clear();
    rhythm.take(second, second_noise, events);
    rhythm.finish(events);
    finder.take(events, found);
    finder.finish(found);
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::size_t cut_at = in.take_u16();
    std::vector<HeardBit> bits;
    std::vector<HeardNoise> noise;
    int64_t clock = 0;
    while (in.size >= 4) {
        const uint8_t gap = in.take_u8(), length = in.take_u8(), pulses = in.take_u8();
        const uint8_t flags = in.take_u8();
        const int64_t before = (flags & 8) != 0 ? int64_t{gap} * 1000 : gap;
        if ((flags & 4) != 0 && before > 2) noise.push_back({clock + 1, clock + before - 1});
        HeardBit bit;
        bit.start = clock + before;
        bit.end = bit.start + length;
        bit.pulses = pulses & 15;
        bit.value = flags & 1;
        bit.certain = (flags & 2) != 0;
        bit.confidence = bit.certain ? 1.0f : 0.6f;
        clock = bit.end;
        bits.push_back(bit);
    }
    const std::size_t cut = bits.empty() ? 0 : cut_at % (bits.size() + 1);
    const std::vector<RecoveredProgram> whole = find(bits, noise, bits.size());
    const std::vector<RecoveredProgram> split = find(bits, noise, cut);

    FUZZ_CHECK(whole.size() == split.size());
    int64_t previous_start = -1;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const RecoveredProgram& p = whole[i];
        FUZZ_CHECK(p.verdict == split[i].verdict && p.bytes == split[i].bytes &&
                   p.name == split[i].name && p.start == split[i].start);
        FUZZ_CHECK(p.start >= previous_start && p.end >= p.start);
        previous_start = p.start;
        if (p.verdict == Verdict::not_a_program) continue;
        FUZZ_CHECK(!p.name.empty() && p.name.size() <= 127);
        for (std::size_t k = 0; k + 1 < p.name.size(); ++k)
            FUZZ_CHECK((p.name[k] & 0x80) == 0);
        FUZZ_CHECK(p.bits.size() / 8 == p.name.size() + p.bytes.size());
        FUZZ_CHECK(p.bytes.size() <= p.expected_bytes);
        if (p.verdict == Verdict::intact) {
            FUZZ_CHECK((p.name.back() & 0x80) != 0 && p.bytes.size() == p.expected_bytes);
            for (const ProgramBit& bit : p.bits)
                FUZZ_CHECK(bit.certain);
        }
    }
    return 0;
}
