#include "platform/ui/afxstr.h"

#include <algorithm>
#include <cstdarg>
#include <vector>

#include "platform/ui/text.h"

CString::CString(const char* pszAnsi) {
    if (!pszAnsi || !*pszAnsi) return;
    int n = MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, nullptr, 0);
    if (n <= 0) return;
    m_text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, pszAnsi, -1, m_text.data(), n);
    m_text.resize(static_cast<size_t>(n - 1));
}

int CString::Compare(LPCWSTR psz) const {
    Text other = psz ? psz : u_empty();
    int c = m_text.compare(other);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CString::CompareNoCase(LPCWSTR psz) const {
    return drovan::ui::text::CompareNoCaseOrdinal(m_text, psz ? Text(psz) : Text());
}

void CString::FormatV(LPCWSTR pszFormat, va_list args) {
    // Grow until the whole text fits: the runtime's formatter reports -1 when it does not.
    for (size_t size = 256;; size *= 2) {
        std::vector<WCHAR> buffer(size);
        va_list copy;
        va_copy(copy, args);
        int n = vswprintf_s(buffer.data(), buffer.size(), pszFormat, copy);
        va_end(copy);
        if (n >= 0) {
            m_text.assign(buffer.data(), static_cast<size_t>(n));
            return;
        }
        if (size > (1u << 24)) {
            m_text.clear();
            return;
        }
    }
}

void CString::Format(LPCWSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::AppendFormat(LPCWSTR pszFormat, ...) {
    CString tail;
    va_list args;
    va_start(args, pszFormat);
    tail.FormatV(pszFormat, args);
    va_end(args);
    m_text += tail.m_text;
}

int CString::Find(WCHAR ch, int iStart) const {
    if (iStart < 0 || iStart > GetLength()) return -1;
    size_t p = m_text.find(ch, static_cast<size_t>(iStart));
    return p == Text::npos ? -1 : static_cast<int>(p);
}

int CString::Find(LPCWSTR pszSub, int iStart) const {
    if (!pszSub || iStart < 0 || iStart > GetLength()) return -1;
    size_t p = m_text.find(pszSub, static_cast<size_t>(iStart));
    return p == Text::npos ? -1 : static_cast<int>(p);
}

int CString::ReverseFind(WCHAR ch) const {
    size_t p = m_text.rfind(ch);
    return p == Text::npos ? -1 : static_cast<int>(p);
}

CString CString::Left(int nCount) const {
    nCount = std::clamp(nCount, 0, GetLength());
    return CString(m_text.substr(0, static_cast<size_t>(nCount)));
}

CString CString::Right(int nCount) const {
    nCount = std::clamp(nCount, 0, GetLength());
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(nCount)));
}

CString CString::Mid(int iFirst) const { return Mid(iFirst, GetLength()); }

CString CString::Mid(int iFirst, int nCount) const {
    iFirst = std::clamp(iFirst, 0, GetLength());
    nCount = std::clamp(nCount, 0, GetLength() - iFirst);
    return CString(m_text.substr(static_cast<size_t>(iFirst), static_cast<size_t>(nCount)));
}

CString& CString::MakeUpper() {
    for (auto& c : m_text) c = drovan::ui::text::ToUpper(c);
    return *this;
}

CString& CString::MakeLower() {
    for (auto& c : m_text) c = drovan::ui::text::ToLower(c);
    return *this;
}

static bool IsBlank(WCHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x3000; }

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_text.size() && IsBlank(m_text[i])) ++i;
    m_text.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    while (!m_text.empty() && IsBlank(m_text.back())) m_text.pop_back();
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(LPCWSTR pszOld, LPCWSTR pszNew) {
    if (!pszOld || !*pszOld) return 0;
    Text from(pszOld), to(pszNew ? pszNew : u_empty());
    int count = 0;
    for (size_t p = m_text.find(from); p != Text::npos; p = m_text.find(from, p + to.size())) {
        m_text.replace(p, from.size(), to);
        ++count;
    }
    return count;
}

int CString::Replace(WCHAR chOld, WCHAR chNew) {
    int count = 0;
    for (auto& c : m_text)
        if (c == chOld) {
            c = chNew;
            ++count;
        }
    return count;
}

int CString::Insert(int iIndex, LPCWSTR psz) {
    iIndex = std::clamp(iIndex, 0, GetLength());
    if (psz) m_text.insert(static_cast<size_t>(iIndex), psz);
    return GetLength();
}

int CString::Delete(int iIndex, int nCount) {
    if (iIndex >= 0 && iIndex < GetLength() && nCount > 0)
        m_text.erase(static_cast<size_t>(iIndex), static_cast<size_t>(nCount));
    return GetLength();
}

LPWSTR CString::GetBuffer(int nMinBufferLength) {
    if (nMinBufferLength > GetLength()) m_text.resize(static_cast<size_t>(nMinBufferLength));
    return m_text.data();
}

LPWSTR CString::GetBufferSetLength(int nLength) {
    m_text.resize(static_cast<size_t>(std::max(nLength, 0)));
    return m_text.data();
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) {
        size_t n = 0;
        while (n < m_text.size() && m_text[n] != 0) ++n;
        m_text.resize(n);
    } else {
        m_text.resize(std::min(static_cast<size_t>(nNewLength), m_text.size()));
    }
}
