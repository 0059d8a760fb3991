// Built 32-bit at configure time and run once: a kernel with IA-32 emulation runs it and
// reports its own machine; a user-mode emulator behind binfmt_misc reports the guest's.
#include <cstdio>
#include <sys/utsname.h>

int main() {
    utsname names{};
    if (uname(&names) != 0) {
        return 1;
    }
    std::printf("%s\n", names.machine);
    return 0;
}
