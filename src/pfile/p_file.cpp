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
    std::vector<int64_t> error_cnts;
    result.status = transform_file(
        bit_name, p_name, bit_chunk, [&](uint8_t* chunk, std::size_t size, OutputFile& out) {
            bytes.clear();
            error_cnts.clear();
            assemble_bytes(assembler, reinterpret_cast<const char*>(chunk), size, bytes,
                           error_cnts);
            for (int64_t cnt : error_cnts) report(cnt);
            write_output(out, bytes.data(), bytes.size());
        });
    result.read_whole =
        result.status == StageStatus::done || result.status == StageStatus::cannot_write;
    result.bytes = assembler.cnt;
    result.errors = assembler.errors;
    return result;
}
