#include "Console.h"

#include <cstdarg>
#include <cwchar>

void Print(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    std::vwprintf(pszFormat, args);
    va_end(args);
}

void VerbosePrint(const wchar_t* pszFormat, ...) {
    if (!IsVerbose()) {
        return;
    }
    va_list args;
    va_start(args, pszFormat);
    std::vwprintf(pszFormat, args);
    va_end(args);
}

std::wstring WidenBytes(const char* psz) {
    std::wstring text;
    for (; *psz != '\0'; ++psz) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(*psz));
    }
    return text;
}
