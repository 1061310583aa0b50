// zx81scope's settings: one record, filled from the command line and only read afterwards.
#pragma once

#include <cstdint>
#include <string>

struct ScopeSettings {
    std::string input;             // the recording
    std::string output;            // -o: the report; empty means the input name with .html
    int32_t threshold = 30;        // --threshold: as the converter's n=
    int32_t tolerance_divisor = 3; // --tolerance: as the converter's k= (never 0)
    int64_t max_strips = 50;       // --max-strips: waveform strips drawn at most
    int64_t from = 0;              // --from: first sample shown
    int64_t to = -1;               // --to: first sample not shown; -1 is the end
    bool svg = false;              // --svg: separate SVG files instead of one HTML file
};
