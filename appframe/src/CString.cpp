#include "appframe/CString.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

CString::CString(const wchar_t* pch, int nLength) {
    if (pch != nullptr && nLength > 0) {
        m_str.assign(pch, static_cast<size_t>(nLength));
    }
}

CString& CString::MakeLower() {
    for (wchar_t& ch : m_str) {
        ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    }
    return *this;
}

CString CString::Left(int nCount) const {
    if (nCount <= 0) {
        return {};
    }
    return CString(m_str.substr(0, static_cast<size_t>(nCount)).c_str());
}

CString CString::Mid(int nFirst) const {
    return Mid(nFirst, GetLength() - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) {
        nFirst = 0;
    }
    if (nFirst >= GetLength() || nCount <= 0) {
        return {};
    }
    const std::wstring part =
        m_str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount));
    return CString(part.data(), static_cast<int>(part.size()));
}

CString CString::Tokenize(const wchar_t* pszTokens, int& iStart) const {
    if (iStart < 0 || iStart > GetLength()) {
        iStart = -1;
        return {};
    }
    const std::wstring delimiters = pszTokens != nullptr ? pszTokens : L"";
    const size_t first = m_str.find_first_not_of(delimiters, static_cast<size_t>(iStart));
    if (first == std::wstring::npos) {
        iStart = -1;
        return {};
    }
    size_t end = m_str.find_first_of(delimiters, first);
    if (end == std::wstring::npos) {
        end = m_str.size();
    }
    // Like the class library, continue one past the delimiter that ended the token.
    iStart = static_cast<int>(end < m_str.size() ? end + 1 : end);
    return CString(m_str.data() + first, static_cast<int>(end - first));
}

void CString::Format(const wchar_t* pszFormat, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, pszFormat);
        const int written = std::vswprintf(buffer.data(), buffer.size(), pszFormat, args);
        va_end(args);
        if (written >= 0) {
            m_str.assign(buffer.data(), static_cast<size_t>(written));
            return;
        }
        if (buffer.size() >= 1u << 20) {
            m_str.clear(); // a format error, not a short buffer
            return;
        }
        buffer.resize(buffer.size() * 2);
    }
}

CString& CString::operator+=(const CString& str) {
    m_str += str.m_str;
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}
