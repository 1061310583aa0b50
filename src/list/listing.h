// A whole program listed in one of the two notations. In the zmakebas notation every line
// the text cannot rebuild gets a "# why" comment line before it and a warning, and so does a
// program area that does not end at D_FILE.
#pragma once

#include <string>
#include <vector>

#include "program/p_file_model.h"

enum class ListStyle { readable, zmakebas };

struct Listing {
    std::string text;                  // the listing, one line feed after every line
    std::vector<std::string> warnings; // one per line the text cannot rebuild, e.g. "line 10: ..."
};

Listing list_program(const PFileModel& model, ListStyle style);
