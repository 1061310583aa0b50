// The few calls that depend on the operating system: file status, identity, removal,
// renaming and temporary files. Everything else in the converter uses the standard library,
// so a port to another system replaces this file alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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

/// The name of the temporary file that stands for `final_name` until it is complete: in the
/// same directory, `.BASE.tmp-XXXXXX` with the X's for `mkstemp`. BASE is the final name's last
/// component, cut short where needed so that the whole component stays within `name_max`
/// characters (the file system's limit), so that a temporary name fits wherever the final
/// name fits. A cut never splits a UTF-8 sequence.
std::string temp_name_pattern(const std::string& final_name, std::size_t name_max);

/// Creates a new, empty file beside `final_name` with a unique name and opens it for writing
/// in binary mode. Its permissions are those `final_name` has, or those a new file gets. The
/// file is registered for removal on a signal before any signal can arrive (`slot` receives the
/// registration, -1 when none was free). Returns nullptr when it cannot be created; otherwise
/// `temp_name` holds its name.
std::FILE* create_temp_beside(const std::string& final_name, std::string& temp_name, int& slot);

/// Sets the handler for SIGINT, SIGTERM and SIGHUP: it removes every registered temporary file
/// and ends the process as the signal would.
void install_signal_cleanup();

/// Registers a temporary file to remove when the process is interrupted. Returns its slot, or
/// -1 when the name is too long for the handler's buffer or every slot is taken (a few files at
/// a time: one per output being written). Safe to call from several threads.
int register_pending_temp(const std::string& name);

/// Ends a registration made by `register_pending_temp`; -1 is ignored.
void clear_pending_temp(int slot);

/// Sends the process's standard error stream to /dev/null until `restore_error_stream`, for
/// the calls of a library that writes its own notes there. Nested calls are counted; safe to
/// call from several threads (the stream stays silent while any caller needs it so).
void silence_error_stream();

/// Gives the standard error stream back once every `silence_error_stream` has been matched.
void restore_error_stream();

/// A function running on a thread of its own, so that reading and writing files can go on
/// while the calling thread computes.
class BackgroundTask {
  public:
    BackgroundTask();
    ~BackgroundTask(); ///< waits for the function to return
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    /// Starts `task` on a new thread; false when no thread could be started (nothing runs).
    bool start(std::function<void()> task);

    /// Waits until the function has returned; nothing happens when it was never started.
    void wait();

  private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};

/// True when the stream is a terminal (a person is watching it).
bool stream_is_terminal(std::FILE* stream);

/// Creates a directory (one level); true when it was created or already is a directory.
bool make_directory(const std::string& name);
