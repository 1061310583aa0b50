#include "container/tzx_format.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char signature[] = "ZXTape!\x1A";
constexpr std::size_t signature_size = 8;

// The ZX81's bit symbols: pulses of 530 and 520 T-states, then the gap after the bit.
constexpr uint16_t pulse_high = 530;
constexpr uint16_t pulse_low = 520;
constexpr uint16_t bit_gap = 4689;
constexpr uint8_t symbol_pulses = 18;
constexpr uint8_t start_high = 0x03;
constexpr std::size_t symbol_size = 1 + 2 * symbol_pulses;
constexpr std::size_t generalized_header = 0x12; // from the length field to the symbols
constexpr std::size_t zx81_block_fixed = generalized_header + 2 * symbol_size - 4; // 88
constexpr std::size_t draft_search = 1024;

uint32_t le16(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t le24(const uint8_t* p) {
    return le16(p) | static_cast<uint32_t>(p[2]) << 16;
}
uint32_t le32(const uint8_t* p) {
    return le24(p) | static_cast<uint32_t>(p[3]) << 24;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8 & 0xFF));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string hex(std::size_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*zX", digits, value);
    return text;
}

std::string bytes_text(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// The name of a block type, for notes; nullptr for an ID the TZX format does not define.
const char* block_name(uint8_t id) {
    switch (id) {
    case 0x10: return "standard-speed data";
    case 0x11: return "turbo-speed data";
    case 0x12: return "pure tone";
    case 0x13: return "pulse sequence";
    case 0x14: return "pure data";
    case 0x15: return "direct recording";
    case 0x16: return "C64 ROM-type data";
    case 0x17: return "C64 turbo data";
    case 0x18: return "CSW recording";
    case 0x19: return "generalized data";
    case 0x20: return "pause";
    case 0x21: return "group start";
    case 0x22: return "group end";
    case 0x23: return "jump";
    case 0x24: return "loop start";
    case 0x25: return "loop end";
    case 0x26: return "call sequence";
    case 0x27: return "return";
    case 0x28: return "select block";
    case 0x2A: return "stop the tape in 48K mode";
    case 0x2B: return "signal level";
    case 0x30: return "text description";
    case 0x31: return "message";
    case 0x32: return "archive information";
    case 0x33: return "hardware type";
    case 0x34: return "emulation information";
    case 0x35: return "custom information";
    case 0x40: return "snapshot";
    case 0x5A: return "glue";
    default: return nullptr;
    }
}

// Blocks that describe or pace the tape and are skipped without a note.
bool quiet_block(uint8_t id) {
    switch (id) {
    case 0x20:
    case 0x21:
    case 0x22:
    case 0x2A:
    case 0x2B:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0x33:
    case 0x35:
    case 0x5A: return true;
    default: return false;
    }
}

// Where a block's length is and how it counts: `fixed` bytes after the ID, plus `scale` times
// the `width`-byte number at `at` (width 0: no number).
struct LengthRule {
    std::size_t fixed;
    std::size_t at;
    int width;
    std::size_t scale;
};

LengthRule length_rule(uint8_t id) {
    switch (id) {
    case 0x10: return {4, 2, 2, 1};
    case 0x11: return {0x12, 0x0F, 3, 1};
    case 0x12: return {4, 0, 0, 0};
    case 0x13: return {1, 0, 1, 2};
    case 0x14: return {0x0A, 0x07, 3, 1};
    case 0x15: return {0x08, 0x05, 3, 1};
    case 0x20:
    case 0x23:
    case 0x24: return {2, 0, 0, 0};
    case 0x21:
    case 0x30: return {1, 0, 1, 1};
    case 0x22:
    case 0x25:
    case 0x27: return {0, 0, 0, 0};
    case 0x26: return {2, 0, 2, 2};
    case 0x28:
    case 0x32: return {2, 0, 2, 1};
    case 0x31: return {2, 1, 1, 1};
    case 0x33: return {1, 0, 1, 3};
    case 0x34: return {8, 0, 0, 0};
    case 0x35: return {0x14, 0x10, 4, 1};
    case 0x40: return {4, 1, 3, 1};
    case 0x5A: return {9, 0, 0, 0};
    default: return {4, 0, 4, 1}; // 0x16 to 0x19, 0x2A, 0x2B and every later block
    }
}

// The fields of a generalized data block, from its length field on.
struct Generalized {
    uint32_t pilot_symbols = 0; // TOTP
    unsigned pilot_pulses = 0;  // NPP
    unsigned pilot_alphabet = 0;
    uint32_t data_symbols = 0; // TOTD
    unsigned data_pulses = 0;  // NPD
    unsigned data_alphabet = 0;
    std::size_t symbols_at = 0; // offset of the data symbols' definitions, from the block
    std::size_t stream_at = 0;  // offset of the data stream, from the block
};

// Reads the fields of the block at `b` (its length field), `span` bytes long with the length
// field. False when they do not add up to exactly `span` under the 1.20 layout.
bool parse_generalized(const uint8_t* b, std::size_t span, Generalized& g) {
    if (span < generalized_header) return false;
    g.pilot_symbols = le32(b + 0x06);
    g.pilot_pulses = b[0x0A];
    g.pilot_alphabet = b[0x0B] == 0 ? 256 : b[0x0B];
    g.data_symbols = le32(b + 0x0C);
    g.data_pulses = b[0x10];
    g.data_alphabet = b[0x11] == 0 ? 256 : b[0x11];
    uint64_t at = generalized_header;
    if (g.pilot_symbols > 0) {
        at += uint64_t{g.pilot_alphabet} * (1 + 2 * g.pilot_pulses);
        at += uint64_t{g.pilot_symbols} * 3;
    }
    g.symbols_at = static_cast<std::size_t>(at < span ? at : span);
    if (g.data_symbols > 0) {
        at += uint64_t{g.data_alphabet} * (1 + 2 * g.data_pulses);
        g.stream_at = static_cast<std::size_t>(at < span ? at : span);
        unsigned bits = 0;
        while ((1u << bits) < g.data_alphabet)
            ++bits;
        at += (uint64_t{bits} * g.data_symbols + 7) / 8;
    }
    return at == span;
}

// The bit a symbol stands for: 0 for 4 bursts of pulses, 1 for 9, -1 for anything else.
int symbol_bit(const uint8_t* symbol, unsigned pulses) {
    unsigned n = 0;
    while (n < pulses && le16(symbol + 1 + 2 * n) != 0)
        ++n;
    const unsigned bursts = (n + 1) / 2;
    return bursts == 4 ? 0 : (bursts == 9 ? 1 : -1);
}

class TzxReader {
  public:
    TzxReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {
        contents_.format = ContainerFormat::tzx;
    }

    ContainerContents run() {
        if (!read_header()) return contents_;
        for (std::size_t at = tzx_header_size; at < size_ && contents_.ok();) {
            at = read_block(at);
        }
        return contents_;
    }

  private:
    bool read_header() {
        const std::size_t n = size_ < signature_size ? size_ : signature_size;
        if (n != 0 && std::memcmp(data_, signature, n) != 0) { // no data may be a null pointer
            fail(contents_, ContainerProblem::not_tzx, 0,
                 "not a TZX file (it does not start with \"ZXTape!\")");
            return false;
        }
        if (size_ < tzx_header_size) {
            fail(contents_, ContainerProblem::cut_short, size_,
                 "the data ends inside the TZX header");
            return false;
        }
        if (data_[8] != tzx_major) {
            fail(contents_, ContainerProblem::tzx_version, 8,
                 "TZX version " + std::to_string(data_[8]) + "." + std::to_string(data_[9]) +
                     " is not understood (only 1.x)");
            return false;
        }
        return true;
    }

    void note(std::size_t at, const std::string& message) {
        contents_.notes.push_back({at, message});
    }

    std::string block_title(std::size_t at) const {
        const char* name = block_name(data_[at]);
        return "block " + hex(data_[at], 2) + (name ? std::string(" (") + name + ")" : "");
    }

    // Reads the block at `at` (its ID) and returns the offset of the next one.
    std::size_t read_block(std::size_t at) {
        const uint8_t id = data_[at];
        const std::size_t b = at + 1;
        const std::size_t left = size_ - b;
        const LengthRule rule = length_rule(id);
        if (left < rule.at + static_cast<std::size_t>(rule.width) || left < rule.fixed) {
            fail(contents_, ContainerProblem::cut_short, at,
                 "the data ends inside the header of " + block_title(at));
            return size_;
        }
        uint64_t span = rule.fixed;
        if (rule.width > 0) {
            const uint8_t* field = data_ + b + rule.at;
            const uint32_t n = rule.width == 1   ? field[0]
                               : rule.width == 2 ? le16(field)
                               : rule.width == 3 ? le24(field)
                                                 : le32(field);
            span += uint64_t{n} * rule.scale;
        }
        if (span > left) {
            fail(contents_, ContainerProblem::cut_short, at,
                 block_title(at) + " says it is " + bytes_text(static_cast<std::size_t>(span)) +
                     " long, but only " + std::to_string(left) + " follow");
            return size_;
        }
        const auto length = static_cast<std::size_t>(span);
        if (id == tzx_generalized_data) {
            read_generalized(at, length);
        } else if (!quiet_block(id)) {
            const bool flow = id >= 0x23 && id <= 0x28;
            note(at, block_title(at) + (flow ? " ignored: blocks are read in file order"
                                             : " skipped: not a ZX81 program"));
        }
        return b + length;
    }

    void read_generalized(std::size_t at, std::size_t span) {
        const uint8_t* b = data_ + at + 1;
        Generalized g;
        if (!parse_generalized(b, span, g)) {
            read_draft(at, span);
            return;
        }
        if (g.data_symbols == 0 || g.data_alphabet != 2) {
            note(at, block_title(at) + " skipped: not a ZX81 program (" +
                         std::to_string(g.data_symbols == 0 ? 0 : g.data_alphabet) +
                         " data symbols)");
            return;
        }
        const int first = symbol_bit(b + g.symbols_at, g.data_pulses);
        const int second = symbol_bit(b + g.symbols_at + 1 + 2 * g.data_pulses, g.data_pulses);
        if (first < 0 || second < 0 || first == second) {
            note(at, block_title(at) + " skipped: its symbols are not a ZX81's 0 and 1 bits");
            return;
        }
        if (g.data_symbols % 8 != 0) {
            note(at, block_title(at) + " skipped: " + std::to_string(g.data_symbols) +
                         " bits are not whole bytes");
            return;
        }
        const std::size_t count = g.data_symbols / 8;
        const std::size_t stream = at + 1 + g.stream_at;
        std::vector<uint8_t> bytes(data_ + stream, data_ + stream + count);
        if (first == 1) {
            for (uint8_t& byte : bytes)
                byte = static_cast<uint8_t>(~byte);
        }
        read_tape_bytes(at, stream, bytes);
    }

    // A block in the draft layout: the tape's bytes are its tail, and its header declares how
    // many there are.
    void read_draft(std::size_t at, std::size_t span) {
        const std::size_t end = at + 1 + span;
        const std::size_t from = at + 1 + 6;
        const std::size_t to = from + draft_search < end ? from + draft_search : end;
        for (std::size_t h = from; h + 4 <= to; ++h) {
            const uint32_t declared = le32(data_ + h);
            for (const uint32_t n : {declared % 8 == 0 ? declared / 8 : 0, declared}) {
                if (n == 0 || n > end - h - 4 || !tape_bytes_at(end - n, end)) continue;
                note(at, block_title(at) + " has a layout older than TZX 1.20: its program read" +
                             " from its last " + bytes_text(n));
                read_tape_bytes(at, end - n, std::vector<uint8_t>(data_ + end - n, data_ + end));
                return;
            }
        }
        note(at, block_title(at) + " skipped: its fields do not add up to its length, and it" +
                     " does not end with a ZX81 program");
    }

    // True when `data_[s]` up to `end` is exactly a saved name and a P file (VERSN 0) whose
    // E_LINE ends it at `end`.
    bool tape_bytes_at(std::size_t s, std::size_t end) const {
        bool cut_short = false;
        const std::size_t name = saved_name_length(data_ + s, end - s, cut_short);
        if (name == 0 || end - s - name < p_file_min) return false;
        const uint8_t* p = data_ + s + name;
        const int length = p_file_length(p);
        return p[0] == 0 && length >= static_cast<int>(p_file_min) &&
               static_cast<std::size_t>(length) == end - s - name;
    }

    // Reads the name and program in `bytes`, found at `stream` in the file, of the block at
    // `at`.
    void read_tape_bytes(std::size_t at, std::size_t stream, const std::vector<uint8_t>& bytes) {
        ContainerContents one;
        const std::size_t end = read_saved_program(bytes.data(), 0, bytes.size(), true, one);
        if (!one.ok()) {
            fail(contents_, one.error.problem, stream + one.error.offset,
                 block_title(at) + ": " + one.error.message);
            return;
        }
        one.programs.back().offset = at;
        contents_.programs.push_back(std::move(one.programs.back()));
        if (end < bytes.size()) {
            note(stream + end, bytes_text(bytes.size() - end) + " after E_LINE in " +
                                   block_title(at) + " left out");
        }
    }

    const uint8_t* data_;
    std::size_t size_;
    ContainerContents contents_;
};

// Appends one symbol definition: start high, then `pairs` pulses of 530 and 520 T-states,
// a last pulse of 530 and the gap, padded with zeros to 18 pulses.
void put_symbol(std::vector<uint8_t>& out, int bursts) {
    out.push_back(start_high);
    int pulses = 0;
    for (int i = 0; i < bursts; ++i) {
        put16(out, pulse_high);
        put16(out, i + 1 < bursts ? pulse_low : bit_gap);
        pulses += 2;
    }
    for (; pulses < symbol_pulses; ++pulses)
        put16(out, 0);
}

} // namespace

