#include "io/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "io/platform.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> temps_in(const std::string& dir) {
    std::vector<std::string> temps;
    for (const std::string& name : list_dir(dir)) {
        if (name.find(".tmp-") != std::string::npos) temps.push_back(name);
    }
    return temps;
}

mode_t mode_of(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST(OutputFile, NewFileAppearsOnlyAtCommit) {
    ScratchDir dir;
    OutputFile out;
    ASSERT_TRUE(open_output(out, dir / "new.p"));
    write_output(out, "abc", 3);
    EXPECT_FALSE(exists(dir / "new.p"));
    EXPECT_EQ(temps_in(dir.path()).size(), 1u);
    EXPECT_EQ(temps_in(dir.path())[0].rfind(".new.p.tmp-", 0), 0u);
    ASSERT_TRUE(commit_output(out));
    EXPECT_EQ(read_text(dir / "new.p"), "abc");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"new.p"});
}

TEST(OutputFile, ExistingFileIsReplacedWholeAndKeepsItsPermissions) {
    ScratchDir dir;
    write_text(dir / "old.p", "the old contents, longer than the new");
    chmod((dir / "old.p").c_str(), 0640);
    OutputFile out;
    ASSERT_TRUE(open_output(out, dir / "old.p"));
    write_output(out, "new", 3);
    EXPECT_EQ(read_text(dir / "old.p"), "the old contents, longer than the new");
    ASSERT_TRUE(commit_output(out));
    EXPECT_EQ(read_text(dir / "old.p"), "new");
    EXPECT_EQ(mode_of(dir / "old.p"), 0640u);
}

TEST(OutputFile, NewFileGetsTheUsualPermissions) {
    ScratchDir dir;
    const mode_t mask = umask(022);
    OutputFile out;
    ASSERT_TRUE(open_output(out, dir / "new.p"));
    ASSERT_TRUE(commit_output(out));
    umask(mask);
    EXPECT_EQ(mode_of(dir / "new.p"), 0644u);
}

TEST(OutputFile, DiscardLeavesTheOldFileAndNoTemporary) {
    ScratchDir dir;
    write_text(dir / "old.p", "old");
    OutputFile out;
    ASSERT_TRUE(open_output(out, dir / "old.p"));
    write_output(out, "new", 3);
    discard_output(out);
    EXPECT_EQ(read_text(dir / "old.p"), "old");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"old.p"});
}

TEST(OutputFile, LeavingScopeUncommittedDiscardsAndOpeningAgainDiscardsTheFirst) {
    ScratchDir dir;
    write_text(dir / "old.p", "old");
    {
        OutputFile out;
        ASSERT_TRUE(open_output(out, dir / "old.p"));
        write_output(out, "new", 3);
        ASSERT_TRUE(open_output(out, dir / "other.p"));
        EXPECT_EQ(temps_in(dir.path()).size(), 1u);
    }
    EXPECT_EQ(read_text(dir / "old.p"), "old");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"old.p"});
}

TEST(OutputFile, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    ScratchDir dir;
    mkdir((dir / "real").c_str(), 0755);
    write_text(dir / "real/prog.p", "old");
    ASSERT_EQ(symlink("real/prog.p", (dir / "link.p").c_str()), 0);
    OutputFile out;
    ASSERT_TRUE(open_output(out, dir / "link.p"));
    write_output(out, "new", 3);
    ASSERT_TRUE(commit_output(out));
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.p").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(read_text(dir / "real/prog.p"), "new");
    EXPECT_EQ(list_dir(dir / "real"), std::vector<std::string>{"prog.p"});
}

TEST(OutputFile, DevicesAreWrittenDirectly) {
    OutputFile out;
    ASSERT_TRUE(open_output(out, "/dev/null"));
    EXPECT_TRUE(out.temp_name.empty());
    write_output(out, "abc", 3);
    EXPECT_TRUE(commit_output(out));
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(OutputFile, AFullDeviceFailsAtCommit) {
    OutputFile out;
    ASSERT_TRUE(open_output(out, "/dev/full"));
    write_output(out, "abc", 3);
    EXPECT_FALSE(commit_output(out));
}

TEST(OutputFile, ALargeWriteToAFullDeviceIsRemembered) {
    OutputFile out;
    ASSERT_TRUE(open_output(out, "/dev/full"));
    const std::string big(1 << 20, 'x');
    write_output(out, big.data(), big.size());
    EXPECT_TRUE(out.write_failed);
    EXPECT_FALSE(commit_output(out));
}

TEST(OutputFile, NamesThatCannotBeCreated) {
    ScratchDir dir;
    mkdir((dir / "sub").c_str(), 0755);
    for (const std::string& name : {std::string(), dir / "sub", dir / "sub/", dir / "missing/x.p",
                                    dir / "new/", dir / std::string(300, 'n')}) {
        OutputFile out;
        EXPECT_FALSE(open_output(out, name)) << name;
        EXPECT_EQ(out.stream, nullptr) << name;
    }
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"sub"});
    EXPECT_EQ(list_dir(dir / "sub"), std::vector<std::string>{});
}

