#include "pack/pack_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "container/container_file.h"
#include "container/p81_format.h"
#include "container/p_format.h"
#include "container/tzx_format.h"
#include "io/output_file.h"
#include "io/platform.h"
#include "pack/pack_options.h"
#include "program/saved_name_text.h"

namespace {

void report(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "zx81pack: %s\n", message.c_str());
}

std::string shown_name(const std::string& file) {
    return file == "-" ? "(standard input)" : file;
}

std::string bytes_text(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string programs_text(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " program" : " programs");
}

// Reads a container, reporting its notes and its error. False on an error.
bool load(const std::string& file, ContainerContents& contents) {
    contents = load_container(file);
    const std::string name = shown_name(file);
    for (const ContainerNote& note : contents.notes) {
        report(name + ": " + offset_message(note.offset, note.message));
    }
    if (contents.ok()) return true;
    switch (contents.error.problem) {
    case ContainerProblem::unreadable:
        report("can't read " + name + ": " + contents.error.message);
        break;
    default:
        report(name + ": " + offset_message(contents.error.offset, contents.error.message));
        break;
    }
    return false;
}

// Writes `bytes` to `name` through a temporary file. False, reported, on failure.
bool write_whole(const std::string& name, const std::vector<uint8_t>& bytes) {
    OutputFile out;
    errno = 0;
    if (!open_output(out, name)) {
        report("can't create " + name +
               (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
        return false;
    }
    write_output(out, bytes.data(), bytes.size());
    if (!commit_output(out)) {
        report("can't write " + name);
        return false;
    }
    return true;
}

bool refuse_existing(const std::string& name, bool force) {
    if (force || !file_exists(name)) return false;
    report(name + " exists (use --force to replace it)");
    return true;
}

// The saved name of `program` from the typed `text`. False, reported, when the ZX81 cannot
// save it; `typed` says whether the user gave the text with --name.
bool name_program(const std::string& file, const std::string& text, bool typed,
                  SavedProgram& program) {
    const std::string hint = typed ? "" : " (give one with --name)";
    std::string bad;
    switch (saved_name_from_text(text, program.name, bad)) {
    case NameTextProblem::none: return true;
    case NameTextProblem::empty:
        report(shown_name(file) + ": the saved name is empty" + hint);
        return false;
    case NameTextProblem::too_long:
        report(shown_name(file) + ": the saved name \"" + text +
               "\" is longer than 127 characters" + hint);
        return false;
    case NameTextProblem::no_zx81_code: break;
    }
    const auto lead = static_cast<unsigned char>(bad[0]);
    char shown[8];
    std::snprintf(shown, sizeof shown, "\\x%02X", lead);
    const bool printable = bad.size() > 1 || (lead > ' ' && lead < 0x7F);
    report(shown_name(file) + ": the saved name \"" + text + "\" has '" +
           (printable ? bad : std::string(shown)) + "', which the ZX81 lacks" + hint);
    return false;
}

int join(const PackSettings& settings) {
    std::vector<SavedProgram> programs;
    for (const PackInput& input : settings.files) {
        ContainerContents contents;
        if (!load(input.path, contents)) return 1;
        if (contents.programs.empty()) {
            report(shown_name(input.path) + ": holds no ZX81 program");
            return 1;
        }
        if (input.named && contents.programs.size() > 1) {
            report(shown_name(input.path) + ": --name names one program, and it holds " +
                   std::to_string(contents.programs.size()));
            return 2;
        }
        if (input.named || contents.format == ContainerFormat::p) {
            if (!input.named && input.path == "-") {
                report("(standard input): a P file needs a saved name (give one with --name)");
                return 2;
            }
            const std::string text = input.named ? input.name : name_of_program_file(input.path);
            if (!name_program(input.path, text, input.named, contents.programs.front())) return 2;
        }
        for (SavedProgram& program : contents.programs)
            programs.push_back(std::move(program));
    }

    std::vector<uint8_t> bytes;
    std::size_t bad = 0;
    ProgramProblem problem = ProgramProblem::none;
    const bool written = settings.format == ContainerFormat::tzx
                             ? write_tzx(programs, settings.pause_ms, bytes, bad, problem)
                             : write_p81(programs, bytes, bad, problem);
    if (!written) { // the readers only give programs that fit; kept for safety
        report("program " + std::to_string(bad + 1) + ": " +
               program_problem_text(problem, programs[bad]));
        return 1;
    }
    if (refuse_existing(settings.output, settings.force)) return 1;
    if (!write_whole(settings.output, bytes)) return 1;
    std::printf("%s: %s, %s\n", settings.output.c_str(), programs_text(programs.size()).c_str(),
                bytes_text(bytes.size()).c_str());
    return 0;
}

// The directory part of a path, with its slash ("" for a bare name).
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int split(const PackSettings& settings) {
    std::string directory = settings.output;
    if (!directory.empty()) {
        if (file_kind(directory) != FileKind::directory) {
            report(directory + " is not a directory");
            return 1;
        }
        if (directory.back() != '/') directory += '/';
    }
    std::set<std::string> taken; // the files this run writes
    int status = 0;
    for (const PackInput& input : settings.files) {
        const std::string& file = input.path;
        ContainerContents contents;
        if (!load(file, contents)) {
            status = 1;
            continue;
        }
        if (contents.format == ContainerFormat::p) {
            report(shown_name(file) + ": a P file holds one program and no name: nothing to split");
            status = 1;
            continue;
        }
        if (contents.programs.empty()) {
            report(shown_name(file) + ": holds no ZX81 program");
            status = 1;
            continue;
        }
        const std::string where = settings.output.empty()
                                      ? (file == "-" ? std::string() : directory_of(file))
                                      : directory;
        std::vector<std::string> names;
        bool refused = false;
        for (const SavedProgram& program : contents.programs) {
            const std::string stem = where + saved_name_file_stem(program.name);
            std::string name = stem + ".p";
            for (int n = 2; taken.count(name) != 0; ++n) {
                name = stem + "-" + std::to_string(n) + ".p";
            }
            taken.insert(name);
            names.push_back(name);
            if (file != "-" && same_file(name, file)) {
                report("can't write " + name + " over " + shown_name(file) + " itself");
                refused = true;
            } else if (refuse_existing(name, settings.force)) {
                refused = true;
            }
        }
        if (refused) {
            status = 1;
            continue;
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const SavedProgram& program = contents.programs[i];
            std::vector<uint8_t> bytes;
            ProgramProblem problem = ProgramProblem::none;
            if (!write_p(program, bytes, problem) || !write_whole(names[i], bytes)) {
                status = 1;
                break;
            }
            std::printf("%s: %s, saved as \"%s\"\n", names[i].c_str(),
                        bytes_text(bytes.size()).c_str(), saved_name_text(program.name).c_str());
        }
    }
    return status;
}

int list(const PackSettings& settings) {
    int status = 0;
    bool first = true;
    for (const PackInput& input : settings.files) {
        const std::string& file = input.path;
        if (!first) std::fputs("\n", stdout);
        first = false;
        ContainerContents contents;
        const bool ok = load(file, contents);
        if (!ok && contents.error.problem == ContainerProblem::unreadable) {
            status = 1;
            continue;
        }
        std::printf(
            "%s: %s, %s%s\n", shown_name(file).c_str(), container_format_name(contents.format),
            programs_text(contents.programs.size()).c_str(), ok ? "" : " before the damage");
        if (!contents.programs.empty()) std::puts("   #  offset      bytes  name");
        for (std::size_t i = 0; i < contents.programs.size(); ++i) {
            const SavedProgram& program = contents.programs[i];
            std::printf("%4zu  0x%06zX  %5zu  %s\n", i + 1, program.offset, program.bytes.size(),
                        program.name.empty() ? "(none)" : saved_name_text(program.name).c_str());
        }
        if (!ok || contents.programs.empty()) status = 1;
    }
    return status;
}

} // namespace

int zx81pack_main(int argc, char** argv) {
    PackSettings settings;
    std::string message;
    int status = 0;
    switch (parse_pack_options(argc, argv, settings, message)) {
    case ToolCommand::help: std::fputs(pack_usage_text(), stdout); break;
    case ToolCommand::version: std::fputs(version_text("zx81pack").c_str(), stdout); break;
    case ToolCommand::usage_error:
        std::fputs(usage_error_text("zx81pack", message).c_str(), stderr);
        return exit_usage;
    case ToolCommand::run:
        install_signal_cleanup();
        switch (settings.command) {
        case PackCommand::join: status = join(settings); break;
        case PackCommand::split: status = split(settings); break;
        case PackCommand::list:
        case PackCommand::none: status = list(settings); break;
        }
        break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zx81pack: can't write standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
