// What the reliability tests of the converter share: a recording to convert, a small file
// system that fills up, and a converter that runs in the background so that it can be
// interrupted.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

/// The ZX81 codes of the name "test", the last one marked.
const std::vector<uint8_t>& test_name_codes();

/// A short program: 40 bytes, 0 to 39.
const std::vector<uint8_t>& test_program();

/// The recording of `test_program()` saved as "test", at 22050 samples a second.
std::vector<uint8_t> test_recording();

/// A tmpfs of `bytes` bytes mounted on an existing directory for the life of the object.
/// `mounted()` is false when this process may not mount (the test is then skipped).
class TmpfsMount {
  public:
    TmpfsMount(const std::string& directory, std::size_t bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    /// Makes the file system read-only; false when that fails.
    bool make_read_only();

  private:
    std::string directory_;
    bool mounted_ = false;
};

/// Starts the converter in `cwd` with standard output and standard error going to the files
/// `log_prefix` + ".out" and ".err"; returns its process id.
pid_t start_zx81tape(const std::vector<std::string>& args, const std::string& cwd,
                     const std::string& log_prefix);

/// Waits for the process and returns its exit status, or 128 + the signal that ended it.
int wait_for(pid_t pid);

/// The temporary files of the converter's outputs (".NAME.tmp-XXXXXX") in a directory.
std::vector<std::string> temp_files(const std::string& directory);

/// Waits up to ten seconds until `predicate` holds; false when it never did.
template <typename Predicate> bool eventually(Predicate predicate);

/// Opens a FIFO for writing once a reader has opened it (waiting up to ten seconds, so that a
/// reader that never comes fails the test instead of hanging it); -1 when none came.
int open_fifo_writer(const std::string& path);

#include <chrono>
#include <thread>

template <typename Predicate> bool eventually(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return predicate();
}
