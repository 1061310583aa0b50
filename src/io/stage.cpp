#include "io/stage.h"

#include <memory>
#include <new>

#include "io/input_file.h"

StageStatus for_each_block(std::size_t block_size, const BlockReader& read, const BlockUser& use) {
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_size]);
    if (!block) return StageStatus::no_memory;
    std::size_t got = 0;
    do {
        if (!read(block.get(), block_size, got)) return StageStatus::unreadable;
        use(block.get(), got);
    } while (got == block_size);
    return StageStatus::done;
}

StageStatus transform_file(const std::string& input_name, const std::string& output_name,
                           std::size_t block_size, const BlockTransform& transform) {
    InputFile in;
    if (!in.open(input_name)) return StageStatus::unreadable;
    OutputFile out;
    if (!open_output(out, output_name)) return StageStatus::cannot_create;
    const StageStatus status = for_each_block(
        block_size,
        [&](uint8_t* block, std::size_t capacity, std::size_t& got) {
            return in.read(block, capacity, got);
        },
        [&](uint8_t* block, std::size_t size) { transform(block, size, out); });
    if (status != StageStatus::done) return status;
    in.close();
    return commit_output(out) ? StageStatus::done : StageStatus::cannot_write;
}
