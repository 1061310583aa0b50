// zx81pack's command line.
//
//   zx81pack join -o OUT [--format p81|tzx] [--pause MS] [--force] [--name NAME] FILE...
//   zx81pack split [-o DIR] [--force] FILE...
//   zx81pack list FILE...
//
// The command is the first argument that is not an option; options may come before or after
// it, each only with the commands it belongs to. A --name names the FILE that follows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "container/container_contents.h"
#include "container/tzx_format.h"

enum class PackCommand { none, join, split, list };

struct PackInput {
    std::string path;   // the file; "-" is standard input
    bool named = false; // a --name came before it
    std::string name;   // that name, as typed
};

struct PackSettings {
    PackCommand command = PackCommand::none;
    std::string output;        // -o: the file joined into, or the directory split into
    bool format_given = false; // --format given, or OUT's extension says
    ContainerFormat format = ContainerFormat::p81; // the format joined into
    bool pause_given = false;                      // --pause given
    uint16_t pause_ms = tzx_default_pause_ms;      // --pause: after each program of a .tzx
    bool force = false;                            // --force: replace files that exist
    std::vector<PackInput> files;                  // the inputs, in order
};

/// zx81pack's help text.
const char* pack_usage_text();

/// Fills `settings` from the command line, by the convention of the newer tools
/// (cmdline/command_line.h); `message` says what is wrong after a usage error.
ToolCommand parse_pack_options(int argc, char** argv, PackSettings& settings,
                               std::string& message);
