// A strict reader of the XML syntax the reports use, for the tests: it accepts exactly the
// well-formed documents (elements balanced and properly nested, one root element, every
// attribute quoted and given once, every & a known entity or a character reference, no stray
// '<') with an optional XML declaration and an optional <!DOCTYPE html> in front.
#pragma once

#include <string>

/// Empty when `text` is well formed, otherwise what is wrong and where (a byte offset).
std::string xml_problem(const std::string& text);
