#include "printer_checks.h"

#include <vector>

#include "platform/win32.h"

namespace printui {
namespace {

bool Fail(Failure* failure, DWORD code, std::string message) {
    *failure = {code, std::move(message)};
    return false;
}

}  // namespace

const char16_t* EnvironmentName(Arch arch) {
    switch (arch) {
        case Arch::X86: return u"Windows NT x86";
        case Arch::X64: return u"Windows x64";
        case Arch::IA64: return u"Windows IA64";
        case Arch::ARM64: return u"Windows ARM64";
    }
    return u"Windows x64";
}

bool CheckPrinterName(const std::u16string& name, Failure* failure) {
    if (name.empty() || name.size() > 220 || name.find_first_of(u",!\\") != std::u16string::npos)
        return Fail(failure, ERROR_INVALID_PRINTER_NAME,
                    "\"" + ToUtf8(name) + "\" is not a valid printer name");
    return true;
}

bool PortExists(const std::u16string& port, Failure* failure) {
    DWORD needed = 0, returned = 0;
    if (!EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return Fail(failure, GetLastError(), "the spooler's ports cannot be listed");
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (needed && !EnumPortsW(nullptr, 1, buffer.data(), needed, &needed, &returned))
        return Fail(failure, GetLastError(), "the spooler's ports cannot be listed");
    auto* ports = reinterpret_cast<PORT_INFO_1W*>(buffer.data());
    for (DWORD i = 0; needed && i < returned; ++i)
        if (ports[i].pName && EqualsNoCase(View(ports[i].pName), port)) return true;
    return Fail(failure, ERROR_UNKNOWN_PORT, "the port \"" + ToUtf8(port) + "\" does not exist");
}

bool PrinterAbsent(const std::u16string& name, Failure* failure) {
    // Opening the printer by its name is the spooler's own lookup of one name (names compare
    // without regard to case), where listing every printer would cost the size of the list.
    std::u16string copy = name;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE printer = nullptr;
    if (OpenPrinterW(reinterpret_cast<LPWSTR>(copy.data()), &printer, &defaults)) {
        ClosePrinter(printer);
        return Fail(failure, ERROR_PRINTER_ALREADY_EXISTS,
                    "a printer named \"" + ToUtf8(name) + "\" already exists");
    }
    DWORD error = GetLastError();
    if (error == ERROR_INVALID_PRINTER_NAME) return true;
    return Fail(failure, error, "the spooler's printers cannot be read");
}

}  // namespace printui
