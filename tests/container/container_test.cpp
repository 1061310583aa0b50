// The container formats: exact round trips, recognition, and readers against damaged input.
#include <gtest/gtest.h>

#include <memory>

#include "container/container_file.h"
#include "container/p81_format.h"
#include "container/p_format.h"
#include "container/tzx_format.h"
#include "program/saved_name_text.h"
#include "support/p_file_builder.h"
#include "support/test_support.h"

namespace {

SavedProgram program(const std::string& name, const std::vector<BasicLine>& lines) {
    SavedProgram p;
    std::string bad;
    EXPECT_EQ(saved_name_from_text(name, p.name, bad), NameTextProblem::none);
    p.bytes = build_p_file(lines);
    return p;
}

// Two programs: a small one and a real-size one (16 KB of machine code in a REM).
std::vector<SavedProgram> two_programs() {
    return {program("HELLO", {text_line(10, "PRINT \"HELLO\""), text_line(20, "GOTO 10")}),
            program("A LONG NAME: 16K CODE", {rem_line(1, std::vector<uint8_t>(16000, 0xC9)),
                                              text_line(10, "RAND USR 16514")})};
}

void expect_same(const std::vector<SavedProgram>& read, const std::vector<SavedProgram>& written,
                 bool named) {
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].name, named ? written[i].name : std::vector<uint8_t>{});
        EXPECT_EQ(read[i].bytes, written[i].bytes);
    }
}

std::vector<uint8_t> p81_of(const std::vector<SavedProgram>& programs) {
    std::vector<uint8_t> out;
    std::size_t bad;
    ProgramProblem problem;
    EXPECT_TRUE(write_p81(programs, out, bad, problem));
    return out;
}

std::vector<uint8_t> tzx_of(const std::vector<SavedProgram>& programs) {
    std::vector<uint8_t> out;
    std::size_t bad;
    ProgramProblem problem;
    EXPECT_TRUE(write_tzx(programs, tzx_default_pause_ms, out, bad, problem));
    return out;
}

// Reads from a heap copy of exactly `size` bytes, so that a read past the end is caught by the
// address sanitizer.
ContainerContents read_exact(ContainerContents (*reader)(const uint8_t*, std::size_t),
                             const std::vector<uint8_t>& bytes, std::size_t size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(size), copy.get());
    return reader(copy.get(), size);
}

} // namespace

TEST(Containers, EachFormatRoundTripsExactly) {
    const std::vector<SavedProgram> programs = two_programs();

    std::vector<uint8_t> p;
    ProgramProblem problem;
    ASSERT_TRUE(write_p(programs[1], p, problem));
    EXPECT_EQ(p, programs[1].bytes);
    expect_same(read_p(p.data(), p.size()).programs, {programs[1]}, false);

    const std::vector<uint8_t> p81 = p81_of(programs);
    const ContainerContents from_p81 = read_p81(p81.data(), p81.size());
    EXPECT_TRUE(from_p81.ok());
    EXPECT_TRUE(from_p81.notes.empty());
    expect_same(from_p81.programs, programs, true);
    EXPECT_EQ(p81_of(from_p81.programs), p81);

    const std::vector<uint8_t> tzx = tzx_of(programs);
    const ContainerContents from_tzx = read_tzx(tzx.data(), tzx.size());
    EXPECT_TRUE(from_tzx.ok());
    EXPECT_TRUE(from_tzx.notes.empty());
    expect_same(from_tzx.programs, programs, true);
    EXPECT_EQ(tzx_of(from_tzx.programs), tzx);
    EXPECT_EQ(tzx.size(), 10 + 2 * 93 + programs[0].name.size() + programs[0].bytes.size() +
                              programs[1].name.size() + programs[1].bytes.size());
}

