// Repair from structure, against programs built as a ZX81 saves them: it decides what the
// structure pins (a line's NEWLINE, the display file's, the pointers), never what it leaves
// free (REM text), and never a bit the wrong way; a gap whose bits were miscounted by one is
// found again.
#include <algorithm>

#include <gtest/gtest.h>

#include "program/p_file_model.h"
#include "program/zx81_charset.h"
#include "recover/recover_test_support.h"
#include "recover/structure_repair.h"
#include "support/p_file_builder.h"

namespace {

// A program heard cleanly: every bit certain.
RecoveredProgram heard_cleanly(const std::vector<uint8_t>& name,
                               const std::vector<uint8_t>& bytes) {
    RecoveredProgram p;
    p.name = name;
    p.bytes = bytes;
    p.expected_bytes = bytes.size();
    std::vector<uint8_t> all = name;
    all.insert(all.end(), bytes.begin(), bytes.end());
    for (std::size_t i = 0; i < all.size() * 8; ++i) {
        ProgramBit bit;
        bit.start = bit.end = static_cast<int64_t>(i) * 100;
        bit.value = all[i / 8] >> (7 - i % 8) & 1;
        bit.certain = true;
        bit.confidence = 1.0f;
        bit.pulses = bit.value != 0 ? 9 : 4;
        p.bits.push_back(bit);
    }
    return p;
}

ProgramBit lost_bit() {
    ProgramBit bit;
    bit.origin = BitOrigin::lost;
    return bit;
}

TEST(StructureRepair, ProgramsAsSavedHoldTheStructure) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        EXPECT_FALSE(find_structure_break(lined_program(300 + 200 * seed, seed)).broken) << seed;
        EXPECT_FALSE(find_structure_break(shaped_program(300 + 200 * seed, seed)).broken) << seed;
    }
    std::vector<uint8_t> bent = lined_program(400, 5);
    bent[bent.size() - 1] = 0x00;
    const StructureBreak broken = find_structure_break(bent);
    EXPECT_TRUE(broken.broken);
    EXPECT_EQ(broken.reason, "the variables would not end with 0x80 right before E_LINE");
}

// Every bit of two programs in turn heard unclearly and read the wrong way: a decided bit is
// always right; the NEWLINEs that end lines are always decided, REM text never.
TEST(StructureRepair, DecidesWhatTheStructurePinsAndNeverWrongly) {
    const std::vector<uint8_t> name = name_codes("PINNED");
    const std::vector<uint8_t> lines = lined_program(420, 3); // a collapsed display
    const std::vector<uint8_t> rem = shaped_program(300, 8);  // a REM line of 170 bytes
    for (const std::vector<uint8_t>* bytes : {&lines, &rem}) {
        const RecoveredProgram clean = heard_cleanly(name, *bytes);
        const PFileModel model = parse_p_file(*bytes);
        std::size_t decided = 0;
        for (std::size_t i = 0; i < clean.bits.size(); ++i) {
            RecoveredProgram p = clean;
            p.bits[i].value ^= 1;
            p.bits[i].certain = false;
            p.bits[i].pulses = 6;
            std::vector<uint8_t> open(p.bits.size(), 0);
            open[i] = 1;
            repair_from_structure(p, open);
            ASSERT_EQ(p.bits.size(), clean.bits.size());
            const bool in_name = i < 8 * name.size();
            const std::size_t offset = in_name ? 0 : i / 8 - name.size();
            if (!p.bits[i].certain) {
                if (in_name) continue;
                for (const ProgramLine& line : model.lines) {
                    EXPECT_NE(offset + 1, line.end) << "a line's NEWLINE, bit " << i;
                }
                continue;
            }
            ++decided;
            ASSERT_EQ(p.bits[i].value, clean.bits[i].value) << "bit " << i;
            EXPECT_EQ(p.bytes, *bytes);
            ASSERT_EQ(p.decisions.size(), 1u);
            EXPECT_NE(p.decisions[0].message.find(" fits the structure; "), std::string::npos);
            for (const ProgramLine& line : model.lines) {
                if (in_name || bytes->at(line.codes) != code_rem) continue;
                EXPECT_FALSE(offset > line.codes && offset + 1 < line.end)
                    << "REM text, offset " << offset << ": " << p.decisions[0].message;
            }
        }
        EXPECT_GT(decided, 100u);
    }
}

// A gap whose lost bits were counted one too many (the take then stops a bit early) or one
// too few (it ends a bit short): the structure finds the right count and bits, or decides
// nothing; never a wrong program.
TEST(StructureRepair, FindsAGapMiscountedByOne) {
    const std::vector<uint8_t> name = name_codes("GAP");
    const std::vector<uint8_t> bytes = lined_program(360, 11);
    const RecoveredProgram clean = heard_cleanly(name, bytes);
    const std::size_t total = clean.bits.size();
    std::size_t found = 0, tried = 0;
    for (std::size_t at = 8 * name.size() + 3; at + 40 < total; at += 29) {
        for (int miscount : {-1, 1}) {
            RecoveredProgram p = clean;
            const std::size_t lost = 3;
            p.bits.erase(p.bits.begin() + static_cast<std::ptrdiff_t>(at),
                         p.bits.begin() + static_cast<std::ptrdiff_t>(at + lost));
            p.bits.insert(p.bits.begin() + static_cast<std::ptrdiff_t>(at),
                          static_cast<std::size_t>(static_cast<int>(lost) + miscount), lost_bit());
            if (p.bits.size() > total) p.bits.resize(total);
            std::vector<uint8_t> open(p.bits.size(), 0);
            const auto after = static_cast<std::size_t>(static_cast<int>(at + lost) + miscount);
            for (std::size_t k = at - 1; k <= after; ++k) // the lost bits and both neighbours
                open[k] = 1;
            ++tried;
            if (repair_from_structure(p, open).sites == 0) continue;
            const bool all_certain = p.bits.size() == total &&
                                     std::all_of(p.bits.begin(), p.bits.end(),
                                                 [](const ProgramBit& b) { return b.certain; });
            if (!all_certain) continue;
            EXPECT_EQ(p.bytes, bytes) << "gap at bit " << at << ", miscount " << miscount;
            ++found;
        }
    }
    EXPECT_GT(found, tried / 4) << found << " of " << tried;
}

} // namespace
