#include "list/list_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "container/container_file.h"
#include "io/file_bytes.h"
#include "list/container_info.h"
#include "list/list_options.h"
#include "list/p_file_info.h"
#include "program/p_file_check.h"

namespace {

void usage_error(const std::string& message) {
    std::fputs(usage_error_text("zx81list", message).c_str(), stderr);
}

void report(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "zx81list: %s\n", message.c_str());
}

/// Reads a file: all of it when it may be a .p81 or .tzx file, otherwise its first 64 KiB and
/// its length. False with `error` set on failure.
bool read_input(const std::string& name, FileBytes& file, std::string& error) {
    const bool standard_input = name == "-";
    std::FILE* in = standard_input ? stdin : std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    int number = 0;
    const bool read = read_program_file(in, standard_input ? "" : name, UINT64_MAX, file, number);
    if (!read) error = std::strerror(number);
    if (!standard_input) std::fclose(in);
    return read;
}

/// One run over the files: what to show and how it went.
struct ListRun {
    const ListSettings& settings;
    bool listing = false; // no view asked for: the listing
    bool first = true;    // nothing shown yet
    int status = 0;

    void fail() {
        if (status == 0) status = exit_failure;
    }

    /// Shows the views of one program, under a header when `header`; `label` names it in the
    /// header and the messages.
    void show(const std::string& label, const PFileModel& model, bool header,
              const std::string& info_lines = "", const char* size_label = "file:") {
        // The check reports a damaged file in detail; the other views need a program.
        const std::string problem = settings.check ? "" : not_a_program_reason(model);
        if (!problem.empty()) {
            report(label + ": not a ZX81 program: " + problem);
            fail();
            return;
        }
        if (header && (listing || settings.info || settings.screen)) {
            if (!first) std::fputs("\n", stdout);
            const bool comment = listing && settings.style == ListStyle::zmakebas;
            std::printf(comment ? "# %s\n" : "%s:\n", label.c_str());
        }
        first = false;
        if (settings.info) {
            std::fputs((info_lines + p_file_info(model, size_label)).c_str(), stdout);
        }
        if (settings.screen) std::fputs(p_file_screen(model).c_str(), stdout);
        if (settings.check) {
            const std::vector<Finding> findings = check_p_file(model);
            for (const Finding& f : findings) {
                std::printf("%s: offset 0x%04zX: %s\n", label.c_str(), f.offset,
                            f.message.c_str());
            }
            if (!findings.empty()) fail();
        }
        if (listing) {
            const Listing result = list_program(model, settings.style);
            std::fputs(result.text.c_str(), stdout);
            if (!result.warnings.empty()) {
                for (const std::string& warning : result.warnings) report(label + ": " + warning);
                fail();
            }
        }
    }

    /// Shows every program of a .p81 or .tzx file, each under a header with its saved name;
    /// then the damage that stopped the reading, as a finding of --check or an error.
    void show_container(const std::string& name, const FileBytes& file,
                        const ContainerContents& contents) {
        for (const ContainerNote& note : contents.notes) {
            report(name + ": " + offset_message(note.offset, note.message));
        }
        if (settings.info) {
            if (!first) std::fputs("\n", stdout);
            std::fputs(container_info(name, contents, file.size).c_str(), stdout);
            first = false;
        }
        for (std::size_t i = 0; i < contents.programs.size(); ++i) {
            const SavedProgram& program = contents.programs[i];
            show(container_program_label(name, i, program), parse_p_file(program.bytes), true,
                 container_program_info(program), "P file:");
        }
        if (!contents.ok()) {
            const std::string damage = offset_message(contents.error.offset,
                                                      contents.error.message);
            if (settings.check) {
                std::printf("%s: %s\n", name.c_str(), damage.c_str());
            } else {
                report(name + ": " + damage);
            }
            fail();
        } else if (contents.programs.empty()) {
            report(name + ": holds no ZX81 program");
            fail();
        }
    }
};

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

    ListRun run{settings};
    run.listing = !settings.info && !settings.screen && !settings.check;
    const bool several = settings.files.size() > 1;
    for (const std::string& file : settings.files) {
        const bool standard_input = file == "-";
        const std::string name = standard_input ? "(standard input)" : file;
        FileBytes bytes;
        std::string error;
        if (!read_input(file, bytes, error)) {
            report(name + ": " + error);
            run.fail();
            continue;
        }
        // A file read in part is shown as a P file, which says why it is none.
        const ContainerFormat format =
            bytes.cut_off || bytes.size > bytes.bytes.size()
                ? ContainerFormat::p
                : recognise_container(bytes.bytes.data(), bytes.bytes.size(),
                                      standard_input ? "" : file);
        if (format != ContainerFormat::p) {
            run.show_container(
                name, bytes,
                read_container(bytes.bytes.data(), bytes.bytes.size(), standard_input ? "" : file));
            continue;
        }
        if (bytes.bytes.size() > p_file_kept) bytes.bytes.resize(p_file_kept);
        const auto size = static_cast<std::size_t>(bytes.size);
        run.show(name, parse_p_file(std::move(bytes.bytes), size), several);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zx81list: cannot write standard output: %s\n", std::strerror(errno));
        return exit_failure;
    }
    return run.status;
}