bool has_tzx_signature(const uint8_t* data, std::size_t size) {
    return size >= signature_size && std::memcmp(data, signature, signature_size) == 0;
}

ContainerContents read_tzx(const uint8_t* data, std::size_t size) {
    return TzxReader(data, size).run();
}

bool write_tzx(const std::vector<SavedProgram>& programs, uint16_t pause_ms,
               std::vector<uint8_t>& out, std::size_t& bad, ProgramProblem& problem) {
    out.clear();
    problem = check_saved_programs(programs, true, bad);
    if (problem != ProgramProblem::none) return false;
    out.assign(signature, signature + signature_size);
    out.push_back(tzx_major);
    out.push_back(tzx_minor);
    for (const SavedProgram& program : programs) {
        const auto n = static_cast<uint32_t>(program.name.size() + program.bytes.size());
        out.push_back(tzx_generalized_data);
        put32(out, static_cast<uint32_t>(zx81_block_fixed) + n);
        put16(out, pause_ms);
        put32(out, 0); // no pilot or sync symbols
        out.push_back(0);
        out.push_back(0);
        put32(out, 8 * n);
        out.push_back(symbol_pulses);
        out.push_back(2);
        put_symbol(out, 4);
        put_symbol(out, 9);
        out.insert(out.end(), program.name.begin(), program.name.end());
        out.insert(out.end(), program.bytes.begin(), program.bytes.end());
    }
    return true;
}
