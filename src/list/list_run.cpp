#include "list/list_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "list/list_options.h"
#include "list/p_file_info.h"
#include "program/p_file_check.h"

namespace {

constexpr std::size_t max_kept = 0x10000; // the ZX81's address space; a P file fits in it

void usage_error(const std::string& message) {
    std::fputs(usage_error_text("zx81list", message).c_str(), stderr);
}

/// Reads a whole file, keeping its first `max_kept` bytes. False with `error` set on failure.
bool read_input(const std::string& name, std::vector<uint8_t>& bytes, std::size_t& size,
                std::string& error) {
    const bool standard_input = name == "-";
    std::FILE* in = standard_input ? stdin : std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bytes.clear();
    size = 0;
    char chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        if (got == 0) break;
        const std::size_t keep = std::min(got, max_kept - std::min(size, max_kept));
        bytes.insert(bytes.end(), chunk, chunk + keep);
        size += got;
    }
    const bool failed = std::ferror(in) != 0;
    if (failed) error = std::strerror(errno != 0 ? errno : EIO);
    if (!standard_input) std::fclose(in);
    return !failed;
}

} // namespace

int zx81list_main(int argc, char** argv) {
    ListSettings settings;
    std::string message;
    switch (parse_list_options(argc, argv, settings, message)) {
    case ToolCommand::help:
        std::fputs(list_usage(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::version:
        std::fputs(version_text("zx81list").c_str(), stdout);
        return std::fflush(stdout) == 0 ? exit_done : exit_failure;
    case ToolCommand::usage_error:
        usage_error(message);
        return exit_usage;
    case ToolCommand::run:
        break;
    }

    const bool several = settings.files.size() > 1;
    const bool listing = !settings.info && !settings.screen && !settings.check;
    int status = 0;
    bool first = true;
    for (const std::string& file : settings.files) {
        const std::string name = file == "-" ? "(standard input)" : file;
        std::vector<uint8_t> bytes;
        std::size_t size = 0;
        std::string error;
        if (!read_input(file, bytes, size, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "zx81list: %s: %s\n", name.c_str(), error.c_str());
            status = exit_failure;
            continue;
        }
        const PFileModel model = parse_p_file(std::move(bytes), size);
        // The check reports a damaged file in detail; the other views need a program.
        const std::string problem = settings.check ? "" : not_a_program_reason(model);
        if (!problem.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "zx81list: %s: not a ZX81 program: %s\n", name.c_str(),
                         problem.c_str());
            if (status == 0) status = 1;
            continue;
        }
        if (several && (listing || settings.info || settings.screen)) {
            if (!first) std::fputs("\n", stdout);
            const bool comment = listing && settings.style == ListStyle::zmakebas;
            std::printf(comment ? "# %s\n" : "%s:\n", name.c_str());
        }
        first = false;
        if (settings.info) std::fputs(p_file_info(model).c_str(), stdout);
        if (settings.screen) std::fputs(p_file_screen(model).c_str(), stdout);
        if (settings.check) {
            const std::vector<Finding> findings = check_p_file(model);
            for (const Finding& f : findings) {
                std::printf("%s: offset 0x%04zX: %s\n", name.c_str(), f.offset, f.message.c_str());
            }
            if (!findings.empty() && status == 0) status = 1;
        }
        if (listing) {
            const Listing result = list_program(model, settings.style);
            std::fputs(result.text.c_str(), stdout);
            if (!result.warnings.empty()) {
                std::fflush(stdout);
                for (const std::string& warning : result.warnings) {
                    std::fprintf(stderr, "zx81list: %s: %s\n", name.c_str(), warning.c_str());
                }
                if (status == 0) status = 1;
            }
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zx81list: cannot write standard output: %s\n", std::strerror(errno));
        return exit_failure;
    }
    return status;
}
