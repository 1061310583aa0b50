// The summary of a P file from its system variables (--info) and its screen (--screen).
#pragma once

#include <string>

#include "program/p_file_model.h"

/// Lines "name: value" for VERSN, the sizes of program, display file and variables, D_FILE,
/// VARS, E_LINE, the auto-start line, the TV system and the kind of display file.
std::string p_file_info(const PFileModel& model);

/// The display file as 24 rows of 32 characters in the readable notation, each ended by a
/// line feed; rows missing from a damaged file are blank.
std::string p_file_screen(const PFileModel& model);
