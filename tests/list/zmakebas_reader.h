// A model of how zmakebas (ZX81 mode) reads one text line back into codes, written from the
// notation's description, so that the tests can check that the zmakebas-style text rebuilds
// every line byte for byte. It covers what the lister writes and the traps around it:
// keyword search on a lower-cased copy with strings blanked, REM found first, spaces dropped
// in code, numbers read by strtod with 0x7E and five bytes added (text|value too), escapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The codes zmakebas makes of a line's text (no line number, no NEWLINE).
std::vector<uint8_t> zmakebas_read(const std::string& text);
