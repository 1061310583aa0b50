#include "reliability_support.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.h"
#include "tape/tape_signal.h"

const std::vector<uint8_t>& test_name_codes() {
    static const std::vector<uint8_t> codes{0x39, 0x2A, 0x38, 0x39 | 0x80};
    return codes;
}

const std::vector<uint8_t>& test_program() {
    static const std::vector<uint8_t> program = [] {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(i));
        return bytes;
    }();
    return program;
}

std::vector<uint8_t> test_recording() {
    return tape_recording(TapeSignal{}, test_name_codes(), test_program());
}

TmpfsMount::TmpfsMount(const std::string& directory, std::size_t bytes) : directory_(directory) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = mount("tmpfs", directory.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) umount2(directory_.c_str(), MNT_DETACH);
}

bool TmpfsMount::make_read_only() {
    return mount("tmpfs", directory_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

pid_t start_zx81tape(const std::vector<std::string>& args, const std::string& cwd,
                     const std::string& log_prefix) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open((log_prefix + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open((log_prefix + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(cwd.c_str()) != 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>("zx81tape")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZX81TAPE_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> temp_files(const std::string& directory) {
    std::vector<std::string> temps;
    for (const std::string& name : list_dir(directory)) {
        if (name[0] == '.' && name.find(".tmp-") != std::string::npos) temps.push_back(name);
    }
    return temps;
}

int open_fifo_writer(const std::string& path) {
    int fd = -1;
    eventually([&] {
        fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        return fd >= 0;
    });
    if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
