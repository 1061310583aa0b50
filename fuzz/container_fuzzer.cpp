// The container readers on any bytes: never a crash or a read past the end, what they give is
// what a writer can write back, and a container is known as one from its start.
//
//   byte 0   the file name's extension: none, .p, .81, .p81 or .tzx
//   rest     the file's bytes
#include <vector>

#include "container/container_file.h"
#include "container/p81_format.h"
#include "container/tzx_format.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    static const char* const names[] = {"", "x.p", "x.81", "x.P81", "x.tzx"};
    const char* name = names[in.take_u8() % 5];
    // A copy of exactly the file's size, so that a read past its end is a sanitizer report.
    const std::vector<uint8_t> bytes(in.data, in.data + in.size);
    const ContainerContents contents = read_container(bytes.data(), bytes.size(), name);

    FUZZ_CHECK(contents.format == recognise_container(bytes.data(), bytes.size(), name));
    FUZZ_CHECK(contents.error.offset <= bytes.size());
    const bool named = contents.format != ContainerFormat::p;
    // Whatever reads as a container says so from any start of it: a tool that keeps only the
    // start of a file that cannot be one never loses a container.
    if (named) {
        for (const std::size_t start : {bytes.size(), bytes.size() / 2, bytes.size() / 3 + 1}) {
            FUZZ_CHECK(may_be_container(bytes.data(), start < bytes.size() ? start : bytes.size(),
                                        name));
        }
    }
    std::size_t last = 0;
    for (const SavedProgram& program : contents.programs) {
        FUZZ_CHECK(check_saved_program(program, named) == ProgramProblem::none);
        FUZZ_CHECK(program.offset >= last && program.offset < bytes.size());
        last = program.offset;
    }
    for (const ContainerNote& note : contents.notes) FUZZ_CHECK(note.offset <= bytes.size());

    std::vector<uint8_t> written;
    std::size_t bad = 0;
    ProgramProblem problem = ProgramProblem::none;
    switch (contents.format) {
    case ContainerFormat::p:
        FUZZ_CHECK(contents.programs.size() == (contents.ok() ? 1u : 0u));
        if (contents.ok()) {
            const std::vector<uint8_t>& program = contents.programs[0].bytes;
            FUZZ_CHECK(std::vector<uint8_t>(bytes.begin(), bytes.begin() + program.size()) ==
                       program);
        }
        break;
    case ContainerFormat::p81:
        // Programs one after another to the end: the writer gives back the very file.
        FUZZ_CHECK(write_p81(contents.programs, written, bad, problem));
        if (contents.ok()) FUZZ_CHECK(written == bytes);
        break;
    case ContainerFormat::tzx: {
        FUZZ_CHECK(write_tzx(contents.programs, tzx_default_pause_ms, written, bad, problem));
        const ContainerContents again = read_tzx(written.data(), written.size());
        FUZZ_CHECK(again.ok() && again.notes.empty());
        FUZZ_CHECK(again.programs.size() == contents.programs.size());
        for (std::size_t i = 0; i < again.programs.size(); ++i) {
            FUZZ_CHECK(again.programs[i].name == contents.programs[i].name);
            FUZZ_CHECK(again.programs[i].bytes == contents.programs[i].bytes);
        }
        break;
    }
    }
    return 0;
}
