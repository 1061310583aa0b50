// The settings of a zx81synth run: one record, filled from the command line and only read
// afterwards. Every impairment is off by default; levels are in steps of the 8-bit scale
// (silence at 128), whatever the output's sample size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "sound/sound_writer.h"

/// The wave of one pulse.
enum class PulseShape {
    square, ///< 150 us high, 150 us low, sharp edges
    sine,   ///< one cycle of a sine wave
    tape,   ///< band-limited: rounded, overshooting, ringing into the pause
};

struct SynthSettings {
    std::string program_name;   // PROGRAM: a P file (plain bytes), a .p81 or a .tzx file
    std::string output_name;    // OUTPUT; .wav, .flac, .aif, .aiff give a sound file
    std::string tape_name;      // --name as typed; empty: made from the program's file name
    bool sound_file = false;    // OUTPUT names a sound file (else raw samples)
    SoundFileType sound_type = SoundFileType::wav; // and its type, by the extension
    int rate = 22050;           // --rate: samples per second
    int bits = 8;               // --bits: 8, 16 or 24 bits per sample (8 only in raw samples)
    double gap_ms = 5000.0;     // --gap: silence between two programs of a container
    int amplitude = 100;        // --amplitude: peak distance from silence, 1 to 127
    bool invert = false;        // --invert: the recording upside down
    double dc = 0.0;            // --dc: offset added to every sample
    double noise = 0.0;         // --noise LEVEL: RMS of white Gaussian noise
    double noise_snr_db = 0.0;  // --noise NNdB: the noise as amplitude over RMS, in dB
    bool noise_is_snr = false;  // the noise was given in dB
    double hum = 0.0;           // --hum LEVEL[,HZ]: peak of the mains hum
    double hum_hz = 50.0;       //   and its frequency
    double speed = 1.0;         // --speed: tape speed at playback over speed when saved
    double wow_depth = 0.0;     // --wow DEPTH[,HZ]: peak speed deviation, a fraction of speed
    double wow_hz = 0.5;        //   and how often it swings per second
    double fade = 0.0;          // --fade: part of the amplitude lost by the end, 0 to 1
    PulseShape shape = PulseShape::square; // --shape
    double lead_ms = 0.0;       // --lead: silence before the name
    double trail_ms = 0.0;      // --trail: silence after the last bit
    double dropout_at_ms = 0.0; // --dropout AT,LENGTH[,LEVEL]: where it starts (playback ms)
    double dropout_ms = 0.0;    //   how long it lasts; 0 is no dropout
    double dropout_level = 0.05; //  the part of the signal that is left during it
    uint64_t seed = 1;          // --seed: the noise's random sequence
};

/// Fills `settings` from the arguments (argument 0 is the program's name), by the convention
/// of the newer tools (cmdline/command_line.h): options before, between or after the two file
/// names, as `--opt VALUE` or `--opt=VALUE`; "--" ends them. On a usage error `message` holds
/// one line without a line break.
ToolCommand parse_synth_options(int argc, char** argv, SynthSettings& settings,
                                std::string& message);

/// Reads a decimal number (an optional sign, digits, a fraction, an exponent) that fills
/// `text` entirely. False for anything else, including an empty text, inf and nan.
bool parse_number(const std::string& text, double& value);

/// The fields of "a,b,c" split at its commas: "" gives one empty field, "a," gives "a" and "".
std::vector<std::string> split_fields(const std::string& text);
