// NorrixUpdater's command line: any process command line, split by the framework's
// ParseCommandLine and handed argument by argument to CCustomCommandLineInfo::ParseParam.
#include "CustomCommandLineInfo.h"

#include <appframe/WinApp.h>
#include <winapi_host/command_line.h>

#include "fuzz_environment.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line = L"norrixupdater.exe ";
    for (const wchar_t ch : fuzz::widen_bytes(data, size)) {
        if (ch != L'\0') {
            line += ch;
        }
    }
    winapi_host::set_process_command_line(line);
    CWinApp app;
    CCustomCommandLineInfo info;
    app.ParseCommandLine(info);
    if (info.m_bComplete) {
        fuzz::require(!info.m_strDatafile.IsEmpty() &&
                          (!info.m_strTarget.IsEmpty() ||
                           (!info.m_strController.IsEmpty() && !info.m_strSasAddress.IsEmpty())),
                      "a complete command line names a datafile and a target");
    }
    return 0;
}
