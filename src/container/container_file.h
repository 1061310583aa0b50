// Reading any container of ZX81 programs in one call: the container is recognised from its
// content, and from its name's extension where the content cannot tell.
//
//   starts with "ZXTape!" 0x1A                 .tzx
//   named .p81 / .p / .81 / .tzx (any case)    that format, unless the content reads only as
//                                              the other of .p and .p81
//   any other name (or standard input)         .p81 when the whole file reads as programs with
//                                              names and does not read as a P file; else a P
//                                              file
//
// A P file reads as one when its VERSN is 0 and its E_LINE lies within it; a .p81 file when
// its programs, each with VERSN 0, end exactly at the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "container/container_contents.h"

/// The largest file read: far more than the programs a ZX81 ever saved.
constexpr std::size_t container_file_max = 64u << 20;

/// The format of a container with these bytes and this file name.
ContainerFormat recognise_container(const uint8_t* data, std::size_t size, const std::string& name);

/// Reads the programs of a container with these bytes and this file name.
ContainerContents read_container(const uint8_t* data, std::size_t size, const std::string& name);

/// Reads the file `name` ("-" is standard input) and the programs in it. A file that cannot be
/// read is the error `unreadable` (its message is the system's reason), one larger than
/// `container_file_max` is `too_large`.
ContainerContents load_container(const std::string& name);
