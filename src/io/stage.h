// The plumbing every step of a conversion shares: one input read a block at a time, each
// block used, one output written under a temporary name and put in place only when complete.
//
//   open the input ---- open the output ---- blocks: read, use, write ---- commit
//        |                    |                      |                     |
//    unreadable         cannot_create        unreadable, no_memory    cannot_write
//
// A step that stops leaves the output's final name as it was (see io/output_file.h). The
// statuses are values; the tool turns them into its messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "io/output_file.h"

/// How a step ended.
enum class StageStatus {
    done,
    unreadable,    ///< the input cannot be opened, or a read failed
    no_memory,     ///< a buffer could not be allocated
    cannot_create, ///< the output cannot be created
    cannot_write,  ///< a write, the flush, the close or the renaming of the output failed
};

/// Fills `block` with up to `capacity` bytes and sets `got`; fewer only at the end. False
/// after a read error.
using BlockReader = std::function<bool(uint8_t* block, std::size_t capacity, std::size_t& got)>;

/// Uses one block of `size` bytes (it may change them).
using BlockUser = std::function<void(uint8_t* block, std::size_t size)>;

/// Reads blocks of `block_size` bytes through `read` and hands each to `use`, until a block
/// comes back short: that last one, which may be empty, is handed on too.
StageStatus for_each_block(std::size_t block_size, const BlockReader& read, const BlockUser& use);

/// Uses one block of `size` bytes and writes what it makes to `out`.
using BlockTransform = std::function<void(uint8_t* block, std::size_t size, OutputFile& out)>;

/// The whole step from one file to another: opens `input_name` and `output_name`, hands every
/// block of the input to `transform`, and commits the output.
StageStatus transform_file(const std::string& input_name, const std::string& output_name,
                           std::size_t block_size, const BlockTransform& transform);