TEST(Containers, WritersRefuseAProgramThatDisagreesWithItsELine) {
    std::vector<SavedProgram> programs = two_programs();
    programs[1].bytes.push_back(0x80);
    std::vector<uint8_t> out;
    std::size_t bad = 9;
    ProgramProblem problem;
    EXPECT_FALSE(write_p81(programs, out, bad, problem));
    EXPECT_EQ(bad, 1u);
    EXPECT_EQ(problem, ProgramProblem::wrong_length);
    EXPECT_TRUE(out.empty());
    programs[1].bytes.pop_back();
    programs[0].name.back() &= 0x7F;
    EXPECT_FALSE(write_tzx(programs, 0, out, bad, problem));
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(problem, ProgramProblem::name);
}

// Cut short anywhere, a container reads as an error or as whole programs, never past its end;
// it reads without an error only where a program or block ends.
TEST(Containers, ReadersSurviveACutAtEveryByte) {
    const std::vector<SavedProgram> small = {program("A", {text_line(10, "REM X")}),
                                             program("BC", {text_line(10, "STOP")})};
    struct Case {
        ContainerContents (*reader)(const uint8_t*, std::size_t);
        std::vector<uint8_t> bytes;
        std::vector<std::size_t> whole; // the sizes that hold whole programs
    };
    const std::size_t first = small[0].name.size() + small[0].bytes.size();
    const std::size_t second = small[1].name.size() + small[1].bytes.size();
    const std::vector<Case> cases = {
        {read_p, small[0].bytes, {small[0].bytes.size()}},
        {read_p81, p81_of(small), {0, first, first + second}},
        {read_tzx, tzx_of(small), {10, 10 + 93 + first, 10 + 186 + first + second}},
    };
    for (const Case& c : cases) {
        for (std::size_t size = 0; size <= c.bytes.size(); ++size) {
            const ContainerContents read = read_exact(c.reader, c.bytes, size);
            const bool whole = std::find(c.whole.begin(), c.whole.end(), size) != c.whole.end();
            EXPECT_EQ(read.ok(), whole) << size;
            ASSERT_LE(read.programs.size(), small.size());
            for (std::size_t i = 0; i < read.programs.size(); ++i) {
                EXPECT_EQ(read.programs[i].bytes, small[i].bytes) << size;
            }
            if (!read.ok()) {
                EXPECT_LE(read.error.offset, size) << size;
            }
        }
    }
}

TEST(Containers, LengthsThatLieAreErrorsAtTheirOffset) {
    const std::vector<SavedProgram> programs = two_programs();
    const std::size_t second = programs[0].name.size() + programs[0].bytes.size();

    std::vector<uint8_t> p81 = p81_of(programs);
    p81[second + programs[1].name.size() + 0x0B] += 1; // the second program's E_LINE
    ContainerContents read = read_p81(p81.data(), p81.size());
    EXPECT_EQ(read.error.problem, ContainerProblem::program_cut_short);
    EXPECT_EQ(read.error.offset, second + programs[1].name.size());
    EXPECT_EQ(read.programs.size(), 1u);

    std::vector<uint8_t> p = programs[0].bytes;
    p[0x0C] = 0x40; // E_LINE 0x40xx, below the end of its own field
    p[0x0B] = 0x0A;
    EXPECT_EQ(read_p(p.data(), p.size()).error.problem, ContainerProblem::e_line_low);

    std::vector<uint8_t> tzx = tzx_of(programs);
    for (uint8_t lie : {0x01, 0xFF}) {
        std::vector<uint8_t> bad = tzx;
        bad[11 + 3] = lie; // the first block's length, now 16 MB or 4 GB more
        read = read_tzx(bad.data(), bad.size());
        EXPECT_EQ(read.error.problem, ContainerProblem::cut_short);
        EXPECT_EQ(read.error.offset, 10u);
        EXPECT_EQ(read.error.message.rfind("block 0x19 (generalized data) says it is", 0), 0u);
    }
}

