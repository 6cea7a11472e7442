#include "install_printer_win32.h"

#include <setupapi.h>
#include <winspool.h>

#include <filesystem>
#include <vector>

#include "printer_checks.h"
#include "system_infs.h"

namespace fs = std::filesystem;

namespace printui {
namespace {

bool Fail(Failure* failure, DWORD code, std::string message) {
    *failure = {code, std::move(message)};
    return false;
}

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
wchar_t* Wide(std::u16string& s) { return reinterpret_cast<wchar_t*>(s.data()); }
std::u16string Text(const wchar_t* s) { return std::u16string(View(reinterpret_cast<const WCHAR*>(s))); }


// This Windows' processor architecture, as its driver packages are chosen.
Arch NativeArch() {
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
        case PROCESSOR_ARCHITECTURE_INTEL: return Arch::X86;
        case PROCESSOR_ARCHITECTURE_IA64: return Arch::IA64;
        case PROCESSOR_ARCHITECTURE_ARM64: return Arch::ARM64;
        default: return Arch::X64;
    }
}

// The folder of a directory id of a printer INF, as the spooler and the system name it.
bool TargetDirectory(DWORD dirId, const std::u16string& environment, std::u16string* dir, Failure* failure) {
    wchar_t buffer[MAX_PATH * 2] = {};
    DWORD needed = 0;
    BOOL ok = TRUE;
    std::u16string below;
    switch (dirId) {
        case kDirPrinterDrivers:
            ok = GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(Wide(environment)), 1,
                                            reinterpret_cast<BYTE*>(buffer), sizeof buffer, &needed);
            break;
        case kDirPrintProcessors:
            ok = GetPrintProcessorDirectoryW(nullptr, const_cast<wchar_t*>(Wide(environment)), 1,
                                             reinterpret_cast<BYTE*>(buffer), sizeof buffer, &needed);
            break;
        case kDirColor:
            ok = GetSystemDirectoryW(buffer, MAX_PATH) != 0;
            below = u"spool\\drivers\\color";
            break;
        case kDirWindows: ok = GetWindowsDirectoryW(buffer, MAX_PATH) != 0; break;
        default: ok = GetSystemDirectoryW(buffer, MAX_PATH) != 0; break;  // 11, 66002
    }
    if (!ok) return Fail(failure, GetLastError(), "the folder of directory id " + std::to_string(dirId) + " is not available");
    *dir = JoinPath(Text(buffer), below);
    return true;
}

// The driver of this name is installed for the environment.
bool DriverInstalled(const std::u16string& name, std::u16string& environment) {
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversW(nullptr, Wide(environment), 1, nullptr, 0, &needed, &returned);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversW(nullptr, Wide(environment), 1, buffer.data(), needed, &needed, &returned)) return false;
    auto* drivers = reinterpret_cast<DRIVER_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        if (EqualsNoCase(View(reinterpret_cast<const WCHAR*>(drivers[i].pName)), name)) return true;
    return false;
}

// SetupAPI copies the files, with its default handling and no window: a file it cannot copy
// fails the queue.
bool CopyWithSetupApi(const std::vector<std::pair<std::u16string, std::u16string>>& copies, Failure* failure) {
    HSPFILEQ queue = SetupOpenFileQueue();
    if (queue == INVALID_HANDLE_VALUE) return Fail(failure, GetLastError(), "SetupAPI cannot open a file queue");
    for (const auto& [from, to] : copies) {
        std::u16string fromDir = Folder(from), fromName = FileName(from), toDir = Folder(to), toName = FileName(to);
        if (!SetupQueueCopyW(queue, Wide(fromDir), nullptr, Wide(fromName), nullptr, nullptr, Wide(toDir),
                             Wide(toName), SP_COPY_NOSKIP)) {
            DWORD e = GetLastError();
            SetupCloseFileQueue(queue);
            return Fail(failure, e, "SetupAPI cannot queue " + ToUtf8(from));
        }
    }
    void* context = SetupInitDefaultQueueCallbackEx(nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, 0, nullptr);
    BOOL ok = SetupCommitFileQueueW(nullptr, queue, SetupDefaultQueueCallbackW, context);
    DWORD e = GetLastError();
    SetupTermDefaultQueueCallback(context);
    SetupCloseFileQueue(queue);
    if (!ok) return Fail(failure, e, "SetupAPI could not copy the driver's files");
    return true;
}

}  // namespace

