// Saved names as people type and read them, and as file names.
//
//   typed "Hello"      ->  codes 2D 2A 31 31 B4       (small letters become capitals)
//   codes 2D .. B4     ->  shown "HELLO", file name "HELLO"
//   codes of "A/B 1"   ->  shown "A/B 1", file name "A_B_1"
//
// Typed characters are those the ZX81 has: space " £ $ : ? ( ) > < = + - * / ; , . the digits
// and the letters; the pound sign is read and shown as UTF-8. Shown, a code without such a
// character is RND, INKEY$ or PI for 0x40 to 0x42 and \{n} otherwise (the last code is shown
// without its end mark). In a file name, letters, digits and - + = , . stand for themselves and
// every other code is "_", as is a leading ".".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t saved_name_max = 127; // codes in a saved name at the most
constexpr uint8_t name_end_mark = 0x80;     // set in the last code of a saved name

/// Why a typed name cannot be saved.
enum class NameTextProblem {
    none,
    empty,        ///< no characters
    too_long,     ///< more than 127 characters
    no_zx81_code, ///< a character the ZX81 lacks
};

/// Turns typed text into the codes of a saved name, the last one marked. On a problem `codes`
/// is empty, and for `no_zx81_code` `bad` holds the character (all its UTF-8 bytes).
NameTextProblem saved_name_from_text(const std::string& text, std::vector<uint8_t>& codes,
                                     std::string& bad);

/// The name shown to a person.
std::string saved_name_text(const std::vector<uint8_t>& codes);

/// The name as the stem of a file name (never empty for a name of at least one code).
std::string saved_name_file_stem(const std::vector<uint8_t>& codes);

/// The name a program file suggests: its base name without the directory and the last
/// extension, upper-cased ("games/Hello.p" gives "HELLO").
std::string name_of_program_file(const std::string& path);
