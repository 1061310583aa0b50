// Writing samples to a sound file through libsndfile: WAV, FLAC or AIFF, mono, 8, 16 or 24
// bits a sample, the type chosen by the output's extension.
//
//   extension (any case)   file          8-bit samples     16 and 24-bit samples
//   .wav                   RIFF WAVE     unsigned PCM      signed little-endian PCM
//   .flac                  FLAC          signed            signed
//   .aif, .aiff            AIFF          signed PCM        signed big-endian PCM
//
// A sample is a double at full scale 1.0; at B bits it is stored as nearbyint(x * 2^(B-1)),
// held within the B-bit signed range (8-bit WAV adds 128). So a 16-bit sample is 256 times a
// value on the 8-bit scale, exactly as the tools' own writers round it.
//
// The file is written block by block under a temporary name beside the output and renamed when
// complete (see io/output_file.h). libsndfile goes back to the header at the end to write the
// sizes, so an output that cannot seek (a FIFO, a pipe, a terminal) is staged in an anonymous
// temporary file and copied out at the close. Every write and the close are checked, and whatever
// libsndfile or its codec would write on the error stream is kept off it (see
// `silence_error_stream`): a failure is the writer's result, and the tool says it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <sndfile.h>

#include "io/output_file.h"

enum class SoundFileType { wav, flac, aiff };

/// The type an output's name asks for by its extension. False for any other name.
bool sound_file_type_of(const std::string& name, SoundFileType& type);

/// The libsndfile format of a type at `bits` (8, 16 or 24) per sample; 0 for other bits.
int sound_file_format(SoundFileType type, int bits);

/// "WAV", "FLAC" or "AIFF", for messages.
const char* sound_file_type_name(SoundFileType type);

/// False when a file of the type cannot hold `samples` mono samples of `bits` bits: the sizes
/// in WAV and AIFF headers are 32-bit (a WAV file's RIFF size counts its 36 bytes of header
/// after the size field, the data and the pad byte of an odd data size; an AIFF file's FORM
/// size leaves room for its header chunks). FLAC counts its samples in 36 bits.
bool sound_file_holds(SoundFileType type, int bits, int64_t samples);

/// Why a sound file could not be written.
enum class SoundWriteError {
    none,
    bad_format, ///< the type cannot hold these bits or this rate
    no_create,  ///< the file cannot be created (see `open_output`)
    failed,     ///< a write, the encoder, the close or the rename failed
};

/// An output sound file being written. libsndfile keeps its address: it must stay in place
/// from the open to the close.
struct SoundWriter {
    OutputFile out;           // the file the bytes go to
    std::FILE* stage = nullptr; // for an `out` that cannot seek: the bytes until the close
    SNDFILE* sound = nullptr; // libsndfile's encoder writing into `out` (or `stage`)
    int bits = 16;            // bits per stored sample
    bool failed = false;      // a write came back short; reported at the close
};

/// Creates `name` as a mono sound file of `type`, `rate` samples a second (1 to 655350) and
/// `bits` (8, 16 or 24) per sample.
SoundWriteError open_sound_writer(SoundWriter& writer, const std::string& name, SoundFileType type,
                                  int rate, int bits);

/// Appends `count` samples. A failure is remembered and reported by `close_sound_writer`; the
/// result says whether everything so far went well, so that a long run can stop early.
bool write_sound_samples(SoundWriter& writer, const double* samples, std::size_t count);

/// Finishes the file and puts it under its name. `failed` when any write, the encoder's end,
/// the close or the rename failed; the temporary file is removed then and the name keeps what
/// it held.
SoundWriteError close_sound_writer(SoundWriter& writer);

/// Abandons the file, leaving the name as it was.
void discard_sound_writer(SoundWriter& writer);
