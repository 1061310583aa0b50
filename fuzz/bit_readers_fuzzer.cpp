// The readers of the bit file: the saved name and the byte assembler, on any text. A bit file
// is read in chunks of any size, so two pieces must give exactly what one piece gives.
//
//   byte  0     the unknown-bit policy (0 stop, 1 as zero, 2 as one)
//   bytes 1-2   how many bytes to drop (the length of the saved name)
//   bytes 3-4   where the text is cut in two
//   rest        the bit-file text
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "pfile/assembler.h"
#include "pfile/saved_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const UnknownBitPolicy policy = static_cast<UnknownBitPolicy>(in.take_u8() % 3);
    const int64_t drop = in.take_u16();
    const std::size_t cut = in.size == 0 ? 0 : in.take_u16() % (in.size + 1);
    const std::string text(reinterpret_cast<const char*>(in.data), in.size);
    const std::string first = text.substr(0, cut);
    const std::string second = text.substr(cut);

    SavedNameReader whole_name;
    const bool complete = feed_saved_name(whole_name, text.data(), text.size());
    SavedNameReader split_name;
    feed_saved_name(split_name, first.data(), first.size());
    feed_saved_name(split_name, second.data(), second.size());
    FUZZ_CHECK(complete == whole_name.complete);
    FUZZ_CHECK(whole_name.name == split_name.name && whole_name.complete == split_name.complete);
    FUZZ_CHECK(whole_name.name.size() <= zx_name_max);
    for (char c : whole_name.name) {
        FUZZ_CHECK(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'));
    }

    ByteAssembler whole;
    whole.policy = policy;
    whole.drop = drop;
    std::string whole_bytes;
    std::vector<int64_t> whole_errors;
    assemble_bytes(whole, text.data(), text.size(), whole_bytes, whole_errors);

    ByteAssembler split;
    split.policy = policy;
    split.drop = drop;
    std::string split_bytes;
    std::vector<int64_t> split_errors;
    assemble_bytes(split, first.data(), first.size(), split_bytes, split_errors);
    assemble_bytes(split, second.data(), second.size(), split_bytes, split_errors);

    FUZZ_CHECK(whole_bytes == split_bytes && whole_errors == split_errors);
    FUZZ_CHECK(whole.stored == static_cast<int64_t>(whole_bytes.size()));
    FUZZ_CHECK(whole.errors == static_cast<int64_t>(whole_errors.size()));
    FUZZ_CHECK(whole.group_bits >= 0 && whole.group_bits < 8);
    if (policy != UnknownBitPolicy::stop) FUZZ_CHECK(whole.errors == 0);

    // Every '0', '1' and '?' is a bit except an unknown one under the stopping policy.
    std::size_t bits = 0;
    for (char c : text) {
        if (c == '0' || c == '1' || (c == '?' && policy != UnknownBitPolicy::stop)) ++bits;
    }
    const std::size_t groups = bits / 8;
    const std::size_t expected = groups > static_cast<std::size_t>(drop) ? groups - drop : 0;
    FUZZ_CHECK(whole_bytes.size() == expected);
    return 0;
}
