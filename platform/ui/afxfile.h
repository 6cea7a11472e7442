// The framework's exceptions and its file class. The framework throws exceptions as
// pointers (`throw new CFileException(...)`); a handler catches `CException*`, reports or
// inspects it, and calls Delete(). One that leaves a message handler or OnInitDialog is
// caught by the framework, reported in a message box, and the dialog goes on running.
#pragma once

#include "platform/ui/afxmsg.h"
#include "platform/ui/afxstr.h"

class CException : public CObject {
public:
    static const CRuntimeClass classCException;
    const CRuntimeClass* GetRuntimeClass() const override;
    virtual BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    // Shows the error message in a message box (MB_ICONEXCLAMATION by default) and returns
    // the box's result.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0) const;
    void Delete() { delete this; }
};

class CFileException : public CException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };
    static const CRuntimeClass classCFileException;
    const CRuntimeClass* GetRuntimeClass() const override;

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCWSTR lpszArchiveName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName) {}
    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
    static int OsErrorToException(LONG lOsError);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1, LPCWSTR lpszFileName = nullptr);

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };
    static const HANDLE hFileNull;

    CFile() = default;
    explicit CFile(HANDLE hFile) : m_hFile(hFile) {}
    // Opens the file; throws a CFileException* when it cannot.
    CFile(LPCWSTR lpszFileName, UINT nOpenFlags);
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the file; FALSE (and the cause in *pError, when given) when it cannot.
    virtual BOOL Open(LPCWSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual void Close();
    void Abort();
    virtual ULONGLONG GetLength() const;
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    ULONGLONG SeekToBegin() { return Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual CString GetFileName() const;
    virtual CString GetFilePath() const { return m_strFileName; }
    operator HANDLE() const { return m_hFile; }

    HANDLE m_hFile = hFileNull;

protected:
    CString m_strFileName;
};
