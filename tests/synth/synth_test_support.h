// What the zx81synth tests share: a program to record and a way to run the synthesiser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

/// `size` bytes of a fixed pseudo-random sequence, the last one 0x80 as in a saved program:
/// plenty of 0 and 1 bits everywhere, the same bytes on every run.
std::vector<uint8_t> test_program(std::size_t size, uint32_t seed = 1);

/// The built zx81synth, run in `cwd`; argument 0 is "zx81synth".
RunResult run_zx81synth(const std::vector<std::string>& args, const std::string& cwd);
