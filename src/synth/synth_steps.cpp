#include "synth/synth_steps.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "container/container_file.h"
#include "io/output_file.h"
#include "io/platform.h"
#include "program/saved_name_text.h"
#include "sound/sound_writer.h"
#include "synth/synthesiser.h"

bool read_program(const std::string& name, std::vector<uint8_t>& bytes, std::string& message) {
    bytes.clear();
    if (file_kind(name) == FileKind::directory) {
        message = "can't read " + name + ": it is a directory";
        return false;
    }
    std::FILE* in = std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        message = "can't read " + name + ": " + std::strerror(errno);
        return false;
    }
    FileBytes file;
    int error = 0;
    const bool read = read_program_file(in, name, program_max, file, error);
    std::fclose(in);
    if (!read) {
        message = "can't read " + name + ": " + std::strerror(error);
        return false;
    }
    if (file.size > file.bytes.size()) { // read in part: too large
        message = file.bytes.size() < container_file_max
                      ? name + " is larger than 64 KB: not a ZX81 program"
                      : name + " is larger than 64 MiB: neither a ZX81 program nor a file of them";
        return false;
    }
    bytes = std::move(file.bytes);
    return true;
}

namespace {

// The codes of the name a bare P file is saved under. False, with the message, when the ZX81
// cannot save it.
bool name_codes(const SynthSettings& settings, std::vector<uint8_t>& codes,
                std::string& message) {
    const std::string name = settings.tape_name.empty()
                                 ? name_of_program_file(settings.program_name)
                                 : settings.tape_name;
    std::string missing;
    switch (saved_name_from_text(name, codes, missing)) {
    case NameTextProblem::none:
        return true;
    case NameTextProblem::empty:
        message = "the name is empty (choose one with --name)";
        break;
    case NameTextProblem::too_long:
        message = "the name \"" + name + "\" is longer than 127 characters";
        break;
    case NameTextProblem::no_zx81_code: {
        // A byte that is no printable character is shown by its value.
        const auto lead = static_cast<unsigned char>(missing[0]);
        char shown[8];
        std::snprintf(shown, sizeof shown, "\\x%02X", lead);
        const bool printable = missing.size() > 1 || std::isprint(lead);
        message = "the name \"" + name + "\" has '" + (printable ? missing : shown) +
                  "', which the ZX81 lacks (choose another with --name)";
        break;
    }
    }
    return false;
}

// Where the recording goes, and the buffers of one block.
struct RecordingOutput {
    bool sound_file = false;           // into `sound`, else raw samples into `raw`
    OutputFile raw;
    SoundWriter sound;
    std::unique_ptr<double[]> samples; // a block as rendered
    std::unique_ptr<uint8_t[]> bytes;  // and as raw samples
};

// Renders the whole recording of one synthesiser into the output, a block at a time: raw
// samples, or the samples at full scale into the sound writer. False when a write failed.
bool render_into(RecordingOutput& output, Synthesiser& synth) {
    double* samples = output.samples.get();
    for (int64_t left = synth.total_samples; left > 0;) {
        const auto count = static_cast<std::size_t>(
            left < static_cast<int64_t>(synth_block_samples) ? left : synth_block_samples);
        render_samples(synth, samples, count);
        if (output.sound_file) {
            // Rendered samples are in 8-bit steps; the writer's full scale is 128 of them.
            for (std::size_t i = 0; i < count; ++i) samples[i] *= 1.0 / 128.0;
            if (!write_sound_samples(output.sound, samples, count)) return false;
        } else {
            for (std::size_t i = 0; i < count; ++i) output.bytes[i] = raw_sample(samples[i]);
            write_output(output.raw, output.bytes.get(), count);
            if (output.raw.write_failed) return false;
        }
        left -= static_cast<int64_t>(count);
    }
    return true;
}

} // namespace

