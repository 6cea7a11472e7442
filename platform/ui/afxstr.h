// CString: the framework's string of UTF-16 text (WCHAR in both homes), with the members
// the installer's code uses. ANSI text converts through the machine's ANSI code page.
#pragma once

#include <string>

#include "platform/win32.h"

class CString {
public:
    using Text = std::basic_string<WCHAR>;

    CString() = default;
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString(LPCWSTR psz) : m_text(psz ? psz : Text()) {}
    CString(LPCWSTR pch, int nLength) : m_text(pch, pch ? nLength : 0) {}
    CString(const char* pszAnsi);  // converted from the ANSI code page
    CString(WCHAR ch, int nRepeat = 1) : m_text(nRepeat > 0 ? nRepeat : 0, ch) {}
    explicit CString(Text text) : m_text(std::move(text)) {}

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(LPCWSTR psz) {
        m_text = psz ? psz : Text();
        return *this;
    }
    CString& operator=(WCHAR ch) {
        m_text.assign(1, ch);
        return *this;
    }

    operator LPCWSTR() const { return m_text.c_str(); }
    LPCWSTR GetString() const { return m_text.c_str(); }
    const Text& Str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    WCHAR GetAt(int i) const { return m_text.at(static_cast<size_t>(i)); }
    void SetAt(int i, WCHAR ch) { m_text.at(static_cast<size_t>(i)) = ch; }
    WCHAR operator[](int i) const { return GetAt(i); }

    CString& operator+=(const CString& s) {
        m_text += s.m_text;
        return *this;
    }
    CString& operator+=(LPCWSTR psz) {
        if (psz) m_text += psz;
        return *this;
    }
    CString& operator+=(WCHAR ch) {
        m_text += ch;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, LPCWSTR b) { return CString(a.m_text + (b ? b : u_empty())); }
    friend CString operator+(LPCWSTR a, const CString& b) { return CString((a ? Text(a) : Text()) + b.m_text); }
    friend CString operator+(const CString& a, WCHAR b) { return CString(a.m_text + b); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, LPCWSTR b) { return a.m_text == (b ? b : u_empty()); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, LPCWSTR b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    int Compare(LPCWSTR psz) const;
    int CompareNoCase(LPCWSTR psz) const;

    // printf-style formatting in the Microsoft manner: %s is wide text, %hs narrow.
    void Format(LPCWSTR pszFormat, ...);
    void AppendFormat(LPCWSTR pszFormat, ...);
    void FormatV(LPCWSTR pszFormat, va_list args);

    int Find(WCHAR ch, int iStart = 0) const;
    int Find(LPCWSTR pszSub, int iStart = 0) const;
    int ReverseFind(WCHAR ch) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int iFirst) const;
    CString Mid(int iFirst, int nCount) const;
    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    int Replace(LPCWSTR pszOld, LPCWSTR pszNew);
    int Replace(WCHAR chOld, WCHAR chNew);
    int Insert(int iIndex, LPCWSTR psz);
    int Delete(int iIndex, int nCount = 1);

    // Direct access: the buffer holds at least nMinBufferLength characters plus the
    // terminator; ReleaseBuffer(-1) takes the length up to the first NUL.
    LPWSTR GetBuffer(int nMinBufferLength = 0);
    LPWSTR GetBufferSetLength(int nLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    static const WCHAR* u_empty() {
        static const WCHAR empty[1] = {0};
        return empty;
    }
    Text m_text;
};
