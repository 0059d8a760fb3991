// Drives one CSataBus operation that the update flow never calls, so the end-to-end suite can
// read it on the wire:  norrix_bus_probe <device path> disable|read|wow64 [v]
// Prints "result = N" and exits with N.
#include "Console.h"
#include "SataBus.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {
bool g_bVerbose = false;
}

bool IsVerbose() {
    return g_bVerbose;
}

int main(int argc, char* argv[]) {
    if (argc < 3) {
        return 100;
    }
    g_bVerbose = argc > 3 && std::strcmp(argv[3], "v") == 0;
    const std::wstring path = WidenBytes(argv[1]);
    CSataBus bus(path.c_str());
    const std::string op = argv[2];
    int nResult = 100;
    if (op == "wow64") {
        nResult = bus.IsWow64();
    } else if (bus.Open() != 0) {
        nResult = 2;
    } else if (op == "disable") {
        nResult = bus.DisableSettingsPreservation();
    } else if (op == "read") {
        nResult = bus.ReadPassThroughData();
    }
    Print(L"result = %d\n", nResult);
    return nResult;
}
