// drovan-spooler-check.exe: what the spooler of this Windows holds, read through the Win32
// spooler calls alone (none of the installer's code), for the Wine tests:
//
//   drovan-spooler-check.exe installed PRINTER PORT DRIVER
//       the printer exists on that port with that driver, the driver is installed with its
//       files in the driver directory, and the printer is the default one
//   drovan-spooler-check.exe absent PRINTER
//       no printer of that name
//
// It prints what it found; exit status 0 when the state is as asked, 1 when not, 2 for a
// wrong command line.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* s) {
    if (!s) return "(none)";
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::vector<BYTE> Enum(BOOL (*call)(BYTE*, DWORD, DWORD*, DWORD*), DWORD* count) {
    DWORD needed = 0;
    *count = 0;
    call(nullptr, 0, &needed, count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (needed && !call(buffer.data(), needed, &needed, count)) *count = 0;
    return buffer;
}

const PRINTER_INFO_2W* FindPrinter(const std::vector<BYTE>& buffer, DWORD count, const wchar_t* name) {
    auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (printers[i].pPrinterName && lstrcmpiW(printers[i].pPrinterName, name) == 0) return &printers[i];
    return nullptr;
}

BOOL EnumLocalPrinters(BYTE* b, DWORD n, DWORD* needed, DWORD* count) {
    return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, n, needed, count);
}
BOOL EnumDrivers(BYTE* b, DWORD n, DWORD* needed, DWORD* count) {
    return EnumPrinterDriversW(nullptr, nullptr, 3, b, n, needed, count);
}

bool FileExists(const wchar_t* path) {
    DWORD a = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

int Installed(const wchar_t* name, const wchar_t* port, const wchar_t* driverName) {
    int failures = 0;
    DWORD count = 0;
    std::vector<BYTE> printers = Enum(EnumLocalPrinters, &count);
    const PRINTER_INFO_2W* p = FindPrinter(printers, count, name);
    if (!p) {
        std::printf("printer %s: not among the spooler's %lu printers\n", Utf8(name).c_str(), count);
        return 1;
    }
    std::printf("printer %s: port %s, driver %s, processor %s\n", Utf8(p->pPrinterName).c_str(),
                Utf8(p->pPortName).c_str(), Utf8(p->pDriverName).c_str(), Utf8(p->pPrintProcessor).c_str());
    if (!p->pPortName || lstrcmpiW(p->pPortName, port) != 0) {
        std::printf("  wrong port: wanted %s\n", Utf8(port).c_str());
        ++failures;
    }
    if (!p->pDriverName || lstrcmpiW(p->pDriverName, driverName) != 0) {
        std::printf("  wrong driver: wanted %s\n", Utf8(driverName).c_str());
        ++failures;
    }

    std::vector<BYTE> drivers = Enum(EnumDrivers, &count);
    auto* d = reinterpret_cast<const DRIVER_INFO_3W*>(drivers.data());
    const DRIVER_INFO_3W* found = nullptr;
    for (DWORD i = 0; i < count; ++i)
        if (d[i].pName && lstrcmpiW(d[i].pName, driverName) == 0) found = &d[i];
    if (!found) {
        std::printf("  driver %s: not installed\n", Utf8(driverName).c_str());
        ++failures;
    } else {
        std::printf("driver %s: %s, data %s, configuration %s\n", Utf8(found->pName).c_str(),
                    Utf8(found->pDriverPath).c_str(), Utf8(found->pDataFile).c_str(),
                    Utf8(found->pConfigFile).c_str());
        for (const wchar_t* f : {found->pDriverPath, found->pDataFile, found->pConfigFile})
            if (!FileExists(f)) {
                std::printf("  missing driver file %s\n", Utf8(f).c_str());
                ++failures;
            }
    }

    wchar_t def[512];
    DWORD size = 512;
    if (!GetDefaultPrinterW(def, &size)) {
        std::printf("  no default printer (error %lu)\n", GetLastError());
        ++failures;
    } else {
        std::printf("default printer: %s\n", Utf8(def).c_str());
        if (lstrcmpiW(def, name) != 0) ++failures;
    }
    return failures ? 1 : 0;
}

int Absent(const wchar_t* name) {
    DWORD count = 0;
    std::vector<BYTE> printers = Enum(EnumLocalPrinters, &count);
    if (FindPrinter(printers, count, name)) {
        std::printf("printer %s: still in the spooler\n", Utf8(name).c_str());
        return 1;
    }
    std::printf("printer %s: not in the spooler (%lu printers)\n", Utf8(name).c_str(), count);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && lstrcmpW(argv[1], L"installed") == 0) return Installed(argv[2], argv[3], argv[4]);
    if (argc == 3 && lstrcmpW(argv[1], L"absent") == 0) return Absent(argv[2]);
    std::fprintf(stderr, "usage: drovan-spooler-check installed PRINTER PORT DRIVER | absent PRINTER\n");
    return 2;
}
