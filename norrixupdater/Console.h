// Console output. Everything goes through wprintf; the formats use only conversions that
// Microsoft's and C99's wide printf read alike (%ls for a wide string, %lc for a character,
// %d, %u, %x, %02X), so both builds print the same bytes. Byte strings are widened first.
#pragma once

#include <string>

// Prints always.
void Print(const wchar_t* pszFormat, ...);

// Prints only when the run is verbose (/V).
void VerbosePrint(const wchar_t* pszFormat, ...);

// True when /V was given; read from the application's command line.
bool IsVerbose();

// A byte string as wide text, each byte standing for the character of the same value.
std::wstring WidenBytes(const char* psz);
