// How the firmware image is named and found, and the revision name taken from its file name.
#pragma once

#include <windows.h>

#include <string>

constexpr int kPathChars = 260; // every path fits 260 characters and its terminator
constexpr int kRevisionChars = 17;

// The image: the name as given when it names a file (not a folder), else the same name beside
// the program. False when neither exists or a path does not fit 260 characters.
bool ResolveFirmwareFile(const WCHAR* pszFileName, std::wstring& strResolved);

// The running program's folder, a backslash and pszFileName; false when it does not fit.
bool GetModuleFolderPath(const WCHAR* pszFileName, std::wstring& strPath);

// Everything in front of the name's last ".", or the whole name; cut to 17 characters, since
// it is only shown.
std::wstring GetRevisionName(const WCHAR* pszFileName);

// True when the name finds an entry that is not a folder (FindFirstFileW, first entry only).
bool IsExistingFile(const WCHAR* pszPath);

// True when the image, found as ResolveFirmwareFile finds it, and the file pszOtherName names
// are one file. When both exist the files themselves are compared (volume serial number and file
// index), so hard links and linked folders count; nothing is written to either. Otherwise the
// names are compared as full paths with short names expanded, without regard to case: a name as
// given that stands for the other file counts even before that file exists, since it is looked
// for there first.
bool IsSameFileAsImage(const WCHAR* pszImageName, const WCHAR* pszOtherName);
