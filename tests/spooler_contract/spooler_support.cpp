#include "spooler_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace spooler {

WideText Widen(const std::string& ascii) {
    WideText out;
    for (char c : ascii) out += static_cast<WCHAR>(static_cast<unsigned char>(c));
    return out;
}

std::string Show(const WCHAR* text) {
    if (!text) return "(null)";
    std::string out;
    for (; *text; ++text) {
        unsigned unit = static_cast<unsigned>(*text);
        if (unit >= 0x20 && unit < 0x7f) {
            out += static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unit);
            out += escaped;
        }
    }
    return out;
}

std::string Show(const WideText& text) { return Show(text.c_str()); }

WideText TestName(const char* suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "NoTest";
    return Widen("Drovan " + name + suffix);
}

Enumeration EnumPrintersTwice(DWORD flags, DWORD level) {
    Enumeration e;
    DWORD returned = kPoison;
    SetLastError(kPoison);
    e.sizeOk = EnumPrintersW(flags, nullptr, level, nullptr, 0, &e.needed, &returned);
    e.sizeError = GetLastError();
    e.buffer.assign(e.needed, 0);
    SetLastError(kPoison);
    e.fillOk = EnumPrintersW(flags, nullptr, level, e.needed ? e.buffer.data() : nullptr, e.needed,
                             &e.needed, &e.returned);
    e.fillError = GetLastError();
    return e;
}

std::vector<WideText> PrinterNames(DWORD flags) {
    std::vector<WideText> names;
    Enumeration e = EnumPrintersTwice(flags, 2);
    if (!e.fillOk) {
        ADD_FAILURE() << "EnumPrintersW(" << flags << ") failed: error " << e.fillError;
        return names;
    }
    const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(e.buffer.data());
    for (DWORD i = 0; i < e.returned; ++i) names.emplace_back(records[i].pPrinterName);
    return names;
}

bool Contains(const std::vector<WideText>& names, const WideText& name) {
    for (const auto& n : names)
        if (n == name) return true;
    return false;
}

WideText CurrentDirectory() {
    WCHAR dir[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, dir);
    return WideText(dir, n);
}

WideText WriteTextFile(const WideText& folder, const WCHAR* name, const char* text) {
    WideText path = folder + TEXT("\\") + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << Show(path) << ": error " << GetLastError();
        return path;
    }
    DWORD written = 0;
    ::WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(file);
    return path;
}

bool FileExists(const WideText& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TestDriver::TestDriver(const WideText& name, std::vector<WideText> files)
    : m_name(name), m_files(std::move(files)) {
    if (m_files.empty()) m_files.push_back(TEXT("drovantest.dll"));
    // A folder of the package's own, as a driver package on the installation medium.
    m_folder = CurrentDirectory() + TEXT("\\") + TestName(" package");
    CreateDirectoryW(m_folder.c_str(), nullptr);
    for (const auto& f : m_files) WriteTextFile(m_folder, f.c_str(), "driver file of a test package\r\n");

    WideText driverPath = m_folder + TEXT("\\") + m_files[0];
    WideText dependents;
    for (size_t i = 1; i < m_files.size(); ++i) dependents += m_files[i] + WideText(1, 0);
    dependents += WideText(1, 0);
    Arg nameArg(m_name), pathArg(driverPath);
    std::vector<WCHAR> deps(dependents.begin(), dependents.end());
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = nameArg;
    info.pEnvironment = nullptr;
    info.pDriverPath = pathArg;
    info.pDataFile = pathArg;
    info.pConfigFile = pathArg;
    info.pDependentFiles = deps.data();
    SetLastError(kPoison);
    m_installed = AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES);
    m_error = GetLastError();
}

TestDriver::~TestDriver() {
    if (m_installed) {
        Arg nameArg(m_name);
        DeletePrinterDriverExW(nullptr, nullptr, nameArg, DPD_DELETE_UNUSED_FILES, 3);
    }
    for (const auto& f : m_files) DeleteFileW((m_folder + TEXT("\\") + f).c_str());
#ifdef _WIN32
    RemoveDirectoryW(m_folder.c_str());
#endif
}

WideText TestDriver::InstalledPath(const WideText& file) const {
    WCHAR dir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir,
                                    &needed))
        return WideText();
    return WideText(dir) + TEXT("\\3\\") + file;
}

TestPrinter::TestPrinter(const WideText& name, const WideText& driver, const WideText& port)
    : m_name(name) {
    RemovePrinter(name);  // left behind by a run that crashed
    Arg nameArg(name), driverArg(driver), portArg(port), processor(TEXT("winprint"));
    PRINTER_INFO_2W info{};
    info.pPrinterName = nameArg;
    info.pDriverName = driverArg;
    info.pPortName = portArg;
    info.pPrintProcessor = processor;
    SetLastError(kPoison);
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    m_error = GetLastError();
    m_added = h != nullptr;
    if (h) ClosePrinter(h);
}

TestPrinter::~TestPrinter() {
    if (m_added) RemovePrinter(m_name);
}

bool RemovePrinter(const WideText& name) {
    Arg nameArg(name);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    if (!OpenPrinterW(nameArg, &h, &defaults)) return GetLastError() == ERROR_INVALID_PRINTER_NAME;
    SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE);
    BOOL deleted = DeletePrinter(h);
    ClosePrinter(h);
    return deleted;
}

}  // namespace spooler
