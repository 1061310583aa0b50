#include "io/output_file.h"

#include "io/platform.h"

OutputFile::~OutputFile() { discard_output(*this); }

bool open_output(OutputFile& out, const std::string& name) {
    discard_output(out);
    out.final_name = name;
    out.target_name.clear();
    out.write_failed = false;
    if (name.empty()) return false;

    switch (file_kind(name)) {
    case FileKind::directory:
        return false;
    case FileKind::other:
        out.stream = std::fopen(name.c_str(), "wb");
        return out.stream != nullptr;
    case FileKind::regular:
        if (!file_writable(name)) return false;
        break;
    case FileKind::missing:
        if (name.back() == '/') return false;
        break;
    }

    // A symbolic link keeps pointing where it did: the file it names is the one replaced.
    out.target_name = resolved_name(name);
    out.stream = create_temp_beside(out.target_name, out.temp_name, out.pending_slot);
    return out.stream != nullptr;
}

void write_output(OutputFile& out, const void* data, std::size_t size) {
    if (size == 0 || out.write_failed) return;
    if (std::fwrite(data, 1, size, out.stream) != size) out.write_failed = true;
}

bool commit_output(OutputFile& out) {
    bool ok = !out.write_failed;
    if (std::fflush(out.stream) != 0) ok = false;
    if (std::fclose(out.stream) != 0) ok = false;
    out.stream = nullptr;
    if (out.temp_name.empty()) return ok;

    if (ok) ok = rename_file(out.temp_name, out.target_name);
    if (!ok) remove_file(out.temp_name);
    clear_pending_temp(out.pending_slot);
    out.pending_slot = -1;
    out.temp_name.clear();
    return ok;
}

void discard_output(OutputFile& out) {
    if (out.stream != nullptr) std::fclose(out.stream); // what is thrown away needs no check
    out.stream = nullptr;
    if (!out.temp_name.empty()) {
        remove_file(out.temp_name);
        clear_pending_temp(out.pending_slot);
        out.pending_slot = -1;
        out.temp_name.clear();
    }
}
