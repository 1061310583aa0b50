// The name a program was saved under: the first bytes on the tape, one ZX81 character code
// each, the last one marked by its top bit (0x80).
//
//   0x39 0x2A 0x38 0xB9   ->   t e s t   (0xB9 is 0x39, "t", marked as the last)
//
// Only the low six bits of a code choose the character; digits and letters come out as
// themselves (letters in lower case), every other code as "_", so that the name can stand in
// any file system (`file_name_char` of program/zx81_charset.h).
#pragma once

#include <cstddef>
#include <string>

/// At most this many characters are read.
constexpr std::size_t zx_name_max = 39;

/// The name decoder's state while it reads a bit file.
struct SavedNameReader {
    std::string name;          // the characters decoded so far
    unsigned group = 0;        // bits of the byte being assembled
    int group_bits = 0;        // how many bits `group` holds
    bool complete = false;     // a marked byte or 39 characters have been read
};

/// Reads bit-file text: '1' is a 1 bit, '0' and '?' are 0 bits, anything else is skipped.
/// Returns true once the name is complete; later text is ignored.
bool feed_saved_name(SavedNameReader& reader, const char* text, std::size_t size);

/// Decodes the saved name at the start of a bit file into `zx_name` (empty when the file holds
/// no complete byte). False when it cannot be opened or read. Reads 4096 bytes at a time and
/// no further than the name.
bool read_saved_name(const std::string& bit_name, std::string& zx_name);
