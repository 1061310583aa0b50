// What the tools read from a file's name.
#pragma once

#include <string>

/// The last extension of a file name, lower-cased and without its dot: "tape.WAV" gives "wav",
/// "dir.v2/tape" and "tape" give "". A name that is all extension (".wav") gives it too.
std::string file_extension(const std::string& name);