TEST(Containers, TzxSkipsOtherBlocksWithNotes) {
    const std::vector<SavedProgram> programs = two_programs();
    const std::vector<uint8_t> tzx = tzx_of({programs[0]});
    std::vector<uint8_t> file(tzx.begin(), tzx.begin() + 10);
    const std::vector<uint8_t> others = {
        0x30, 3,    'A',  'B',  'C',              // text description: quiet
        0x33, 1,    0x00, 0x0D, 0x00,             // hardware type ZX81: quiet
        0x10, 0xE8, 0x03, 2,    0,    0xAA, 0xBB, // a Spectrum block
        0x4B, 2,    0,    0,    0,    0x01, 0x02, // an unknown block with its length
    };
    file.insert(file.end(), others.begin(), others.end());
    file.insert(file.end(), tzx.begin() + 10, tzx.end());
    const ContainerContents read = read_tzx(file.data(), file.size());
    EXPECT_TRUE(read.ok());
    expect_same(read.programs, {programs[0]}, true);
    ASSERT_EQ(read.notes.size(), 2u);
    EXPECT_EQ(read.notes[0].offset, 20u);
    EXPECT_EQ(read.notes[0].message,
              "block 0x10 (standard-speed data) skipped: not a ZX81 program");
    EXPECT_EQ(read.notes[1].offset, 27u);
    EXPECT_EQ(read.notes[1].message, "block 0x4B skipped: not a ZX81 program");
}

TEST(Containers, TzxReadsSwappedSymbolsAndTheDraftLayout) {
    const SavedProgram hello = two_programs()[0];
    const std::vector<uint8_t> tzx = tzx_of({hello});

    // The symbols in the other order, the data inverted to match.
    std::vector<uint8_t> swapped(tzx.begin(), tzx.begin() + 11 + 0x12);
    swapped.insert(swapped.end(), tzx.begin() + 11 + 0x37, tzx.begin() + 11 + 0x5C);
    swapped.insert(swapped.end(), tzx.begin() + 11 + 0x12, tzx.begin() + 11 + 0x37);
    for (auto i = tzx.begin() + 11 + 0x5C; i != tzx.end(); ++i) {
        swapped.push_back(static_cast<uint8_t>(~*i));
    }
    ContainerContents read = read_tzx(swapped.data(), swapped.size());
    EXPECT_TRUE(read.ok());
    expect_same(read.programs, {hello}, true);

    // A block of another header that declares 8 x N symbols, the tape's N bytes last; without
    // the declaration it is skipped.
    const std::size_t n = hello.name.size() + hello.bytes.size();
    for (const bool declared : {true, false}) {
        std::vector<uint8_t> draft(tzx.begin(), tzx.begin() + 10);
        const std::size_t length = 2 + 16 + n;
        draft.insert(draft.end(), {0x19, static_cast<uint8_t>(length & 0xFF),
                                   static_cast<uint8_t>(length >> 8), 0, 0, 0x88, 0x13});
        draft.insert(draft.end(), 4, 0x01);
        for (int shift = 0; shift < 32; shift += 8) {
            draft.push_back(declared ? static_cast<uint8_t>(8 * n >> shift) : 0x01);
        }
        draft.insert(draft.end(), 8, 0x12);
        draft.insert(draft.end(), tzx.end() - static_cast<long>(n), tzx.end());
        read = read_tzx(draft.data(), draft.size());
        EXPECT_TRUE(read.ok());
        expect_same(read.programs,
                    declared ? std::vector<SavedProgram>{hello} : std::vector<SavedProgram>{},
                    true);
        ASSERT_EQ(read.notes.size(), 1u);
        EXPECT_NE(read.notes[0].message.find(declared ? "older than TZX 1.20" : "skipped"),
                  std::string::npos);
    }
}

