#include "recover/program_verdict.h"

#include <algorithm>
#include <string>

#include "program/p_file_check.h"
#include "program/p_file_model.h"
#include "recover/word_list.h"

namespace {

// One finding for the unclear bits of one byte: which bits (7 is the first on tape), the
// pulses counted, and what they were read as.
RecoveryFinding unclear_byte(const std::vector<ProgramBit>& bits, std::size_t byte,
                             std::size_t name_length) {
    std::vector<std::string> numbers, pulses, values;
    int64_t frame = -1;
    bool joined = false;
    for (std::size_t i = byte * 8; i < std::min(bits.size(), byte * 8 + 8); ++i) {
        const ProgramBit& bit = bits[i];
        if (bit.certain || bit.origin == BitOrigin::lost) continue;
        if (frame < 0) frame = bit.start;
        numbers.push_back(std::to_string(7 - static_cast<int>(i - byte * 8)));
        pulses.push_back(bit.pulses > 0 ? std::to_string(bit.pulses) : "uncounted");
        values.push_back(std::to_string(bit.value));
        joined = joined || bit.origin == BitOrigin::joined;
    }
    RecoveryFinding finding;
    finding.kind = FindingKind::uncertain_bits;
    finding.frame = frame;
    place_finding(finding, byte, name_length);
    const bool one = numbers.size() == 1;
    finding.message = std::string(one ? "bit " : "bits ") + list_of(numbers) + " unclear (" +
                      list_of(pulses) + (one && pulses[0] == "1" ? " pulse" : " pulses") +
                      (joined ? ", a burst split in two" : "") + "), read as " + list_of(values);
    return finding;
}

} // namespace

void place_finding(RecoveryFinding& finding, std::size_t tape_byte, std::size_t name_length) {
    if (tape_byte < name_length) {
        finding.offset = -1;
        finding.name_index = static_cast<int>(tape_byte);
    } else {
        finding.offset = static_cast<int64_t>(tape_byte - name_length);
        finding.name_index = -1;
    }
}

void place_decision(Decision& decision, std::size_t tape_byte, std::size_t name_length) {
    if (tape_byte < name_length) {
        decision.offset = -1;
        decision.name_index = static_cast<int>(tape_byte);
    } else {
        decision.offset = static_cast<int64_t>(tape_byte - name_length);
        decision.name_index = -1;
    }
}

std::vector<uint8_t> bytes_of_bits(const std::vector<ProgramBit>& bits) {
    std::vector<uint8_t> bytes(bits.size() / 8);
    for (std::size_t i = 0; i < bytes.size() * 8; ++i) {
        bytes[i / 8] = static_cast<uint8_t>(bytes[i / 8] << 1 | (bits[i].value & 1));
    }
    return bytes;
}

void judge_program(RecoveredProgram& program) {
    const std::vector<ProgramBit>& bits = program.bits;
    const std::size_t name_length = program.name.size();
    for (std::size_t byte = 0; byte * 8 < bits.size(); ++byte) {
        const auto first = bits.begin() + static_cast<std::ptrdiff_t>(byte * 8);
        const auto last =
            bits.begin() + static_cast<std::ptrdiff_t>(std::min(bits.size(), byte * 8 + 8));
        const bool unclear = std::any_of(first, last, [](const ProgramBit& b) {
            return !b.certain && b.origin != BitOrigin::lost;
        });
        if (unclear) program.findings.push_back(unclear_byte(bits, byte, name_length));
    }
    std::stable_sort(
        program.findings.begin(), program.findings.end(),
        [](const RecoveryFinding& a, const RecoveryFinding& b) { return a.frame < b.frame; });
    const bool damaged = any_damage(program.findings);
    program.verdict = damaged ? Verdict::damaged : Verdict::intact;

    // The structure check, located on the recording by the byte it names.
    for (const Finding& found : check_p_file(parse_p_file(program.bytes))) {
        RecoveryFinding finding;
        finding.kind = FindingKind::structure;
        finding.damage = damaged;
        place_finding(finding, name_length + found.offset, name_length);
        const std::size_t bit = (name_length + found.offset) * 8;
        finding.frame = bit < bits.size() ? bits[bit].start : program.end;
        finding.message = found.message;
        program.findings.push_back(std::move(finding));
    }
}
