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
#include <cstdio>
#include <string>

#include "container/container_contents.h"
#include "io/file_bytes.h"

/// The largest file read: far more than the programs a ZX81 ever saved.
constexpr std::size_t container_file_max = 64u << 20;

/// The format of a container with these bytes and this file name.
ContainerFormat recognise_container(const uint8_t* data, std::size_t size, const std::string& name);

/// Reads the programs of a container with these bytes and this file name.
ContainerContents read_container(const uint8_t* data, std::size_t size, const std::string& name);

/// True when a file that starts with `data` (its first `size` bytes, the whole file or not) and
/// has this name may be a .p81 or .tzx file: it starts with the TZX signature, its name ends in
/// .p81 or .tzx, or its start reads as programs with names, each with VERSN 0, up to the end of
/// the data or of a program cut off by it.
bool may_be_container(const uint8_t* data, std::size_t size, const std::string& name);

/// The most of a file that cannot be a container the tools keep: a P file never holds more.
constexpr std::size_t p_file_kept = 0x10000;

/// Reads a file that holds programs from `in`, named `name` ("" for standard input): all of it
/// when its start says that it may be a .p81 or .tzx file (up to `container_file_max` bytes,
/// `cut_off` beyond), otherwise its first `p_file_kept` bytes, reading on up to `limit` bytes in
/// all to learn its length. So a recording given by mistake costs little memory. False after a
/// read error, with `error` the system's error number.
bool read_program_file(std::FILE* in, const std::string& name, uint64_t limit, FileBytes& file,
                       int& error);

/// Reads the file `name` ("-" is standard input) and the programs in it. A file that cannot be
/// read is the error `unreadable` (its message is the system's reason), one larger than
/// `container_file_max` is `too_large`.
ContainerContents load_container(const std::string& name);