// An empty file's bytes may be a null pointer (an empty vector's data()): found by fuzzing, a
// .tzx name made the reader compare zero bytes at it.
TEST(Containers, EmptyDataAtANullPointerIsReadAsNothing) {
    for (const char* name : {"", "x.p", "x.p81", "x.tzx"}) {
        const ContainerContents contents = read_container(nullptr, 0, name);
        EXPECT_TRUE(contents.programs.empty()) << name;
    }
    EXPECT_EQ(read_tzx(nullptr, 0).error.problem, ContainerProblem::cut_short);
}

TEST(Containers, RecognisedFromContentAndExtension) {
    const std::vector<SavedProgram> programs = two_programs();
    const std::vector<uint8_t> p = programs[0].bytes;
    const std::vector<uint8_t> p81 = p81_of(programs);
    const std::vector<uint8_t> tzx = tzx_of(programs);
    struct Case {
        const std::vector<uint8_t>* bytes;
        const char* name;
        ContainerFormat format;
    };
    for (const Case& c : std::vector<Case>{
             {&p, "a.p", ContainerFormat::p},
             {&p, "A.81", ContainerFormat::p},
             {&p, "-", ContainerFormat::p},
             {&p, "misnamed.p81", ContainerFormat::p},
             {&p81, "a.P81", ContainerFormat::p81},
             {&p81, "dir.p/noextension", ContainerFormat::p81},
             {&p81, "misnamed.p", ContainerFormat::p81},
             {&tzx, "tape.bin", ContainerFormat::tzx},
         }) {
        EXPECT_EQ(recognise_container(c.bytes->data(), c.bytes->size(), c.name), c.format)
            << c.name;
        EXPECT_TRUE(read_container(c.bytes->data(), c.bytes->size(), c.name).ok()) << c.name;
    }
    const std::vector<uint8_t> text = {'h', 'i'};
    EXPECT_EQ(read_container(text.data(), text.size(), "x.tzx").error.problem,
              ContainerProblem::not_tzx);
}

namespace {

FileBytes read_program_file_named(const std::string& path, const std::string& name,
                                  uint64_t limit) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr);
    FileBytes file;
    int error = 0;
    EXPECT_TRUE(read_program_file(in, name, limit, file, error));
    std::fclose(in);
    return file;
}

// A file larger than a P file is read whole only when its start may be a container: a .p81 of
// programs larger than 64 KiB under any name, but of a recording given by mistake only 64 KiB.
TEST(Containers, ProgramFilesAreReadWholeOnlyWhenTheyMayBeContainers) {
    ScratchDir dir;
    std::vector<SavedProgram> programs = two_programs();
    for (int i = 0; i < 4; ++i) programs.push_back(programs[1]);
    const std::vector<uint8_t> p81 = p81_of(programs);
    ASSERT_GT(p81.size(), p_file_kept);
    write_file(dir / "many.bin", p81);
    std::vector<uint8_t> noise(p81.size());
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7 + 0x81);
    write_file(dir / "noise.wav", noise);

    FileBytes file = read_program_file_named(dir / "many.bin", "many.bin", UINT64_MAX);
    EXPECT_EQ(file.bytes, p81);
    EXPECT_FALSE(file.cut_off);
    EXPECT_EQ(read_container(file.bytes.data(), file.bytes.size(), "many.bin").programs.size(),
              programs.size());

    file = read_program_file_named(dir / "noise.wav", "noise.wav", UINT64_MAX);
    EXPECT_EQ(file.bytes.size(), p_file_kept);
    EXPECT_EQ(file.size, noise.size());
    EXPECT_FALSE(file.cut_off);
    file = read_program_file_named(dir / "noise.wav", "noise.p81", UINT64_MAX);
    EXPECT_EQ(file.bytes, noise); // a name that says container is believed
    file = read_program_file_named(dir / "noise.wav", "noise.wav", p_file_kept);
    EXPECT_EQ(file.bytes.size(), p_file_kept);
    EXPECT_TRUE(file.cut_off);
}

} // namespace
