// The text `zx81synth --help` prints.
#pragma once

/// The help text, every option with its values and default, ending with a line break.
const char* synth_help_text();
