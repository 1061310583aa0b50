#include "recover/recover_test_support.h"

#include <algorithm>
#include <cmath>

#include "program/zx81_charset.h"
#include "recover/bit_rhythm.h"
#include "recover/program_finder.h"
#include "support/p_file_builder.h"

std::vector<uint8_t> shaped_program(std::size_t size, uint32_t seed) {
    const auto build = [](std::size_t rem_bytes, uint32_t x) {
        std::vector<uint8_t> code(rem_bytes);
        for (uint8_t& b : code) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
            if (b == code_newline) b = 0;
        }
        return build_p_file({rem_line(1, code), text_line(20, "PRINT \"HELLO\"")});
    };
    const std::size_t overhead = build(0, seed).size();
    return build(size > overhead ? size - overhead : 0, seed);
}

std::vector<uint8_t> lined_program(std::size_t size, uint32_t seed) {
    uint32_t x = seed;
    const auto next = [&x](uint32_t below) {
        x = x * 1103515245u + 12345u;
        return (x >> 16) % below;
    };
    std::vector<BasicLine> lines;
    BuildOptions options;
    options.full_display = next(2) == 0;
    options.screen = {{0x26, 0x27, 0x28}};
    for (int number = 10; lines.size() < 8 || build_p_file(lines, options).size() < size;
         number += 10) {
        const std::string value = std::to_string(next(100000)) + "." + std::to_string(next(100));
        switch (next(4)) {
        case 0:
            lines.push_back(text_line(number, "LET V" + std::to_string(next(10)) + "=" + value));
            break;
        case 1:
            lines.push_back(text_line(number, "PRINT AT " + std::to_string(next(22)) + "," +
                                                  std::to_string(next(32)) + ";\"SCORE\""));
            break;
        case 2:
            lines.push_back(text_line(number, "IF A>" + value + " THEN GOTO " +
                                                  std::to_string(10 * (1 + next(50)))));
            break;
        default:
            lines.push_back(text_line(number, "FOR I=1 TO " + std::to_string(next(1000))));
            break;
        }
    }
    return build_p_file(lines, options);
}

std::vector<uint8_t> name_codes(const std::string& text) {
    std::vector<uint8_t> codes;
    for (char c : text)
        codes.push_back(static_cast<uint8_t>(code_of_ascii(c)));
    codes.back() |= 0x80;
    return codes;
}

int64_t HeardTape::frame(double seconds) const {
    return static_cast<int64_t>(std::llround(seconds * rate));
}

void HeardTape::bytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) {
        for (int b = 7; b >= 0; --b) {
            HeardBit bit;
            bit.value = static_cast<uint8_t>(byte >> b & 1);
            bit.pulses = bit.value != 0 ? 9 : 4;
            bit.certain = true;
            bit.confidence = 1.0f;
            bit.start = frame(clock);
            clock += bit.pulses * 300e-6 / speed;
            bit.end = frame(clock);
            clock += 1300e-6 / speed;
            bits.push_back(bit);
        }
    }
}

void HeardTape::program(const std::string& name, const std::vector<uint8_t>& program) {
    bytes(name_codes(name));
    bytes(program);
}

void HeardTape::burst(int pulses) {
    HeardBit bit;
    bit.pulses = static_cast<uint8_t>(pulses);
    bit.value = pulses > 6 ? 1 : 0;
    bit.confidence = 0.5f;
    bit.start = frame(clock);
    clock += pulses * 300e-6 / speed;
    bit.end = frame(clock);
    clock += 1300e-6 / speed;
    bits.push_back(bit);
}

std::vector<RecoveredProgram>
find_programs(const HeardTape& tape, const std::vector<HeardNoise>& noise, std::size_t block) {
    BitRhythm rhythm(tape.rate);
    ProgramFinder finder(tape.rate, 0);
    std::vector<RecoveredProgram> found;
    std::vector<TapeEvent> events;
    for (std::size_t i = 0; i < tape.bits.size(); i += block) {
        const std::size_t end = std::min(tape.bits.size(), i + block);
        const std::vector<HeardBit> bits(tape.bits.begin() + static_cast<std::ptrdiff_t>(i),
                                         tape.bits.begin() + static_cast<std::ptrdiff_t>(end));
        // The noise that lies before the last of these bursts goes with them.
        std::vector<HeardNoise> stretches;
        for (const HeardNoise& n : noise) {
            const bool before_last = n.start < bits.back().start;
            const bool after_earlier = i == 0 || n.start >= tape.bits[i - 1].start;
            if (before_last && after_earlier) stretches.push_back(n);
        }
        events.clear();
        rhythm.take(bits, stretches, events);
        finder.take(events, found);
    }
    events.clear();
    rhythm.finish(events);
    finder.take(events, found);
    finder.finish(found);
    return found;
}
