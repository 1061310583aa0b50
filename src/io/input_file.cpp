#include "io/input_file.h"

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::string& name) {
    close();
    stream_ = std::fopen(name.c_str(), "rb");
    return stream_ != nullptr;
}

bool InputFile::read(void* block, std::size_t capacity, std::size_t& got) {
    got = std::fread(block, 1, capacity, stream_);
    return std::ferror(stream_) == 0;
}

void InputFile::close() {
    if (stream_ != nullptr) std::fclose(stream_); // read only: nothing to lose at close
    stream_ = nullptr;
}
