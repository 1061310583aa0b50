#include "io/platform.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

std::FILE* create_temp_beside(const std::string& final_name, std::string& temp_name) {
    std::string::size_type slash = final_name.find_last_of('/');
    std::string dir = slash == std::string::npos ? "" : final_name.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? final_name : final_name.substr(slash + 1);
    std::string pattern = dir + "." + base + ".tmp-XXXXXX";
    int fd = mkstemp(pattern.data());
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
        return nullptr;
    }
    temp_name = pattern;
    return stream;
}

namespace {

// The one temporary file that may be open at a time, kept in a fixed buffer so that the
// signal handler can read it without allocating.
char pending_temp[4096];

void remove_on_signal(int sig) {
    if (pending_temp[0] != '\0') unlink(pending_temp);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void set_pending_temp(const std::string& name) {
    if (name.size() >= sizeof pending_temp) {
        pending_temp[0] = '\0';
        return;
    }
    // Clear the first byte first, so that a handler never sees a half-copied name.
    pending_temp[0] = '\0';
    std::memcpy(pending_temp + 1, name.c_str() + (name.empty() ? 0 : 1), name.size());
    pending_temp[0] = name.empty() ? '\0' : name[0];
}

void install_signal_cleanup() {
    std::signal(SIGINT, remove_on_signal);
    std::signal(SIGTERM, remove_on_signal);
    std::signal(SIGHUP, remove_on_signal);
}

bool stream_is_terminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool make_directory(const std::string& name) {
    if (mkdir(name.c_str(), 0777) == 0) return true;
    return file_kind(name) == FileKind::directory;
}
