// Marlisk's command line: any text after the program name, read by ParseCommandLine.
#include "DravHDDUpdateApp.h"

#include "fuzz_environment.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::prepare_environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring line;
    for (const wchar_t ch : fuzz::widen_bytes(data, size)) {
        if (ch != L'\0') {
            line += ch;
        }
    }
    theApp.m_strTargetPath = L"";
    theApp.m_strFirmwareFile = L"";
    theApp.m_nRetryCount = 5;
    theApp.m_bLogOutput = FALSE;
    if (theApp.ParseCommandLine(line.c_str())) {
        fuzz::require(theApp.m_dwParamFlags != 0, "an accepted line names a target");
        fuzz::require(theApp.m_strTargetPath.GetLength() < 260 &&
                          theApp.m_strFirmwareFile.GetLength() < 260,
                      "accepted paths fit their 260-character buffers");
        fuzz::require(theApp.m_nRetryCount <= 10000, "the retry count is capped");
    }
    return 0;
}
