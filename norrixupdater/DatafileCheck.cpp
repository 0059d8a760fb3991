// Which datafile goes to the drive: with two, the one whose type character matches the
// drive's. A datafile's type is the fifth character of its path as typed.
#include "NorrixUpdaterApp.h"

#include "Console.h"
#include "IdentifyData.h"

namespace {
constexpr int TYPE_CHARACTER_INDEX = 4;

// A type byte of 0x80 or more stands for no character and matches none; so does a name too
// short to carry a type character.
bool TypeMatches(const CString& strDatafile, BYTE type) {
    return type < 0x80 && strDatafile.GetLength() > TYPE_CHARACTER_INDEX &&
           strDatafile.GetAt(TYPE_CHARACTER_INDEX) == static_cast<wchar_t>(type);
}
} // namespace

bool CNorrixUpdaterApp::CheckDatafile(const BYTE* pIdentifyData) {
    char szModel[ATA_STRING_BUFFER];
    char szFirmware[ATA_STRING_BUFFER];
    char szSerial[ATA_STRING_BUFFER];
    CopyModelNumber(pIdentifyData, szModel);
    CopyFirmwareRevision(pIdentifyData, szFirmware);
    CopySerialNumber(pIdentifyData, szSerial);
    VerbosePrint(L"modelNumber = %ls\n", WidenBytes(szModel).c_str());
    VerbosePrint(L"firmwareRevision = %ls\n", WidenBytes(szFirmware).c_str());
    VerbosePrint(L"serialNumber = %ls\n", WidenBytes(szSerial).c_str());

    CCustomCommandLineInfo& info = m_cmdInfo;
    if (info.m_strDatafile2.IsEmpty()) {
        return true;
    }

    const BYTE type = DatafileTypeOf(pIdentifyData);
    VerbosePrint(L"Found Pelagor Drive\n");
    VerbosePrint(L"Word153 = 0x%x\n", IdentifyWord(pIdentifyData, 153));
    VerbosePrint(L"Word153[1] = %lc\n", static_cast<wint_t>(type));

    // With two datafiles, only one whose type matches the drive is ever sent.
    if (TypeMatches(info.m_strDatafile, type)) {
        return true;
    }
    if (TypeMatches(info.m_strDatafile2, type)) {
        info.m_strDatafile = info.m_strDatafile2;
        return true;
    }
    if (info.m_strDatafile.GetLength() > TYPE_CHARACTER_INDEX) {
        VerbosePrint(L"Datafile type = %lc\n",
                     static_cast<wint_t>(info.m_strDatafile.GetAt(TYPE_CHARACTER_INDEX)));
    }
    VerbosePrint(L"Datafile type did not match\n");
    return false;
}
