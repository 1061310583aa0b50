// An output file that never appears half-written under its final name.
//
// A regular file (or a name that does not exist yet) is written under a temporary name in the
// same directory and renamed over the final name only when it is complete, so that a failed,
// interrupted or killed run leaves either the old file or the new one, never a fragment that a
// later run would reuse. Any other kind of name (a device such as /dev/null, a FIFO) is opened
// and written directly: renaming over it would destroy the node.
//
// An output that goes out of scope without `commit_output` is discarded: every early return
// of a stage leaves the final name as it was.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct OutputFile {
    std::string final_name;   // the name the user sees in every message
    std::string target_name;  // the file the final name stands for, links resolved
    std::string temp_name;    // where the bytes go until commit; empty when written directly
    std::FILE* stream = nullptr;
    bool write_failed = false; // a write came back short; reported at commit
    int pending_slot = -1;     // the temporary file's registration for removal on a signal

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    /// Discards the file unless it was committed.
    ~OutputFile();
};

/// Opens `name` for writing in binary mode (discarding what `out` held). False when it cannot
/// be created: a missing directory, a directory of that name, an empty name, an existing file
/// that may not be written. Nothing of that name is changed then.
bool open_output(OutputFile& out, const std::string& name);

/// Writes `size` bytes; a failure is remembered and reported by `commit_output`.
void write_output(OutputFile& out, const void* data, std::size_t size);

/// Flushes and closes the file and puts it under its final name. False when any write, the
/// flush, the close or the rename failed; the temporary file is removed then.
bool commit_output(OutputFile& out);

/// Closes the file and removes the temporary file, leaving the final name as it was.
void discard_output(OutputFile& out);
