// What the tests share: a scratch directory per test, running an executable with its output
// captured, and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// A fresh directory under the system's temporary directory, removed with everything in it
/// when the object goes away.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    /// The path of a name inside the directory.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

struct RunResult {
    int status = -1;     // exit status, or 128 + signal number when a signal ended it
    std::string out;     // everything written to standard output
    std::string err;     // everything written to the standard error stream
};

/// Runs `program` with `args` (argument 0 is `program` itself) in the directory `cwd`, with
/// standard input from /dev/null unless `input` is given, and waits for it.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& cwd, const std::string* input = nullptr);

/// The converter, run in `cwd`; argument 0 is "zx81tape".
RunResult run_zx81tape(const std::vector<std::string>& args, const std::string& cwd);

std::vector<uint8_t> read_file(const std::string& path);
std::string read_text(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
void write_text(const std::string& path, const std::string& text);
bool exists(const std::string& path);
/// The names in a directory, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& path);
