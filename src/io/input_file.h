// An input file read a block at a time, closed when it goes out of scope.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    /// Opens `name` for reading in binary mode (closing what was open); false when it cannot.
    bool open(const std::string& name);

    /// Reads up to `capacity` bytes into `block`; `got` says how many. Fewer come only at the
    /// end of the file (a FIFO or device is waited for). False after a read error.
    bool read(void* block, std::size_t capacity, std::size_t& got);

    void close();

  private:
    std::FILE* stream_ = nullptr;
};
