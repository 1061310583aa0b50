// A saved name, as text for people and as a file name.
//
//   readable    the characters as the ZX81 shows them, in UTF-8: letters, digits, space and
//               " £ $ : ? ( ) > < = + - * / ; , . as themselves; keywords as their words
//               (a name may hold them); inverse video in [ ] except the last character,
//               whose bit 7 only marks the end of the name; any other code as \{n}
//   file name   letters and digits as they are, - and . kept (but _ at the start), every
//               other character _: "MY GAME" gives MY_GAME; the whole name, up to 127
//               characters, never empty, never a path
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The saved name's codes (the last one with bit 7 set) as readable text.
std::string readable_name(const std::vector<uint8_t>& codes);

/// A file name stem (without extension) made from the saved name's codes.
std::string file_stem(const std::vector<uint8_t>& codes);
