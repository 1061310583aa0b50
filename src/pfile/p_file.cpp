#include "pfile/p_file.h"

#include <vector>

namespace {
constexpr std::size_t bit_chunk = 1 << 16;
}

PFileResult make_p_file(const std::string& bit_name, const std::string& p_name, int64_t drop,
                        UnknownBitPolicy policy, const LeftOutBitReport& report) {
    PFileResult result;
    ByteAssembler assembler;
    assembler.policy = policy;
    assembler.drop = drop;
    std::string bytes;
    std::vector<int64_t> left_out_at;
    result.status = transform_file(
        bit_name, p_name, bit_chunk, [&](uint8_t* chunk, std::size_t size, OutputFile& out) {
            bytes.clear();
            left_out_at.clear();
            assemble_bytes(assembler, reinterpret_cast<const char*>(chunk), size, bytes,
                           left_out_at);
            for (int64_t stored : left_out_at) report(stored);
            write_output(out, bytes.data(), bytes.size());
        });
    result.read_whole =
        result.status == StageStatus::done || result.status == StageStatus::cannot_write;
    result.bytes = assembler.stored;
    result.errors = assembler.errors;
    return result;
}
