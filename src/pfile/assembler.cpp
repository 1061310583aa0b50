#include "pfile/assembler.h"

void assemble_bytes(ByteAssembler& a, const char* text, std::size_t size, std::string& bytes,
                    std::vector<int64_t>& left_out_at) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned bit;
        switch (text[i]) {
        case '0': bit = 0; break;
        case '1': bit = 1; break;
        case '?':
            if (a.policy == UnknownBitPolicy::stop) {
                ++a.errors;
                left_out_at.push_back(a.stored);
                continue;
            }
            bit = a.policy == UnknownBitPolicy::as_one ? 1 : 0;
            break;
        default: continue;
        }
        a.group = (a.group << 1) | bit;
        if (++a.group_bits < 8) continue;

        if (a.drop > 0) {
            --a.drop;
        } else {
            bytes += static_cast<char>(a.group & 0xFF);
            ++a.stored;
        }
        a.group = 0;
        a.group_bits = 0;
    }
}
