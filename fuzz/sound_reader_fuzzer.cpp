// The war step's input reader on any file: a sound file whose header libsndfile recognises is
// decoded, anything else is read raw. The reader writes no more than it is asked for, and a
// file it reads raw gives back exactly its bytes.
//
//   the whole input   the file's contents
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_input.h"
#include "sound/sample_source.h"

namespace {

// One file per fuzzing process, written anew for every input.
const std::string& scratch_name() {
    static const std::string name =
        "/tmp/zx81-sound-fuzz-" + std::to_string(static_cast<long>(getpid())) + ".bin";
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& name = scratch_name();
    std::FILE* out = std::fopen(name.c_str(), "wb");
    if (out == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0 || !written) return 0;

    SampleSource source;
    if (open_sample_source(source, name) != SourceOpen::ok) return 0;
    const bool raw = source.raw != nullptr;
    std::vector<uint8_t> samples;
    std::vector<uint8_t> block(4097, 0xA5);
    for (;;) {
        uint32_t count = 0;
        const bool ok = read_samples(source, block.data(), 4096, count);
        FUZZ_CHECK(count <= 4096);
        FUZZ_CHECK(block[4096] == 0xA5);
        samples.insert(samples.end(), block.begin(), block.begin() + count);
        if (!ok || count < 4096) break;
        FUZZ_CHECK(samples.size() <= (size_t{1} << 32));
    }
    close_sample_source(source);
    if (raw) FUZZ_CHECK(samples == std::vector<uint8_t>(data, data + size));
    return 0;
}
