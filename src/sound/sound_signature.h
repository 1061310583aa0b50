// Which files are sound files: those that begin with the signature of a container format that
// has a real header. Everything else is raw samples, byte for byte, whatever its name, so that
// a raw recording is never guessed away.
//
//   offset  0        4        8        12
//   RIFF/RIFX/RF64   size     "WAVE"              WAV, big-endian WAV, RF64
//   "FORM"           size     "AIFF" or "AIFC"    AIFF
//   "fLaC"                                        FLAC
//   "OggS"                                        Ogg (Vorbis, Opus, FLAC)
//   "caff"                                        Core Audio
//   ".snd"                                        Sun/NeXT audio
//   the "riff" GUID (16 bytes), size (8), the "wave" GUID at 24       Wave64
//   "ID3"                                         MP3 behind an ID3v2 tag
//   three MPEG audio frame headers, each where the previous frame's length puts it:   MP3
//
// An MPEG audio frame header is 32 bits:
//
//   AAAAAAAA AAABBCCD EEEEFFGH IIJJKLMM     A sync (all 1)   B version   C layer
//                                           E bitrate index  F sample-rate index  G padding
//
// A raw recording that starts clipped at full level begins with 0xFF bytes and can look like
// one header; three that chain do not happen by chance.
#pragma once

#include <cstddef>
#include <cstdint>

/// How many bytes at the start of a file `has_sound_signature` looks at, at most.
constexpr std::size_t sound_signature_bytes = 8192;

/// True when the `size` bytes at the start of a file (all of it when it is shorter than
/// `sound_signature_bytes`) begin with one of the signatures above.
bool has_sound_signature(const uint8_t* head, std::size_t size);

/// The length in bytes of the MPEG audio frame whose header is at `header` (4 bytes), or 0
/// when those bytes are not a header with a length (bad sync, reserved version, layer, rate,
/// or a free or bad bitrate).
std::size_t mpeg_frame_length(const uint8_t* header);
