// Helpers shared by the spooler contract tests. Only Win32 through platform/win32.h and the
// standard library: these tests also run against real Windows. Everything a test creates
// (driver files, drivers, printers) is removed again when the helper goes out of scope,
// because on Windows the spooler outlives the run.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace spooler {

using WideText = std::basic_string<WCHAR>;

// Set as the last error before a call, so that a call which should set it, or leave it
// alone, is caught when it does not.
constexpr DWORD kPoison = 0xdeadbeef;

WideText Widen(const std::string& ascii);
std::string Show(const WCHAR* text);
std::string Show(const WideText& text);

// WINSPOOL takes names as LPWSTR: a writable copy for the call.
struct Arg {
    explicit Arg(const WideText& text) : buffer(text.begin(), text.end()) { buffer.push_back(0); }
    operator LPWSTR() { return buffer.data(); }
    std::vector<WCHAR> buffer;
};

// A name unique to the running test: "Drovan <Suite.Name><suffix>".
WideText TestName(const char* suffix = "");

// The result of a two-call enumeration: the size call's outcome and the filled buffer.
struct Enumeration {
    BOOL sizeOk = FALSE;
    DWORD sizeError = 0;
    DWORD needed = 0;
    BOOL fillOk = FALSE;
    DWORD fillError = 0;
    DWORD returned = 0;
    std::vector<BYTE> buffer;
};
Enumeration EnumPrintersTwice(DWORD flags, DWORD level);
// The printer names a PRINTER_ENUM_* enumeration reports at level 2.
std::vector<WideText> PrinterNames(DWORD flags);
bool Contains(const std::vector<WideText>& names, const WideText& name);

// A file with the given text in a folder below the current directory.
WideText WriteTextFile(const WideText& folder, const WCHAR* name, const char* text);
WideText CurrentDirectory();
bool FileExists(const WideText& path);

// A printer driver of the test's own, installed from files it writes first.
class TestDriver {
public:
    // files: the driver file first, then its dependent files (names only).
    explicit TestDriver(const WideText& name, std::vector<WideText> files = {});
    ~TestDriver();
    TestDriver(const TestDriver&) = delete;
    TestDriver& operator=(const TestDriver&) = delete;

    bool Installed() const { return m_installed; }
    DWORD Error() const { return m_error; }
    const WideText& Name() const { return m_name; }
    // Where the spooler keeps a file of this driver (its version 3 folder).
    WideText InstalledPath(const WideText& file) const;

private:
    WideText m_name, m_folder;
    std::vector<WideText> m_files;
    bool m_installed = false;
    DWORD m_error = 0;
};

// A local printer, deleted (after its queue is purged) at the end of the scope.
class TestPrinter {
public:
    TestPrinter(const WideText& name, const WideText& driver, const WideText& port);
    ~TestPrinter();
    TestPrinter(const TestPrinter&) = delete;
    TestPrinter& operator=(const TestPrinter&) = delete;

    bool Added() const { return m_added; }
    DWORD Error() const { return m_error; }
    const WideText& Name() const { return m_name; }

private:
    WideText m_name;
    bool m_added = false;
    DWORD m_error = 0;
};

// Removes a printer if it exists; true when none is left.
bool RemovePrinter(const WideText& name);

}  // namespace spooler
