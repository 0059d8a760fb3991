// A wide string in the class library's style: programs hold their texts in it and pass it
// wherever a const TCHAR* is wanted.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() = default;
    CString(const wchar_t* psz) : m_str(psz != nullptr ? psz : L"") {} // NOLINT: implicit by design
    CString(const wchar_t* pch, int nLength);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const wchar_t* GetString() const { return m_str.c_str(); }
    operator const wchar_t*() const { return m_str.c_str(); } // NOLINT: implicit by design
    wchar_t GetAt(int nIndex) const { return m_str.at(static_cast<size_t>(nIndex)); }

    CString& MakeLower();
    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // The next token after iStart, skipping leading and repeated delimiters; iStart becomes -1
    // and the result is empty when no token is left.
    CString Tokenize(const wchar_t* pszTokens, int& iStart) const;

    // printf-style formatting; use only conversions whose meaning is the same in Microsoft's and
    // C99's wide printf (%ls, %lc, %d, %u, %x, %X).
    void Format(const wchar_t* pszFormat, ...);

    CString& operator+=(const CString& str);
    friend CString operator+(const CString& a, const CString& b);
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.m_str == b; }

private:
    std::wstring m_str;
};
