// The dry-run flavour refuses to run, before anything else, unless WINSIM_MACHINE names a
// readable machine description: a script that starts it by mistake for the real program
// must never see a success that touched no drive.
#include <cstdio>
#include <cstdlib>
#include <windows.h>

namespace {

// Distinct from every exit code of the programs and of the simulator (70).
constexpr int exit_no_machine = 78;

bool machine_readable() {
    const char* path = std::getenv("WINSIM_MACHINE");
    if (path == nullptr || *path == '\0') {
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

// The earliest constructor priority a program may use: this runs before the program's own
// static objects and before main.
__attribute__((constructor(101))) void refuse_without_machine() {
    if (!machine_readable()) {
        std::fputs("dry run: WINSIM_MACHINE names no readable machine description; nothing "
                   "was run (exit code 78)\n",
                   stderr);
        std::fflush(stderr);
        ::ExitProcess(exit_no_machine);
    }
}

} // namespace