TEST(Platform, SameFileHoweverItIsSpelled) {
    ScratchDir dir;
    write_text(dir / "a", "x");
    write_text(dir / "other", "x");
    mkdir((dir / "sub").c_str(), 0755);
    ASSERT_EQ(link((dir / "a").c_str(), (dir / "hard").c_str()), 0);
    ASSERT_EQ(symlink("a", (dir / "soft").c_str()), 0);
    EXPECT_TRUE(same_file(dir / "a", dir / "a"));
    EXPECT_TRUE(same_file(dir / "a", dir / "hard"));
    EXPECT_TRUE(same_file(dir / "a", dir / "soft"));
    EXPECT_TRUE(same_file(dir / "a", dir / "sub/../a"));
    EXPECT_FALSE(same_file(dir / "a", dir / "other"));
    EXPECT_FALSE(same_file(dir / "a", dir / "missing"));
    EXPECT_FALSE(same_file(dir / "missing", dir / "missing2"));
    EXPECT_TRUE(same_file("", "")); // the same name: identical, whether it exists or not
}

TEST(Platform, FileKinds) {
    ScratchDir dir;
    write_text(dir / "file", "x");
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    EXPECT_EQ(file_kind(dir / "file"), FileKind::regular);
    EXPECT_EQ(file_kind(dir.path()), FileKind::directory);
    EXPECT_EQ(file_kind("/dev/null"), FileKind::other);
    EXPECT_EQ(file_kind(dir / "dangling"), FileKind::missing);
    EXPECT_EQ(file_kind(dir / "missing"), FileKind::missing);
}

namespace {

// The handler runs in a child, which the signal ends.
int raise_in_child(const std::string& pending, int signal_number) {
    const pid_t pid = fork();
    if (pid == 0) {
        install_signal_cleanup();
        register_pending_temp(pending);
        raise(signal_number);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

} // namespace

TEST(Platform, ASignalRemovesThePendingTemporaryFileAndEndsTheProcess) {
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        ScratchDir dir;
        write_text(dir / ".x.tmp-123456", "partial");
        write_text(dir / "other", "kept");
        EXPECT_EQ(raise_in_child(dir / ".x.tmp-123456", signal_number), signal_number);
        EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"other"});
    }
}

TEST(Platform, NoPendingFileAfterItWasCleared) {
    ScratchDir dir;
    write_text(dir / "done", "complete");
    const pid_t pid = fork();
    if (pid == 0) {
        install_signal_cleanup();
        clear_pending_temp(register_pending_temp(dir / "done"));
        EXPECT_EQ(register_pending_temp(std::string(5000, 'x')), -1); // too long for the handler
        raise(SIGTERM);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"done"});
}

TEST(TempNamePattern, FitsWhereverTheFinalNameFits) {
    EXPECT_EQ(temp_name_pattern("dir/tape.war", 255), "dir/.tape.war.tmp-XXXXXX");
    for (std::size_t length : {240u, 243u, 244u, 250u, 255u}) {
        const std::string pattern = temp_name_pattern("d/" + std::string(length, 'n'), 255);
        EXPECT_EQ(pattern.size() - 2, std::min<std::size_t>(length + 12, 255)) << length;
        EXPECT_EQ(pattern.compare(0, 3, "d/."), 0);
    }
    // A two-byte character that the cut would split is left out whole.
    const std::string accented = std::string(242, 'a') + "\xC3\xA9" + "xyz";
    EXPECT_EQ(temp_name_pattern(accented, 255), "." + std::string(242, 'a') + ".tmp-XXXXXX");
}

TEST(OutputFile, ALongButValidNameIsWrittenAndLeavesNoTemporary) {
    ScratchDir dir;
    for (std::size_t length : {250u, 255u}) {
        const std::string name = dir / std::string(length, 'L');
        OutputFile out;
        ASSERT_TRUE(open_output(out, name)) << length;
        write_output(out, "abc", 3);
        ASSERT_TRUE(commit_output(out)) << length;
        EXPECT_EQ(read_text(name), "abc");
    }
    EXPECT_TRUE(temps_in(dir.path()).empty());
}
