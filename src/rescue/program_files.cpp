#include "rescue/program_files.h"

#include <algorithm>
#include <cstdio>

#include "bits/bit_file.h"
#include "io/output_file.h"
#include "io/platform.h"
#include "program/saved_name_text.h"

namespace {

// True when the file `name` holds exactly `bytes`.
bool holds_exactly(const std::string& name, const std::string& bytes) {
    std::FILE* in = std::fopen(name.c_str(), "rb");
    if (in == nullptr) return false;
    std::string content;
    char chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        content.append(chunk, got);
        if (got < sizeof chunk || content.size() > bytes.size()) break;
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    return !failed && content == bytes;
}

} // namespace

std::string bit_file_text(const std::vector<ProgramBit>& bits) {
    std::string text;
    text.reserve(bits.size() + bits.size() / 32);
    BitLine line;
    for (const ProgramBit& bit : bits)
        put_bit_char(line, text, bit.certain ? static_cast<char>('0' + (bit.value & 1)) : '?');
    return text;
}

std::string output_directory(const std::string& output_dir, const std::string& recording) {
    if (!output_dir.empty()) return output_dir;
    const std::size_t slash = recording.rfind('/');
    return slash == std::string::npos ? std::string() : recording.substr(0, slash + 1);
}

bool ProgramFiles::is_recording(const std::string& name) const {
    return std::any_of(recordings_.begin(), recordings_.end(),
                       [&](const std::string& recording) { return same_file(name, recording); });
}

// Writes `bytes` to `name` crash-safely, unless it exists and may not be replaced.
// Returns the problem, or an empty text.
std::string ProgramFiles::write_file(const std::string& name, const std::string& bytes) const {
    if (file_exists(name)) {
        if (is_recording(name)) return name + " is a recording of this run";
        if (holds_exactly(name, bytes)) return {};
        if (!force_) return name + " exists (--force replaces it)";
    }
    OutputFile out;
    if (!open_output(out, name)) return "cannot create " + name;
    write_output(out, bytes.data(), bytes.size());
    if (!commit_output(out)) return "cannot write " + name;
    return {};
}

ProgramFilesResult ProgramFiles::write(const std::string& directory,
                                       const RecoveredProgram& program) {
    ProgramFilesResult result;
    std::string base = directory;
    if (!base.empty() && base.back() != '/') base += '/';
    base += saved_name_file_stem(program.name);
    const std::string bytes(program.bytes.begin(), program.bytes.end());

    std::lock_guard<std::mutex> lock(mutex_);
    for (int n = 1;; ++n) {
        const std::string stem = n == 1 ? base : base + "-" + std::to_string(n);
        const std::string p_name = stem + ".p";
        const auto earlier = written_.find(p_name);
        if (earlier != written_.end()) {
            if (earlier->second == program.bytes) {
                result.same_as = p_name;
                return result;
            }
            continue;
        }
        // Another program's name, or a recording: the next number.
        if (is_recording(p_name)) continue;
        result.problem = write_file(p_name, bytes);
        written_[p_name] = program.bytes;
        if (!result.problem.empty()) return result;
        result.p_file = p_name;
        if (bits_) {
            const std::string bit_name = stem + ".bit";
            result.problem = write_file(bit_name, bit_file_text(program.bits));
            if (result.problem.empty()) result.bit_file = bit_name;
        }
        return result;
    }
}
