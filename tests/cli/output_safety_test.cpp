// The converter's outputs under failure: a full disk, an output that cannot be created, an
// interrupted or killed run, a P name that is another file of the run. In every case the
// status is 1 (or the signal's), the message is the converter's own, and no file appears
// half-written under a final name.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "reliability_support.h"
#include "support/test_support.h"

namespace {

const std::string full_run_out = "... creating war file tape.war\n"
                                 "\nnplat = 19\n"
                                 "\nnplat = 19 n0=55 n1=88\n"
                                 "... creating bit file tape.bit\n"
                                 "pathbuf=[] ZxName=[test]\n"
                                 "... creating P file test.p\n";

// Everything in a directory, name and bytes, to compare before and after a run.
std::vector<std::pair<std::string, std::vector<uint8_t>>> snapshot(const std::string& dir) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const std::string& name : list_dir(dir)) {
        struct stat st;
        const std::string path = dir + "/" + name;
        std::vector<uint8_t> bytes;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) bytes = read_file(path);
        files.emplace_back(name, bytes);
    }
    return files;
}

std::size_t round_up_to_page(std::size_t bytes) {
    return (bytes + 4095) / 4096 * 4096;
}

} // namespace

// ---- A full disk ----------------------------------------------------------------------------

TEST(FullDisk, PFileOnDevFullIsAWriteError) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const RunResult r = run_zx81tape({"tape.raw", "-f/dev/full", "-p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't write file /dev/full \n");
    EXPECT_EQ(r.out.substr(r.out.rfind("...")), "... creating P file /dev/full\n");
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "/dev/full was replaced";
}

