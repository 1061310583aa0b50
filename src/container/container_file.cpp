#include "container/container_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "container/p81_format.h"
#include "container/p_format.h"
#include "container/tzx_format.h"
#include "io/file_bytes.h"
#include "io/file_name.h"

namespace {

bool reads_as_p(const uint8_t* data, std::size_t size) {
    return size >= p_file_min && data[0] == 0 &&
           p_file_length(data) >= static_cast<int>(p_file_min) &&
           static_cast<std::size_t>(p_file_length(data)) <= size;
}

bool reads_as_p81(const uint8_t* data, std::size_t size) {
    if (size == 0) return false;
    const ContainerContents contents = read_p81(data, size);
    if (!contents.ok()) return false;
    for (const SavedProgram& program : contents.programs) {
        if (program.bytes[0] != 0) return false;
    }
    return true;
}

} // namespace

ContainerFormat recognise_container(const uint8_t* data, std::size_t size,
                                    const std::string& name) {
    if (has_tzx_signature(data, size)) return ContainerFormat::tzx;
    const std::string ext = file_extension(name);
    if (ext == "tzx") return ContainerFormat::tzx;
    if (ext == "p81") {
        return !reads_as_p81(data, size) && reads_as_p(data, size) ? ContainerFormat::p
                                                                   : ContainerFormat::p81;
    }
    if (ext == "p" || ext == "81") {
        return !reads_as_p(data, size) && reads_as_p81(data, size) ? ContainerFormat::p81
                                                                   : ContainerFormat::p;
    }
    return reads_as_p81(data, size) && !reads_as_p(data, size) ? ContainerFormat::p81
                                                               : ContainerFormat::p;
}

bool may_be_container(const uint8_t* data, std::size_t size, const std::string& name) {
    if (has_tzx_signature(data, size)) return true;
    const std::string ext = file_extension(name);
    if (ext == "p81" || ext == "tzx") return true;
    if (size == 0) return false;
    const ContainerContents start = read_p81(data, size);
    for (const SavedProgram& program : start.programs) {
        if (program.bytes[0] != 0) return false;
    }
    switch (start.error.problem) {
    case ContainerProblem::none: return true;
    case ContainerProblem::cut_short: return true;
    case ContainerProblem::program_cut_short:
        return data[start.error.offset] == 0; // the VERSN of the program cut off
    default: return false;
    }
}

bool read_program_file(std::FILE* in, const std::string& name, uint64_t limit, FileBytes& file,
                       int& error) {
    file = FileBytes();
    // First a little more than a P file holds, kept whole, then on as the start says.
    if (!read_file_bytes(in, container_file_max, p_file_kept, file, error)) return false;
    if (!file.cut_off) return true;
    if (may_be_container(file.bytes.data(), file.bytes.size(), name)) {
        return read_file_bytes(in, container_file_max, container_file_max, file, error);
    }
    file.bytes.resize(p_file_kept);
    return read_file_bytes(in, p_file_kept, limit, file, error);
}

ContainerContents read_container(const uint8_t* data, std::size_t size, const std::string& name) {
    switch (recognise_container(data, size, name)) {
    case ContainerFormat::tzx: return read_tzx(data, size);
    case ContainerFormat::p81: return read_p81(data, size);
    case ContainerFormat::p: break;
    }
    return read_p(data, size);
}

ContainerContents load_container(const std::string& name) {
    ContainerContents contents;
    const bool standard_input = name == "-";
    errno = 0;
    std::FILE* in = standard_input ? stdin : std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        fail(contents, ContainerProblem::unreadable, 0, std::strerror(errno != 0 ? errno : EIO));
        return contents;
    }
    FileBytes file;
    int error = 0;
    const bool read = read_file_bytes(in, container_file_max, container_file_max, file, error);
    if (!standard_input) std::fclose(in);
    if (!read) {
        fail(contents, ContainerProblem::unreadable, file.bytes.size(), std::strerror(error));
        return contents;
    }
    if (file.cut_off) {
        fail(contents, ContainerProblem::too_large, container_file_max,
             "larger than 64 MiB: not a container of ZX81 programs");
        return contents;
    }
    return read_container(file.bytes.data(), file.bytes.size(), standard_input ? "" : name);
}
