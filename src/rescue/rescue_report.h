// The reports of a zx81rescue run: lines for people on stdout, and JSON for programs.
//
// The human report, per recording:
//
//   tape.wav: 44100 Hz, 2 channels, 03:12.480
//     00:05.120-00:16.904  intact      335 bytes  HELLO -> HELLO.p (2 takes)
//         take 1: 00:05.120-00:16.904, left channel, intact
//         take 2: 00:05.120-00:16.904, right channel, intact
//     00:21.002-01:10.377  damaged    4096 bytes  GAME -> GAME.p (right channel)
//         00:33.117 (sample 1460454), offset 0x01F3: bit 5 unclear (6 pulses), read as 1
//         zx81scope --from 926190 --to 3103626 tape.wav shows it
//     01:15.000-01:16.250  not a program: 412 bursts ...
//   tape.wav: 2 programs, 1 intact, 0 repaired, 1 damaged; 1 block that is not a program
//
// A program of several takes lists them (where each lay, what it was alone) and then every
// decision (where, in each take, and how it was decided) before its findings. A merge of
// several recordings (--merge) gives each recording's first line, then its programs once,
// under "merge of N recordings:", and a closing line for the merge.
//
// The JSON report is described in the README (section zx81rescue).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recover/recording_decoder.h"
#include "recover/recovered_program.h"
#include "rescue/program_files.h"

/// A program as reported: everything but its bits, and where its files went.
struct ReportedProgram {
    RecoveredProgram program; // `bits` and `bytes` emptied once the files are written
    std::size_t bytes = 0;    // the P file's length
    ProgramFilesResult files;
    int recording = 0; // the recording it lies on (its first take's), in the run
};

struct RecordingReport {
    std::string name; // as given on the command line
    RecordingInfo info;
    std::vector<ReportedProgram> programs; // in order, blocks that are not programs included
                                           // (in a merge: none, the merge has them)
    std::size_t takes = 0;                 // programs heard on it, before any merge
};

/// The time of `frame` as mm:ss.sss (minutes go on past 59).
std::string clock_text(int64_t frame, int rate);

/// A merge of the run's recordings as takes of one tape (--merge).
struct MergeReport {
    bool merged = false;                   // --merge was given
    std::string refusal;                   // why the recordings were not merged, or empty
    std::vector<ReportedProgram> programs; // in order, every recording's blocks included
};

/// The first line of a recording's report, ending in a line feed.
std::string recording_line(const RecordingReport& report);

/// The human report of one recording, every line ending in a line feed. `reports` are the
/// run's recordings, which the takes of its programs name.
std::string human_report(const RecordingReport& report,
                         const std::vector<RecordingReport>& reports);

/// The human report of a merge, after each recording's first line.
std::string human_merge_report(const MergeReport& merge,
                               const std::vector<RecordingReport>& reports);

/// The JSON report of a whole run.
std::string json_report(const std::vector<RecordingReport>& reports, const MergeReport& merge,
                        int status);

/// True when a program (or block) makes the run's status 1: damaged, or its file could not be
/// written.
bool program_failed(const ReportedProgram& entry);

/// True when the recording makes the run's status 1: it failed, holds no program, or holds a
/// damaged program or one whose file could not be written.
bool recording_failed(const RecordingReport& report);