bool InstallPrinterFromInf(const InstallRequest& request, Failure* failure) {
    if (!CheckPrinterName(request.printerName, failure)) return false;

    // SetupAPI must take the file as a printer INF: a wrong style or class stops here.
    UINT errorLine = 0;
    HINF setupInf = SetupOpenInfFileW(Wide(request.infPath), L"Printer", INF_STYLE_WIN4, &errorLine);
    if (setupInf == INVALID_HANDLE_VALUE)
        return Fail(failure, GetLastError(), "SetupAPI does not open \"" + ToUtf8(request.infPath) +
                                                 "\" as a printer INF (line " + std::to_string(errorLine) + ")");
    SetupCloseInfFile(setupInf);

    auto inf = LoadInf(request.infPath, failure);
    if (!inf || !CheckPrinterInf(*inf, failure)) return false;
    Arch arch = NativeArch();
    InfSource package{FileName(request.infPath), std::move(*inf), Folder(request.infPath)};
    MachineInfs system;
    auto model = SelectModel(package, request.model, arch, system, failure);
    if (!model) return false;

    std::u16string environment = EnvironmentName(arch);
    std::vector<std::pair<std::u16string, std::u16string>> copies;  // source, target
    for (const auto& f : model->files) {
        std::u16string source = JoinPath(f.sourceDir, f.sourceName);
        std::error_code ec;
        DWORD error = 0;
        auto host = HostPath(source, &error);
        if (!host || !fs::is_regular_file(*host, ec))
            return Fail(failure, ERROR_FILE_NOT_FOUND,
                        f.system ? "the file \"" + ToUtf8(f.sourceName) + "\" that the system's " + ToUtf8(f.inf) +
                                       " names is missing from its package in " + ToUtf8(f.sourceDir)
                                 : "the driver file \"" + ToUtf8(f.sourceName) + "\" that the INF names is not in " +
                                       ToUtf8(f.sourceDir));
        std::u16string dir;
        if (!TargetDirectory(f.dirId, environment, &dir, failure)) return false;
        copies.emplace_back(source, JoinPath(JoinPath(dir, f.subdir), f.name));
    }
    if (!PortExists(request.port, failure) || !PrinterAbsent(request.printerName, failure)) return false;
    if (!CopyWithSetupApi(copies, failure)) return false;

    // The driver's files now lie in the printer driver directory, where the spooler takes
    // them from.
    std::u16string driverDir;
    if (!TargetDirectory(kDirPrinterDrivers, environment, &driverDir, failure)) return false;
    auto inDriverDir = [&](const std::u16string& name) { return name.empty() ? name : JoinPath(driverDir, name); };
    std::u16string driverPath = inDriverDir(model->driverFile), dataPath = inDriverDir(model->dataFile),
                   configPath = inDriverDir(model->configFile), helpPath = inDriverDir(model->helpFile);
    std::u16string dependents;
    for (const auto& name : model->DependentFiles()) {
        dependents += inDriverDir(name);
        dependents += u'\0';
    }
    dependents += u'\0';
    std::u16string driverName = model->name, monitor = model->monitorName;

    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = Wide(driverName);
    driver.pEnvironment = Wide(environment);
    driver.pDriverPath = Wide(driverPath);
    driver.pDataFile = Wide(dataPath);
    driver.pConfigFile = Wide(configPath);
    driver.pHelpFile = helpPath.empty() ? nullptr : Wide(helpPath);
    driver.pDependentFiles = Wide(dependents);
    driver.pMonitorName = monitor.empty() ? nullptr : Wide(monitor);
    bool newDriver = !DriverInstalled(driverName, environment);
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
        return Fail(failure, GetLastError(), "the driver \"" + ToUtf8(driverName) + "\" cannot be added");

    std::u16string printerName = request.printerName, port = request.port, processor = u"winprint",
                   datatype = u"RAW";
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = Wide(printerName);
    printer.pPortName = Wide(port);
    printer.pDriverName = Wide(driverName);
    printer.pPrintProcessor = Wide(processor);
    printer.pDatatype = Wide(datatype);
    printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (!h) {
        DWORD e = GetLastError();
        // Nothing half-done: the driver goes again when it came only for this printer.
        if (newDriver && !DeletePrinterDriverExW(nullptr, Wide(environment), Wide(driverName), DPD_DELETE_UNUSED_FILES, 3))
            DeletePrinterDriverExW(nullptr, Wide(environment), Wide(driverName), 0, 0);
        return Fail(failure, e, "the printer \"" + ToUtf8(printerName) + "\" cannot be added");
    }
    ClosePrinter(h);
    return true;
}

}  // namespace printui
