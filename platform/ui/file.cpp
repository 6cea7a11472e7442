// CException, CFileException and CFile.
#include <algorithm>

#include "platform/ui/afxwin.h"

const CRuntimeClass CException::classCException = {"CException", sizeof(CException), &CObject::classCObject};
const CRuntimeClass* CException::GetRuntimeClass() const { return &classCException; }
const CRuntimeClass CFileException::classCFileException = {"CFileException", sizeof(CFileException),
                                                           &CException::classCException};
const CRuntimeClass* CFileException::GetRuntimeClass() const { return &classCFileException; }

namespace {
void CopyBounded(LPWSTR out, UINT n, const CString& s) {
    if (!out || n == 0) return;
    UINT len = std::min<UINT>(static_cast<UINT>(s.GetLength()), n - 1);
    for (UINT i = 0; i < len; ++i) out[i] = s[static_cast<int>(i)];
    out[len] = 0;
}
}  // namespace

BOOL CException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    CopyBounded(lpszError, nMaxError, CString(TEXT("An unknown error occurred.")));
    return TRUE;
}

int CException::ReportError(UINT nType, UINT) const {
    WCHAR message[512];
    GetErrorMessage(message, 512);
    return AfxMessageBox(message, nType);
}

BOOL CFileException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    LPCWSTR text;
    switch (m_cause) {
    case none: text = TEXT("No error occurred."); break;
    case fileNotFound: text = TEXT("%1 was not found."); break;
    case badPath: text = TEXT("%1 contains an incorrect path."); break;
    case tooManyOpenFiles: text = TEXT("%1 could not be opened because too many files are open."); break;
    case accessDenied: text = TEXT("Access to %1 was denied."); break;
    case invalidFile: text = TEXT("An incorrect file handle was associated with %1."); break;
    case removeCurrentDir: text = TEXT("%1 could not be removed because it is the current directory."); break;
    case directoryFull: text = TEXT("%1 could not be created because the directory is full."); break;
    case badSeek: text = TEXT("Seek failed on %1."); break;
    case hardIO: text = TEXT("A hardware I/O error was reported while accessing %1."); break;
    case sharingViolation: text = TEXT("A sharing violation occurred while accessing %1."); break;
    case lockViolation: text = TEXT("A locking violation occurred while accessing %1."); break;
    case diskFull: text = TEXT("Disk full while accessing %1."); break;
    case endOfFile: text = TEXT("An attempt was made to access %1 past its end."); break;
    default: text = TEXT("An unknown error occurred while accessing %1."); break;
    }
    CString message(text);
    message.Replace(TEXT("%1"), m_strFileName.IsEmpty() ? CString(TEXT("an unnamed file")) : m_strFileName);
    CopyBounded(lpszError, nMaxError, message);
    return TRUE;
}

int CFileException::OsErrorToException(LONG lOsError) {
    switch (lOsError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME: case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case 16: return removeCurrentDir;  // ERROR_CURRENT_DIRECTORY
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case 33: return lockViolation;     // ERROR_LOCK_VIOLATION
    case 38: return endOfFile;         // ERROR_HANDLE_EOF
    case 39: case 112: return diskFull;  // ERROR_HANDLE_DISK_FULL, ERROR_DISK_FULL
    case 131: return badSeek;          // ERROR_NEGATIVE_SEEK
    case 23: case 27: case 29: case 30: return hardIO;
    default: return genericException;
    }
}

void AfxThrowFileException(int cause, LONG lOsError, LPCWSTR lpszFileName) {
    throw new CFileException(cause, lOsError, lpszFileName);
}

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile(LPCWSTR lpszFileName, UINT nOpenFlags) {
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e)) AfxThrowFileException(e.m_cause, e.m_lOsError, lpszFileName);
}

CFile::~CFile() {
    if (m_hFile != hFileNull) CloseHandle(m_hFile);
}

BOOL CFile::Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    if (m_hFile != hFileNull) Close();
    DWORD access = 0;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;  // exclusive (and the old compatibility mode)
    }
    DWORD disposition = OPEN_EXISTING;
    if (nOpenFlags & modeCreate) disposition = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = CreateFileW(lpszFileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        LONG err = static_cast<LONG>(GetLastError());
        if (pError) {
            pError->m_cause = CFileException::OsErrorToException(err);
            pError->m_lOsError = err;
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    m_hFile = h;
    m_strFileName = lpszFileName;
    return TRUE;
}

void CFile::Close() {
    if (m_hFile == hFileNull) return;
    HANDLE h = m_hFile;
    m_hFile = hFileNull;
    if (!CloseHandle(h)) {
        LONG err = static_cast<LONG>(GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(err), err, m_strFileName);
    }
}

void CFile::Abort() {
    if (m_hFile != hFileNull) CloseHandle(m_hFile);
    m_hFile = hFileNull;
}

ULONGLONG CFile::GetLength() const {
    SetLastError(NO_ERROR);
    DWORD high = 0;
    DWORD low = GetFileSize(m_hFile, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        LONG err = static_cast<LONG>(GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(err), err, m_strFileName);
    }
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0) return 0;
    DWORD read = 0;
    if (!ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) {
        LONG err = static_cast<LONG>(GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(err), err, m_strFileName);
    }
    return read;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    DWORD written = 0;
    if (!WriteFile(m_hFile, lpBuf, nCount, &written, nullptr)) {
        LONG err = static_cast<LONG>(GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(err), err, m_strFileName);
    }
    if (written != nCount) AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    LONG high = static_cast<LONG>(lOff >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(m_hFile, static_cast<LONG>(lOff & 0xFFFFFFFF), &high, nFrom);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        LONG err = static_cast<LONG>(GetLastError());
        AfxThrowFileException(CFileException::OsErrorToException(err), err, m_strFileName);
    }
    return (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | low;
}

CString CFile::GetFileName() const {
    int slash = std::max(m_strFileName.ReverseFind('\\'), m_strFileName.ReverseFind('/'));
    return m_strFileName.Mid(slash + 1);
}
