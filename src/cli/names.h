// The file names of a run, all derived from the input name as typed.
#pragma once

#include <cstdint>
#include <string>

#include "cli/settings.h"

struct RunNames {
    std::string input;     // argument 1, as typed
    std::string base_name; // the input without a recognised extension
    std::string dir_part;  // base_name up to and including its last '\', '/' or ':'
    std::string war_name;  // base_name + ".war"
    std::string bit_name;  // base_name + ".bit"
};

/// Cuts a recognised extension (a dot among the last four positions, not at position 0) off
/// `input` and returns the stage it starts at: the bit file for an extension beginning with B
/// or b, the P file for P or p, otherwise the recording. `base_name` receives the rest.
StartStage split_extension(const std::string& input, std::string& base_name);

/// The directory part of a name: up to and including its last '\', '/' or ':' after
/// position 0; empty when there is none.
std::string directory_part(const std::string& base_name);

/// `first` followed by `second` and `third`.
std::string join_name(const std::string& first, const std::string& second = "",
                      const std::string& third = "");

/// Works out every name of the run from the input name and sets `start_stage`.
RunNames make_run_names(const std::string& input, RunSettings& settings);

/// False under -r; otherwise true exactly when the name exists.
bool can_reuse(const RunSettings& settings, const std::string& name);
