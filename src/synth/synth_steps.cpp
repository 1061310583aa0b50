#include "synth/synth_steps.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "io/output_file.h"
#include "io/platform.h"
#include "program/saved_name_text.h"
#include "synth/synthesiser.h"
#include "synth/wav_file.h"

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
    uint8_t chunk[65536];
    std::size_t got;
    while (bytes.size() <= program_max && (got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) {
        message = "can't read " + name;
        return false;
    }
    if (bytes.size() > program_max) {
        message = name + " is larger than 64 KB: not a ZX81 program";
        bytes.clear();
        return false;
    }
    return true;
}

bool tape_bytes(const SynthSettings& settings, const std::vector<uint8_t>& program,
                std::vector<uint8_t>& bytes, std::string& message) {
    const std::string name = settings.tape_name.empty()
                                 ? name_of_program_file(settings.program_name)
                                 : settings.tape_name;
    std::string missing;
    switch (saved_name_from_text(name, bytes, missing)) {
    case NameTextProblem::none:
        bytes.insert(bytes.end(), program.begin(), program.end());
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

bool write_recording(const SynthSettings& settings, const std::vector<uint8_t>& bytes,
                     std::string& message) {
    Synthesiser synth = make_synthesiser(settings, bytes);
    const int bits = settings.wav ? settings.bits : 8;
    if (settings.wav && !wav_fits(synth.total_samples, bits)) {
        message = "the recording is too long for a WAV file (" +
                  std::to_string(synth.total_samples) + " samples); write raw samples instead";
        return false;
    }
    std::unique_ptr<double[]> samples(new (std::nothrow) double[synth_block_samples]);
    std::unique_ptr<uint8_t[]> encoded(new (std::nothrow) uint8_t[2 * synth_block_samples]);
    if (!samples || !encoded) {
        message = "not enough memory";
        return false;
    }
    OutputFile out;
    if (!open_output(out, settings.output_name)) {
        message = "can't create " + settings.output_name;
        return false;
    }
    if (settings.wav) {
        const auto header = wav_header(settings.rate, bits, synth.total_samples);
        write_output(out, header.data(), header.size());
    }
    for (int64_t left = synth.total_samples; left > 0 && !out.write_failed;) {
        const auto count = static_cast<std::size_t>(
            left < static_cast<int64_t>(synth_block_samples) ? left : synth_block_samples);
        render_samples(synth, samples.get(), count);
        write_output(out, encoded.get(), encode_samples(samples.get(), count, bits, encoded.get()));
        left -= static_cast<int64_t>(count);
    }
    if (settings.wav && (wav_data_size(synth.total_samples, bits) & 1) != 0) {
        const uint8_t pad = 0;
        write_output(out, &pad, 1);
    }
    if (!commit_output(out)) {
        message = "can't write " + settings.output_name;
        return false;
    }
    return true;
}
