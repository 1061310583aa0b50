#include "synth/synth_test_support.h"

std::vector<uint8_t> test_program(std::size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    if (!bytes.empty()) bytes.back() = 0x80;
    return bytes;
}

RunResult run_zx81synth(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{"zx81synth"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81SYNTH_PATH, argv, cwd);
}
