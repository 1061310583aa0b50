#include "pfile/p_file.h"

#include <cstdio>
#include <vector>

#include "io/output_file.h"

bool make_p_file(const std::string& bit_name, const std::string& p_name, int64_t drop,
                 UnknownBitPolicy policy) {
    std::FILE* in = std::fopen(bit_name.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, " *** error ***   Can't read file %s \n", bit_name.c_str());
        return false;
    }
    OutputFile out;
    if (!open_output(out, p_name)) {
        std::fprintf(stderr, " *** error ***   Can't open output file %s \n", p_name.c_str());
        std::fclose(in);
        return false;
    }

    ByteAssembler assembler;
    assembler.policy = policy;
    assembler.drop = drop;
    std::vector<char> chunk(1 << 16);
    std::string bytes;
    std::vector<int64_t> error_cnts;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (std::ferror(in)) {
            std::fprintf(stderr, " *** error ***   Can't read file %s \n", bit_name.c_str());
            discard_output(out);
            std::fclose(in);
            return false;
        }
        if (got == 0) break;
        bytes.clear();
        error_cnts.clear();
        assemble_bytes(assembler, chunk.data(), got, bytes, error_cnts);
        for (int64_t cnt : error_cnts) {
            std::printf("error at cnt=%lld (0x%04llX)\n", static_cast<long long>(cnt),
                        static_cast<unsigned long long>(cnt));
        }
        write_output(out, bytes.data(), bytes.size());
    }
    std::fclose(in);
    if (assembler.errors > 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "** aborted because of %lld error(s) !! (use -i or -o to try again)\n",
                     static_cast<long long>(assembler.errors));
    }
    if (!commit_output(out)) {
        std::fprintf(stderr, " *** error ***   Can't write file %s \n", p_name.c_str());
        return false;
    }
    return true;
}
