#include "io/stage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// transform_file with a copy that upper-cases, one call per block recorded.
StageStatus copy_upper(const std::string& in, const std::string& out, std::size_t block,
                       std::vector<std::size_t>& sizes) {
    return transform_file(in, out, block, [&](uint8_t* data, std::size_t size, OutputFile& f) {
        sizes.push_back(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(data[i] & ~0x20);
        write_output(f, data, size);
    });
}

} // namespace

TEST(Stage, EveryBlockUpToTheFirstShortOneIsUsed) {
    ScratchDir dir;
    write_text(dir / "in", "abcdefgh");
    std::vector<std::size_t> sizes;
    EXPECT_EQ(copy_upper(dir / "in", dir / "out", 3, sizes), StageStatus::done);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 3, 2}));
    EXPECT_EQ(read_text(dir / "out"), "ABCDEFGH");

    // A last block that comes back empty is handed on too.
    sizes.clear();
    EXPECT_EQ(copy_upper(dir / "in", dir / "out", 4, sizes), StageStatus::done);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{4, 4, 0}));
}

TEST(Stage, EachFailureHasItsStatusAndLeavesTheOutputAsItWas) {
    ScratchDir dir;
    write_text(dir / "in", "abc");
    write_text(dir / "out", "old");
    std::vector<std::size_t> sizes;
    EXPECT_EQ(copy_upper(dir / "missing", dir / "out", 4, sizes), StageStatus::unreadable);
    EXPECT_EQ(copy_upper(dir.path(), dir / "out", 4, sizes), StageStatus::unreadable);
    EXPECT_EQ(copy_upper(dir / "in", dir / "no/out", 4, sizes), StageStatus::cannot_create);
    EXPECT_EQ(copy_upper(dir / "in", "/dev/full", 4, sizes), StageStatus::cannot_write);
    EXPECT_EQ(read_text(dir / "out"), "old");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"in", "out"}));

    const StageStatus failed = for_each_block(
        4, [](uint8_t*, std::size_t, std::size_t& got) { return got = 0, false; },
        [](uint8_t*, std::size_t) { ADD_FAILURE() << "nothing was read"; });
    EXPECT_EQ(failed, StageStatus::unreadable);
}
