// What reading a container gives: its programs in order, notes about what was skipped, and,
// when the container is damaged, the error that stopped the reading.
//
// A reader never trusts a length: a container that is cut short, or whose lengths say more
// than it holds, gives an error carrying the offset where the problem lies, and the programs
// read before it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "container/saved_program.h"

enum class ContainerFormat {
    p,   ///< a bare P file (.p, .81): one program, no name
    p81, ///< names and P files one after another (.p81)
    tzx, ///< a TZX tape image (.tzx)
};

/// "P file", ".p81" or ".tzx", for messages and listings.
const char* container_format_name(ContainerFormat format);

enum class ContainerProblem {
    none,
    unreadable,        ///< the file cannot be opened or read
    too_large,         ///< larger than any container of ZX81 programs
    cut_short,         ///< the data ends inside a header, a name, a length or a block
    name_too_long,     ///< 127 codes without the end mark: not a saved name
    e_line_low,        ///< a program's E_LINE lies below the end of its own field
    program_cut_short, ///< a program's E_LINE asks for more bytes than are left
    not_tzx,           ///< no TZX signature at the start
    tzx_version,       ///< a TZX major version other than 1
};

struct ContainerError {
    ContainerProblem problem = ContainerProblem::none;
    std::size_t offset = 0; // where in the container the problem lies
    std::string message;    // what is wrong, one sentence without the file's name
};

struct ContainerNote {
    std::size_t offset = 0; // where in the container
    std::string message;    // what was skipped or ignored, and why
};

struct ContainerContents {
    ContainerFormat format = ContainerFormat::p;
    std::vector<SavedProgram> programs; // in the container's order
    std::vector<ContainerNote> notes;   // blocks skipped, bytes ignored
    ContainerError error;               // problem none when the whole container was read

    bool ok() const { return error.problem == ContainerProblem::none; }
};

/// A note or an error as the tools show it: "offset 0x015F: what is wrong".
std::string offset_message(std::size_t offset, const std::string& message);

/// Sets `contents.error`.
void fail(ContainerContents& contents, ContainerProblem problem, std::size_t offset,
          const std::string& message);

/// Reads one program that starts at `data[at]`: a name when `named`, then a P file up to its
/// E_LINE, which must lie within the first `end` bytes. Appends it to `contents` and returns
/// the offset just past it; on a problem sets `contents.error` and returns `end`.
std::size_t read_saved_program(const uint8_t* data, std::size_t at, std::size_t end, bool named,
                               ContainerContents& contents);
