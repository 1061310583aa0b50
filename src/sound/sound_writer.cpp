#include "sound/sound_writer.h"

#include <cmath>

#include "io/file_name.h"
#include "io/platform.h"

namespace {

constexpr std::size_t block_samples = 4096;

// libsndfile writes into the writer's output file (or its stage) through these calls, so that
// the bytes go under the temporary name and every short write is seen.
std::FILE* stream_of(void* user) {
    auto* writer = static_cast<SoundWriter*>(user);
    return writer->stage != nullptr ? writer->stage : writer->out.stream;
}
sf_count_t output_length(void* user) {
    std::FILE* stream = stream_of(user);
    const int64_t here = stream_position(stream);
    if (here < 0 || !seek_stream(stream, 0, SEEK_END)) return -1;
    const int64_t end = stream_position(stream);
    seek_stream(stream, here, SEEK_SET);
    return end;
}
sf_count_t output_seek(sf_count_t offset, int whence, void* user) {
    std::FILE* stream = stream_of(user);
    if (!seek_stream(stream, offset, whence)) return -1;
    return stream_position(stream);
}
sf_count_t output_read(void*, sf_count_t, void*) {
    return 0;
}
sf_count_t output_write(const void* data, sf_count_t count, void* user) {
    auto* writer = static_cast<SoundWriter*>(user);
    const auto size = static_cast<std::size_t>(count);
    if (writer->stage != nullptr) {
        if (std::fwrite(data, 1, size, writer->stage) != size) writer->failed = true;
    } else {
        write_output(writer->out, data, size);
        if (writer->out.write_failed) writer->failed = true;
    }
    return writer->failed ? 0 : count;
}
sf_count_t output_tell(void* user) {
    return stream_position(stream_of(user));
}

// Copies the staged file into the output. False when a read or a write failed.
bool copy_stage(SoundWriter& writer) {
    char block[65536];
    if (!seek_stream(writer.stage, 0, SEEK_SET)) return false;
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, writer.stage)) > 0) {
        write_output(writer.out, block, got);
    }
    return std::ferror(writer.stage) == 0 && !writer.out.write_failed;
}

void close_stage(SoundWriter& writer) {
    if (writer.stage != nullptr) std::fclose(writer.stage); // a scratch file: nothing to lose
    writer.stage = nullptr;
}

// A sample at `bits` per sample, in the top bits of an int as libsndfile takes it.
int stored_sample(double x, int bits) {
    const double scale = static_cast<double>(1L << (bits - 1));
    double v = std::nearbyint(x * scale);
    if (!(v >= -scale)) v = -scale; // also NaN
    if (v > scale - 1) v = scale - 1;
    return static_cast<int>(static_cast<unsigned>(static_cast<int>(v)) << (32 - bits));
}

} // namespace

bool sound_file_type_of(const std::string& name, SoundFileType& type) {
    const std::string ext = file_extension(name);
    if (ext == "wav") {
        type = SoundFileType::wav;
    } else if (ext == "flac") {
        type = SoundFileType::flac;
    } else if (ext == "aif" || ext == "aiff") {
        type = SoundFileType::aiff;
    } else {
        return false;
    }
    return true;
}

int sound_file_format(SoundFileType type, int bits) {
    int encoding = 0;
    switch (bits) {
    case 8: encoding = type == SoundFileType::wav ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8; break;
    case 16: encoding = SF_FORMAT_PCM_16; break;
    case 24: encoding = SF_FORMAT_PCM_24; break;
    default: return 0;
    }
    switch (type) {
    case SoundFileType::wav: return SF_FORMAT_WAV | encoding;
    case SoundFileType::flac: return SF_FORMAT_FLAC | encoding;
    case SoundFileType::aiff: return SF_FORMAT_AIFF | encoding;
    }
    return 0;
}

const char* sound_file_type_name(SoundFileType type) {
    switch (type) {
    case SoundFileType::wav: return "WAV";
    case SoundFileType::flac: return "FLAC";
    case SoundFileType::aiff: return "AIFF";
    }
    return "";
}

bool sound_file_holds(SoundFileType type, int bits, int64_t samples) {
    if (samples < 0) return false;
    const uint64_t data = static_cast<uint64_t>(samples) * static_cast<uint64_t>(bits / 8);
    switch (type) {
    case SoundFileType::wav: return 36 + data + (data & 1) <= 0xFFFFFFFFull;
    case SoundFileType::aiff: return data + 4096 <= 0xFFFFFFFFull;
    case SoundFileType::flac: return static_cast<uint64_t>(samples) < (1ull << 36);
    }
    return false;
}

SoundWriteError open_sound_writer(SoundWriter& writer, const std::string& name, SoundFileType type,
                                  int rate, int bits) {
    writer.sound = nullptr;
    writer.failed = false;
    writer.bits = bits;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = sound_file_format(type, bits);
    if (info.format == 0 || rate < 1 || rate > 655350 || !sf_format_check(&info)) {
        return SoundWriteError::bad_format;
    }
    if (!open_output(writer.out, name)) return SoundWriteError::no_create;
    writer.stage = nullptr;
    if (!seek_stream(writer.out.stream, 0, SEEK_CUR)) {
        writer.stage = std::tmpfile();
        if (writer.stage == nullptr) {
            discard_output(writer.out);
            return SoundWriteError::no_create;
        }
    }
    static SF_VIRTUAL_IO calls{output_length, output_seek, output_read, output_write, output_tell};
    silence_error_stream();
    writer.sound = sf_open_virtual(&calls, SFM_WRITE, &info, &writer);
    restore_error_stream();
    if (writer.sound == nullptr) {
        close_stage(writer);
        discard_output(writer.out);
        return SoundWriteError::failed;
    }
    return SoundWriteError::none;
}

bool write_sound_samples(SoundWriter& writer, const double* samples, std::size_t count) {
    int block[block_samples];
    silence_error_stream();
    while (count > 0 && !writer.failed) {
        const std::size_t n = count < block_samples ? count : block_samples;
        for (std::size_t i = 0; i < n; ++i)
            block[i] = stored_sample(samples[i], writer.bits);
        if (sf_write_int(writer.sound, block, static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n)) {
            writer.failed = true;
        }
        samples += n;
        count -= n;
    }
    restore_error_stream();
    return !writer.failed;
}

SoundWriteError close_sound_writer(SoundWriter& writer) {
    if (writer.sound == nullptr) return SoundWriteError::failed;
    bool ok = !writer.failed && sf_error(writer.sound) == SF_ERR_NO_ERROR;
    silence_error_stream();
    if (sf_close(writer.sound) != 0) ok = false;
    restore_error_stream();
    writer.sound = nullptr;
    ok = ok && !writer.failed; // the encoder's last writes happen inside the close
    if (ok && writer.stage != nullptr) ok = copy_stage(writer);
    close_stage(writer);
    if (!ok) {
        discard_output(writer.out);
        return SoundWriteError::failed;
    }
    return commit_output(writer.out) ? SoundWriteError::none : SoundWriteError::failed;
}

void discard_sound_writer(SoundWriter& writer) {
    if (writer.sound != nullptr) {
        silence_error_stream();
        sf_close(writer.sound);
        restore_error_stream();
    }
    writer.sound = nullptr;
    close_stage(writer);
    discard_output(writer.out);
}
