// The few calls that depend on the operating system: file status, identity, removal,
// renaming and temporary files. Everything else in the converter uses the standard library,
// so a port to another system replaces this file alone.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

/// What a status query says about a name.
enum class FileKind {
    missing,   ///< nothing of that name, or the query failed
    regular,   ///< a regular file (a symbolic link is followed)
    directory, ///< a directory
    other,     ///< a device, a FIFO, a socket
};

/// Follows symbolic links; a dangling link is `missing`.
FileKind file_kind(const std::string& name);

/// True when the name exists (a status query on it succeeds).
bool file_exists(const std::string& name);

/// True when both names exist and are the same file, however they are spelled.
bool same_file(const std::string& a, const std::string& b);

/// True when the existing file may be opened for writing (it is not truncated).
bool file_writable(const std::string& name);

/// The name with every symbolic link resolved, or the name itself when it cannot be resolved.
std::string resolved_name(const std::string& name);

/// Moves the position of an open stream, as fseek does but with 64-bit offsets. False on
/// failure.
bool seek_stream(std::FILE* stream, int64_t offset, int whence);

/// The position of an open stream in bytes, or -1.
int64_t stream_position(std::FILE* stream);

/// Removes a file; false when it could not be removed.
bool remove_file(const std::string& name);

/// Replaces `to` by `from` in one step; false on failure.
bool rename_file(const std::string& from, const std::string& to);

/// Creates a new, empty file beside `final_name` with a unique name and opens it for writing
/// in binary mode. Its permissions are those `final_name` has, or those a new file gets.
/// Returns nullptr when it cannot be created; otherwise `temp_name` holds its name.
std::FILE* create_temp_beside(const std::string& final_name, std::string& temp_name);

/// Calls `remove_on_signal` for SIGINT, SIGTERM and SIGHUP: the handler removes the file
/// named by `pending_temp_name()` and ends the process as the signal would.
void install_signal_cleanup();

/// The temporary file to remove when the process is interrupted; empty clears it.
void set_pending_temp(const std::string& name);

/// True when the stream is a terminal (a person is watching it).
bool stream_is_terminal(std::FILE* stream);

/// Creates a directory (one level); true when it was created or already is a directory.
bool make_directory(const std::string& name);
