// What zx81list shows of a .p81 or .tzx file besides each program's own views: the label a
// program goes under (in headers and messages) and the lines --info adds.
//
//   games.tzx: .tzx, 2 programs, 882 bytes        the container, with --info
//   games.tzx #2 "HELLO AGAIN"                    a program's label: file, number, saved name
//   name:       HELLO AGAIN                       --info, before the P file's summary
//   offset:     0x0001BB                          where the program starts in the container
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "container/container_contents.h"

/// The label of the program at `index` (from 0) of the container `file`.
std::string container_program_label(const std::string& file, std::size_t index,
                                    const SavedProgram& program);

/// The line --info gives a container: its format, its programs and its size in bytes.
std::string container_info(const std::string& file, const ContainerContents& contents,
                           uint64_t size);

/// The lines --info gives a program of a container before its P file's summary.
std::string container_program_info(const SavedProgram& program);