SynthStep tape_programs(const SynthSettings& settings, const std::vector<uint8_t>& file,
                        TapePrograms& programs, std::string& message) {
    programs = TapePrograms();
    const std::string& name = settings.program_name;
    const ContainerFormat format = recognise_container(file.data(), file.size(), name);
    if (format == ContainerFormat::p) {
        if (file.size() > program_max) {
            message = name + " is larger than 64 KB: not a ZX81 program";
            return SynthStep::failed;
        }
        std::vector<uint8_t> tape;
        if (!name_codes(settings, tape, message)) return SynthStep::bad_usage;
        tape.insert(tape.end(), file.begin(), file.end());
        programs.tapes.push_back(std::move(tape));
        return SynthStep::done;
    }
    if (!settings.tape_name.empty()) {
        message = "--name names the program of a P file; the programs of " + name +
                  " keep their saved names";
        return SynthStep::bad_usage;
    }
    ContainerContents contents = read_container(file.data(), file.size(), name);
    for (const ContainerNote& note : contents.notes) {
        programs.notes.push_back(offset_message(note.offset, note.message));
    }
    if (!contents.ok()) {
        message = name + ": " + offset_message(contents.error.offset, contents.error.message);
        return SynthStep::failed;
    }
    if (contents.programs.empty()) {
        message = name + " holds no ZX81 program";
        return SynthStep::failed;
    }
    for (SavedProgram& program : contents.programs) {
        std::vector<uint8_t> tape = std::move(program.name);
        tape.insert(tape.end(), program.bytes.begin(), program.bytes.end());
        programs.tapes.push_back(std::move(tape));
    }
    return SynthStep::done;
}

bool write_recording(const SynthSettings& settings, const std::vector<std::vector<uint8_t>>& tapes,
                     std::string& message) {
    // The gap between two programs: a recording of no bytes, all lead.
    const std::vector<uint8_t> nothing;
    SynthSettings gap = settings;
    gap.lead_ms = settings.gap_ms;
    gap.trail_ms = 0.0;

    int64_t total = 0;
    for (std::size_t i = 0; i < tapes.size(); ++i) {
        if (i > 0) total += make_synthesiser(gap, nothing).total_samples;
        total += make_synthesiser(settings, tapes[i]).total_samples;
    }
    if (settings.sound_file && !sound_file_holds(settings.sound_type, settings.bits, total)) {
        message = std::string("the recording is too long for a ") +
                  sound_file_type_name(settings.sound_type) + " file (" + std::to_string(total) +
                  " samples); write raw samples instead";
        return false;
    }

    RecordingOutput output;
    output.sound_file = settings.sound_file;
    output.samples.reset(new (std::nothrow) double[synth_block_samples]);
    output.bytes.reset(new (std::nothrow) uint8_t[synth_block_samples]);
    if (!output.samples || !output.bytes) {
        message = "not enough memory";
        return false;
    }
    if (settings.sound_file) {
        switch (open_sound_writer(output.sound, settings.output_name, settings.sound_type,
                                  settings.rate, settings.bits)) {
        case SoundWriteError::none:
            break;
        case SoundWriteError::bad_format:
            message = std::string("a ") + sound_file_type_name(settings.sound_type) +
                      " file cannot hold " + std::to_string(settings.bits) + "-bit samples at " +
                      std::to_string(settings.rate) + " Hz";
            return false;
        case SoundWriteError::no_create:
            message = "can't create " + settings.output_name;
            return false;
        case SoundWriteError::failed:
            message = "can't write " + settings.output_name;
            return false;
        }
    } else if (!open_output(output.raw, settings.output_name)) {
        message = "can't create " + settings.output_name;
        return false;
    }

    bool written = true;
    for (std::size_t i = 0; i < tapes.size() && written; ++i) {
        if (i > 0) {
            Synthesiser silence = make_synthesiser(gap, nothing);
            written = render_into(output, silence);
        }
        Synthesiser synth = make_synthesiser(settings, tapes[i]);
        written = written && render_into(output, synth);
    }
    if (settings.sound_file) {
        if (!written) discard_sound_writer(output.sound);
        written = written && close_sound_writer(output.sound) == SoundWriteError::none;
    } else {
        if (!written) discard_output(output.raw);
        written = written && commit_output(output.raw);
    }
    if (!written) {
        message = "can't write " + settings.output_name;
        return false;
    }
    return true;
}