TEST(FullDisk, WarFileThatDoesNotFitIsAWriteErrorAndLeavesNothing) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    mkdir((dir / "small").c_str(), 0755);
    TmpfsMount small(dir / "small", 8192);
    if (!small.mounted()) GTEST_SKIP() << "this process may not mount a file system";
    // The input stays outside; a link to it names the outputs inside.
    ASSERT_EQ(symlink((dir / "tape.raw").c_str(), (dir / "small/tape.raw").c_str()), 0);

    const RunResult r = run_zx81tape({"small/tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "... creating war file small/tape.war\n\nnplat = 19\n\nnplat = 19 n0=55 n1=88\n");
    EXPECT_EQ(r.err, " *** error ***   Can't write file small/tape.war \n");
    EXPECT_EQ(list_dir(dir / "small"), std::vector<std::string>{"tape.raw"});
}

TEST(FullDisk, BitFileThatDoesNotFitIsAWriteErrorAndLeavesNothing) {
    ScratchDir dir;
    const std::vector<uint8_t> raw = test_recording();
    write_file(dir / "tape.raw", raw);
    mkdir((dir / "small").c_str(), 0755);
    // Room for the war file (one byte longer than the recording) and not a page more.
    TmpfsMount small(dir / "small", round_up_to_page(raw.size() + 1));
    if (!small.mounted()) GTEST_SKIP() << "this process may not mount a file system";
    ASSERT_EQ(symlink((dir / "tape.raw").c_str(), (dir / "small/tape.raw").c_str()), 0);

    const RunResult r = run_zx81tape({"small/tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't write file small/tape.bit \n");
    EXPECT_EQ(r.out.substr(r.out.rfind("...")), "... creating bit file small/tape.bit\n");
    EXPECT_EQ(list_dir(dir / "small"), (std::vector<std::string>{"tape.raw", "tape.war"}));
    EXPECT_EQ(read_file(dir / "small/tape.war").size(), raw.size() + 1);
}

TEST(FullDisk, PFileThatDoesNotFitKeepsTheOldPFile) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    mkdir((dir / "small").c_str(), 0755);
    TmpfsMount small(dir / "small", 4096);
    if (!small.mounted()) GTEST_SKIP() << "this process may not mount a file system";
    write_text(dir / "small/prog.p", std::string(4096, 'x')); // the old P file fills it

    const RunResult r = run_zx81tape({"tape.raw", "-fsmall/prog.p", "-p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't write file small/prog.p \n");
    EXPECT_EQ(list_dir(dir / "small"), std::vector<std::string>{"prog.p"});
    EXPECT_EQ(read_text(dir / "small/prog.p"), std::string(4096, 'x'));
}

// ---- Outputs that cannot be created ---------------------------------------------------------

struct CannotCreate {
    const char* what;
    std::vector<std::string> options;
    std::string err;
};

TEST(CannotCreate, PFileMessagesAndStatusAreTheConverters) {
    const CannotCreate cases[] = {
        {"missing directory",
         {"-fnodir/prog.p"},
         " *** error ***   Can't open output file nodir/prog.p \n"},
        {"a directory of that name",
         {"-fsubdir", "-p"},
         " *** error ***   Can't open output file subdir \n"},
        {"a directory name with a slash",
         {"-fsubdir/", "-p"},
         " *** error ***   Can't open output file subdir/ \n"},
        {"a missing name ending in a slash",
         {"-fnew/"},
         " *** error ***   Can't open output file new/ \n"},
        {"an empty name after -f",
         {"-f"},
         "missing p-filename -f\n *** error ***   Can't open output file  \n"},
    };
    for (const CannotCreate& c : cases) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        mkdir((dir / "subdir").c_str(), 0755);
        std::vector<std::string> args{"tape.raw"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult r = run_zx81tape(args, dir.path());
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(list_dir(dir.path()),
                  (std::vector<std::string>{"subdir", "tape.bit", "tape.raw", "tape.war"}))
            << c.what;
        EXPECT_EQ(list_dir(dir / "subdir"), std::vector<std::string>{}) << c.what;
    }
}

TEST(CannotCreate, AWarFileInADirectoryThatMayNotBeWritten) {
    ScratchDir dir;
    mkdir((dir / "ro").c_str(), 0755);
    TmpfsMount ro(dir / "ro", 65536);
    if (!ro.mounted()) GTEST_SKIP() << "this process may not mount a file system";
    write_file(dir / "ro/tape.raw", test_recording());
    ASSERT_TRUE(ro.make_read_only());

    const RunResult r = run_zx81tape({"ro/tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "... creating war file ro/tape.war\n");
    EXPECT_EQ(r.err, " *** error ***   Can't open output file ro/tape.war \n");
    EXPECT_EQ(list_dir(dir / "ro"), std::vector<std::string>{"tape.raw"});
}

TEST(CannotCreate, AnExistingPFileThatMayNotBeWritten) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    mkdir((dir / "ro").c_str(), 0755);
    TmpfsMount ro(dir / "ro", 65536);
    if (!ro.mounted()) GTEST_SKIP() << "this process may not mount a file system";
    write_text(dir / "ro/prog.p", "old");
    ASSERT_TRUE(ro.make_read_only());

    const RunResult r = run_zx81tape({"tape.raw", "-fro/prog.p", "-p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't open output file ro/prog.p \n");
    EXPECT_EQ(read_text(dir / "ro/prog.p"), "old");
}

TEST(CannotCreate, AnExistingPFileWithoutWritePermission) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    write_text(dir / "prog.p", "old");
    chmod((dir / "prog.p").c_str(), 0444);
    const RunResult r = run_zx81tape({"tape.raw", "-fprog.p", "-p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " *** error ***   Can't open output file prog.p \n");
    EXPECT_EQ(read_text(dir / "prog.p"), "old");
}

// ---- Devices are written, never replaced ----------------------------------------------------

TEST(Devices, DevNullAsPNameIsWrittenDirectlyAndStaysADevice) {
    struct stat before, after;
    ASSERT_EQ(stat("/dev/null", &before), 0);
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const RunResult r = run_zx81tape({"tape.raw", "-f/dev/null", "-p"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(r.out.rfind("...")), "... creating P file /dev/null\n");
    ASSERT_EQ(stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(temp_files("/dev").empty());
}

TEST(Devices, AFifoAsPNameIsWrittenDirectly) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    ASSERT_EQ(mkfifo((dir / "out.p").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = open((dir / "out.p").c_str(), O_RDONLY);
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, n);
        close(fd);
    });
    const RunResult r = run_zx81tape({"tape.raw", "-fout.p", "-p"}, dir.path());
    reader.join();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(received, std::string(test_program().begin(), test_program().end()));
    struct stat st;
    ASSERT_EQ(lstat((dir / "out.p").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// ---- Interrupted and killed runs ------------------------------------------------------------

// The war step reads its input from a FIFO that the test keeps open, so it waits inside the
// step with its temporary file created; then the signal comes.
struct Interrupted {
    int status;
    std::vector<std::string> names_after;
    std::vector<std::string> temps_after;
    std::string war_after;
};

Interrupted interrupt_war_step(int signal_number) {
    ScratchDir dir;
    ScratchDir logs;
    const std::string fifo = dir / "tape.raw";
    EXPECT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    write_text(dir / "tape.war", "the war file of an earlier run");

    const pid_t pid = start_zx81tape({"tape.raw"}, dir.path(), logs / "run");
    const int writer = open_fifo_writer(fifo);
    EXPECT_GE(writer, 0) << "the converter never opened its input";
    const std::vector<uint8_t> raw = test_recording();
    EXPECT_EQ(write(writer, raw.data(), 1000), 1000);
    EXPECT_TRUE(eventually([&] { return !temp_files(dir.path()).empty(); }));
    kill(pid, signal_number);

    Interrupted result;
    result.status = wait_for(pid);
    close(writer);
    result.names_after = list_dir(dir.path());
    result.temps_after = temp_files(dir.path());
    result.war_after = read_text(dir / "tape.war");
    EXPECT_EQ(read_text(logs / "run.err"), "");
    return result;
}

TEST(Interrupted, ASignalRemovesTheTemporaryFileAndKeepsTheOldOutput) {
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        const Interrupted r = interrupt_war_step(signal_number);
        EXPECT_EQ(r.status, 128 + signal_number) << signal_number;
        EXPECT_EQ(r.temps_after, std::vector<std::string>{}) << signal_number;
        EXPECT_EQ(r.names_after, (std::vector<std::string>{"tape.raw", "tape.war"}))
            << signal_number;
        EXPECT_EQ(r.war_after, "the war file of an earlier run") << signal_number;
    }
}

TEST(Interrupted, AKilledRunLeavesNoPartialFileUnderTheFinalName) {
    const Interrupted r = interrupt_war_step(SIGKILL);
    EXPECT_EQ(r.status, 128 + SIGKILL);
    EXPECT_EQ(r.war_after, "the war file of an earlier run");
    // The temporary file may stay: nothing could remove it. It never has a final name.
    EXPECT_LE(r.temps_after.size(), 1u);
    EXPECT_EQ(r.names_after.size(), 2 + r.temps_after.size());
}

// The P step reads the bit file twice: once for the saved name, once for the bytes. The bit
// file is a FIFO that the test keeps open: the name step reads one full chunk (4096 bytes) and
// closes it, the P step opens it again and waits there, with its temporary P file created.
TEST(Interrupted, ASignalInThePStepKeepsTheOldPFile) {
    for (int signal_number : {SIGTERM, SIGKILL}) {
        ScratchDir dir;
        ScratchDir logs;
        const std::string fifo = dir / "prog.bit";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        write_text(dir / "out.p", "the P file of an earlier run");
        std::string chunk = "0011100100101010001110001011100100000000";
        chunk.resize(4096, 'x'); // not bits: skipped

        const pid_t pid = start_zx81tape({"prog.bit", "-fout.p", "-p"}, dir.path(), logs / "run");
        const int writer = open_fifo_writer(fifo);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
        ASSERT_TRUE(eventually([&] { return !temp_files(dir.path()).empty(); }));
        kill(pid, signal_number);

        EXPECT_EQ(wait_for(pid), 128 + signal_number);
        close(writer);
        EXPECT_EQ(read_text(dir / "out.p"), "the P file of an earlier run");
        if (signal_number != SIGKILL) {
            EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"out.p", "prog.bit"}));
        }
        EXPECT_EQ(read_text(logs / "run.err"), "");
    }
}

// ---- The P file never replaces another file of the run --------------------------------------

struct BothInputAndP {
    const char* what;
    std::vector<std::string> args;
    std::string p_name;
};

TEST(BothInputAndPFile, RefusedBeforeTheProgressLineAndEveryFileKept) {
    const BothInputAndP cases[] = {
        {"the recording", {"tape.raw", "-ftape.raw", "-p"}, "tape.raw"},
        {"the bit file", {"tape.raw", "-ftape.bit", "-r"}, "tape.bit"},
        {"the war file that -c removes", {"tape.raw", "-ftape.war", "-p", "-c"}, "tape.war"},
        {"the recording through ./", {"tape.raw", "-f./tape.raw", "-p"}, "./tape.raw"},
        {"the recording through a hard link", {"tape.raw", "-fhard.raw", "-p"}, "hard.raw"},
        {"the recording through a symbolic link", {"tape.raw", "-fsoft.p", "-p"}, "soft.p"},
        {"the recording through its directory",
         {"tape.raw", "-fsub/../tape.raw", "-p"},
         "sub/../tape.raw"},
        {"the reused bit file through a hard link", {"tape.raw", "-fhard.bit", "-p"}, "hard.bit"},
    };
    const std::vector<uint8_t> raw = test_recording();
    for (const BothInputAndP& c : cases) {
        ScratchDir dir;
        write_file(dir / "tape.raw", raw);
        mkdir((dir / "sub").c_str(), 0755);
        ASSERT_EQ(link((dir / "tape.raw").c_str(), (dir / "hard.raw").c_str()), 0);
        ASSERT_EQ(symlink("tape.raw", (dir / "soft.p").c_str()), 0);
        // A first run makes the war and bit files the second one reuses or rebuilds.
        ASSERT_EQ(run_zx81tape({"tape.raw", "-fplain.p"}, dir.path()).status, 0);
        ASSERT_EQ(link((dir / "tape.bit").c_str(), (dir / "hard.bit").c_str()), 0);
        const auto before = snapshot(dir.path());

        const RunResult r = run_zx81tape(c.args, dir.path());
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, " *** error ***   Can't use " + c.p_name + " as both input and P file \n")
            << c.what;
        EXPECT_EQ(r.out.find("... creating P file"), std::string::npos) << c.what;
        EXPECT_EQ(r.out.find("cleaning up"), std::string::npos) << c.what;
        EXPECT_EQ(snapshot(dir.path()), before) << c.what;
        EXPECT_EQ(read_file(dir / "tape.raw"), raw) << c.what;
    }
}

TEST(BothInputAndPFile, ReusingTheFileIsNoConflict) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const RunResult r = run_zx81tape({"tape.raw", "-ftape.raw"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(r.out.rfind("...")), "... using existing file tape.raw\n");
    EXPECT_EQ(read_file(dir / "tape.raw"), test_recording());
}

TEST(BothInputAndPFile, ABitFileInputNamedAsPFile) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    ASSERT_EQ(run_zx81tape({"tape.raw"}, dir.path()).status, 0);
    const std::vector<uint8_t> bits = read_file(dir / "tape.bit");
    const RunResult r = run_zx81tape({"tape.bit", "-ftape.bit", "-p"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, " *** error ***   Can't use tape.bit as both input and P file \n");
    EXPECT_EQ(read_file(dir / "tape.bit"), bits);
}

// A bit name that is a link to the recording: writing the bit file would replace the
// recording with its own bits (the run used to do so and end with status 0).
TEST(BothInputAndBitFile, ABitNameLinkedToTheRecordingIsRefused) {
    for (bool symbolic : {true, false}) {
        ScratchDir dir;
        write_file(dir / "tape.raw", test_recording());
        if (symbolic) {
            ASSERT_EQ(symlink("tape.raw", (dir / "tape.bit").c_str()), 0);
        } else {
            ASSERT_EQ(link((dir / "tape.raw").c_str(), (dir / "tape.bit").c_str()), 0);
        }
        const RunResult r = run_zx81tape({"tape.raw", "-b", "-fout.p"}, dir.path());
        EXPECT_EQ(r.status, 1) << symbolic;
        EXPECT_EQ(r.out, "... creating war file tape.war\n\nnplat = 19\n\nnplat = 19 n0=55 n1=88\n")
            << symbolic;
        EXPECT_EQ(r.err, " *** error ***   Can't use tape.bit as both input and bit file \n")
            << symbolic;
        EXPECT_EQ(read_file(dir / "tape.raw"), test_recording()) << symbolic;
        EXPECT_EQ(list_dir(dir.path()),
                  (std::vector<std::string>{"tape.bit", "tape.raw", "tape.war"}))
            << symbolic;
    }
}

TEST(FullRun, ReferenceOutputOfTheTestRecording) {
    ScratchDir dir;
    write_file(dir / "tape.raw", test_recording());
    const RunResult r = run_zx81tape({"tape.raw"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, full_run_out);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / "test.p"), test_program());
    EXPECT_TRUE(temp_files(dir.path()).empty());
}

// Every output under a name as long as the file system allows: the temporary names that stand
// for them on the way must fit too.
TEST(LongNames, WarBitAndPFilesUnderNamesOf250And255Characters) {
    for (std::size_t length : {250u, 255u}) {
        ScratchDir dir;
        const std::string base(length - 4, 'r');
        const std::string p_name(length, 'p');
        write_file(dir / (base + ".raw"), test_recording());
        const RunResult r = run_zx81tape({base + ".raw", "-f" + p_name}, dir.path());
        EXPECT_EQ(r.status, 0) << length;
        EXPECT_EQ(r.err, "") << length;
        EXPECT_EQ(r.out, "... creating war file " + base + ".war\n\nnplat = 19\n\nnplat = 19 n0=55 "
                         "n1=88\n... creating bit file " + base + ".bit\n... creating P file " +
                         p_name + "\n")
            << length;
        EXPECT_EQ(read_file(dir / p_name), test_program()) << length;
        EXPECT_TRUE(exists(dir / (base + ".war")) && exists(dir / (base + ".bit"))) << length;
        EXPECT_TRUE(temp_files(dir.path()).empty()) << length;
    }
}
