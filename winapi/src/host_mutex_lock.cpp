// Lock files for named mutexes: one file per name in WINSIM_MUTEX_DIR (default
// /tmp/fwu-winsim-mutexes), held with flock, which the kernel drops when the process ends,
// as Windows drops a mutex whose last handle goes with its process.
#include "host_mutex_lock.h"

#include <winsim/sha256.h>
#include <winsim/trace.h>

#include "wide_text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace winapi_host {
namespace {

std::string lock_directory() {
    const char* chosen = std::getenv("WINSIM_MUTEX_DIR");
    return chosen != nullptr && *chosen != '\0' ? chosen : "/tmp/fwu-winsim-mutexes";
}

// Names hold backslashes and any character; a digest makes a safe file name.
std::string lock_file_name(std::wstring_view name) {
    const std::string text = narrow(name);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return winsim::sha256_hex(bytes).substr(0, 32) + ".lock";
}

} // namespace

int acquire_host_lock(std::wstring_view name) {
    const std::string directory = lock_directory();
    ::mkdir(directory.c_str(), 0777); // may exist already
    const std::string path = directory + "/" + lock_file_name(name);
    const int fd = winsim::above_standard_descriptors(
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd < 0) {
        return -2;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? -1 : -2;
        }
    }
    return fd;
}

void release_host_lock(int descriptor) {
    if (descriptor >= 0) {
        ::close(descriptor); // closing drops the flock
    }
}

} // namespace winapi_host
