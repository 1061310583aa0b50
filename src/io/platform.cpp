#include "io/platform.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

FileKind file_kind(const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0) return FileKind::missing;
    if (S_ISREG(st.st_mode)) return FileKind::regular;
    if (S_ISDIR(st.st_mode)) return FileKind::directory;
    return FileKind::other;
}

bool file_exists(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool file_writable(const std::string& name) {
    int fd = open(name.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::string resolved_name(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    char* real = realpath(name.c_str(), nullptr);
    if (real == nullptr) return name;
    std::string result(real);
    std::free(real);
    return result;
}

bool seek_stream(std::FILE* stream, int64_t offset, int whence) {
    return fseeko(stream, static_cast<off_t>(offset), whence) == 0;
}

int64_t stream_position(std::FILE* stream) { return static_cast<int64_t>(ftello(stream)); }

bool remove_file(const std::string& name) { return std::remove(name.c_str()) == 0; }

bool rename_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string temp_name_pattern(const std::string& final_name, std::size_t name_max) {
    const std::string::size_type slash = final_name.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : final_name.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
    static const std::string suffix = ".tmp-XXXXXX";
    const std::size_t room = name_max > suffix.size() + 1 ? name_max - suffix.size() - 1 : 0;
    if (base.size() > room) {
        std::size_t keep = room;
        // Back off over continuation bytes so that no UTF-8 sequence is cut in two.
        while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
        base.resize(keep);
    }
    return dir + "." + base + suffix;
}

namespace {

// The longest last component a name in the directory of `final_name` may have.
std::size_t name_max_beside(const std::string& final_name) {
    const std::string::size_type slash = final_name.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : final_name.substr(0, slash + 1);
    const long limit = pathconf(dir.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// The signals whose handler removes the registered temporary files.
sigset_t cleanup_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

std::FILE* create_temp_beside(const std::string& final_name, std::string& temp_name, int& slot) {
    slot = -1;
    const std::size_t name_max = name_max_beside(final_name);
    const std::string::size_type slash = final_name.find_last_of('/');
    const std::size_t final_length =
        final_name.size() - (slash == std::string::npos ? 0 : slash + 1);
    if (final_length > name_max) return nullptr; // a name the directory cannot hold
    std::string pattern = temp_name_pattern(final_name, name_max);

    // No signal between the file's creation and its registration: it would be left behind.
    const sigset_t blocked = cleanup_signals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) slot = register_pending_temp(pattern);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) return nullptr;

    mode_t mode;
    struct stat st;
    if (stat(final_name.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);

    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) {
        close(fd);
        unlink(pattern.c_str());
        clear_pending_temp(slot);
        slot = -1;
        return nullptr;
    }
    temp_name = pattern;
    return stream;
}

namespace {

// The temporary files to remove on a signal, in fixed buffers that the handler reads without
// allocating. A slot's name is complete before `armed` is set, and `armed` is cleared before
// the name changes; the mutex only keeps two threads from taking the same slot.
struct PendingTemp {
    volatile std::sig_atomic_t armed = 0;
    bool taken = false;
    char name[4096] = {};
};
constexpr int pending_slots = 16;
PendingTemp pending[pending_slots];
std::mutex pending_lock;

void remove_on_signal(int sig) {
    for (PendingTemp& p : pending) {
        if (p.armed) unlink(p.name);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

int register_pending_temp(const std::string& name) {
    if (name.empty() || name.size() >= sizeof pending[0].name) return -1;
    const std::lock_guard<std::mutex> lock(pending_lock);
    for (int i = 0; i < pending_slots; ++i) {
        PendingTemp& p = pending[i];
        if (p.taken) continue;
        p.taken = true;
        std::memcpy(p.name, name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        p.armed = 1;
        return i;
    }
    return -1;
}

void clear_pending_temp(int slot) {
    if (slot < 0 || slot >= pending_slots) return;
    PendingTemp& p = pending[slot];
    p.armed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const std::lock_guard<std::mutex> lock(pending_lock);
    p.taken = false;
}

void install_signal_cleanup() {
    std::signal(SIGINT, remove_on_signal);
    std::signal(SIGTERM, remove_on_signal);
    std::signal(SIGHUP, remove_on_signal);
}

namespace {
std::mutex silence_lock;
int silence_depth = 0;
int saved_error_fd = -1;
} // namespace

void silence_error_stream() {
    const std::lock_guard<std::mutex> lock(silence_lock);
    if (silence_depth++ > 0) return;
    // The error stream is unbuffered (no part of the toolkit changes that), so nothing of ours
    // is pending when descriptor 2 moves, and a library's notes go straight to /dev/null.
    const int null_fd = open("/dev/null", O_WRONLY);
    saved_error_fd = dup(STDERR_FILENO);
    if (null_fd < 0 || saved_error_fd < 0) {
        if (null_fd >= 0) close(null_fd);
        return;
    }
    dup2(null_fd, STDERR_FILENO);
    close(null_fd);
}

void restore_error_stream() {
    const std::lock_guard<std::mutex> lock(silence_lock);
    if (silence_depth == 0 || --silence_depth > 0) return;
    if (saved_error_fd < 0) return;
    dup2(saved_error_fd, STDERR_FILENO);
    close(saved_error_fd);
    saved_error_fd = -1;
}

struct BackgroundTask::Thread {
    pthread_t id{};
    bool running = false;
    std::function<void()> task;
};

BackgroundTask::BackgroundTask() : thread_(new Thread) {}

BackgroundTask::~BackgroundTask() { wait(); }

bool BackgroundTask::start(std::function<void()> task) {
    wait();
    thread_->task = std::move(task);
    const auto run = [](void* data) -> void* {
        static_cast<Thread*>(data)->task();
        return nullptr;
    };
    thread_->running = pthread_create(&thread_->id, nullptr, run, thread_.get()) == 0;
    return thread_->running;
}

void BackgroundTask::wait() {
    if (!thread_->running) return;
    pthread_join(thread_->id, nullptr);
    thread_->running = false;
}

bool stream_is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool make_directory(const std::string& name) {
    if (mkdir(name.c_str(), 0777) == 0) return true;
    return file_kind(name) == FileKind::directory;
}
