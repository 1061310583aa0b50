// The summary of a P file from its system variables (--info) and its screen (--screen).
#pragma once

#include <string>

#include "program/p_file_model.h"

/// Lines "name: value" for the file's size, VERSN, the sizes of program, display file and
/// variables, D_FILE, VARS, E_LINE, the auto-start line, the TV system and the kind of display
/// file. `size_label` names the first line: "file:" for a P file, "P file:" for a program
/// that a container holds.
std::string p_file_info(const PFileModel& model, const char* size_label = "file:");

/// The display file as 24 rows of 32 characters in the readable notation, each ended by a
/// line feed; rows missing from a damaged file are blank.
std::string p_file_screen(const PFileModel& model);
