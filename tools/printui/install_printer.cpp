#include "install_printer.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/sim/paths.h"
#include "platform/sim/text.h"
#include "platform/win32.h"
#include "printer_checks.h"
#include "system_infs.h"

namespace fs = std::filesystem;

namespace printui {
namespace {

bool Fail(Failure* failure, DWORD code, std::string message) {
    *failure = {code, std::move(message)};
    return false;
}

Arch PackageArch(sim::Arch arch) {
    switch (arch) {
        case sim::Arch::X86: return Arch::X86;
        case sim::Arch::X64: return Arch::X64;
        case sim::Arch::IA64: return Arch::IA64;
        case sim::Arch::ARM64: return Arch::ARM64;
    }
    return Arch::X64;
}


// The folder of a directory id, for the environment whose driver directory is given
// (C:\Windows\System32\spool\drivers\x64).
std::u16string TargetDirectory(DWORD dirId, const std::u16string& driverDir) {
    switch (dirId) {
        case kDirPrinterDrivers: return driverDir + u"\\3";
        case kDirPrintProcessors: return u"C:\\Windows\\System32\\spool\\prtprocs\\" + FileName(driverDir);
        case kDirColor: return u"C:\\Windows\\System32\\spool\\drivers\\color";
        case kDirWindows: return u"C:\\Windows";
        default: return u"C:\\Windows\\System32";  // kDirSystem, kDirPrintMonitors
    }
}

// Registers a language monitor with the spooler, as Windows' class installer does when a
// driver names one the machine does not have yet. Runs inside the caller's transaction.
DWORD RegisterMonitor(const std::u16string& name, const std::u16string& file) {
    std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + name;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG e = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, &disposition);
    if (e != ERROR_SUCCESS) return static_cast<DWORD>(e);
    if (disposition == REG_CREATED_NEW_KEY)
        e = RegSetValueExW(key, u"Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                           static_cast<DWORD>((file.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return static_cast<DWORD>(e);
}

// A file of the driver directory as it was before this attempt, to put back on failure.
struct Previous {
    fs::path path;
    std::optional<std::string> content;  // nullopt: there was no file
};

std::optional<std::string> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Restore(const std::vector<Previous>& before) {
    std::error_code ec;
    for (const auto& p : before) {
        if (!p.content) {
            fs::remove(p.path, ec);
        } else {
            auto now = ReadWhole(p.path);
            if (now != p.content) {
                std::ofstream out(p.path, std::ios::binary | std::ios::trunc);
                out << *p.content;
            }
        }
    }
}

// A staging folder for files the INF renames on copying; removed when it goes.
struct Staging {
    fs::path host;
    std::u16string windows;
    ~Staging() {
        std::error_code ec;
        if (!host.empty()) fs::remove_all(host, ec);
    }
};

// Puts the faults back as the aborted transaction had left them.
void KeepFaultsUsed(sim::Store& db, const std::vector<sim::Fault>& before,
                    const std::vector<sim::Fault>& used) {
    try {
        for (const auto& b : before) {
            const sim::Fault* now = nullptr;
            for (const auto& u : used)
                if (u.op == b.op) now = &u;
            if (!now)
                sim::ClearFault(db, b.op);
            else if (now->remaining != b.remaining)
                sim::SetFault(db, *now);
        }
    } catch (const sim::StoreError&) {
    }
}

}  // namespace

bool InstallPrinterFromInf(const InstallRequest& request, Failure* failure) {
    if (!CheckPrinterName(request.printerName, failure)) return false;
    auto inf = LoadInf(request.infPath, failure);
    if (!inf || !CheckPrinterInf(*inf, failure)) return false;
    Arch arch = PackageArch(sim::CurrentMachine().Settings().arch);
    InfSource package{FileName(request.infPath), std::move(*inf), Folder(request.infPath)};
    MachineInfs system;
    auto model = SelectModel(package, request.model, arch, system, failure);
    if (!model) return false;

    // Every file lies in its package: the vendor's beside the INF, the system's in the
    // driver store (names compare case-insensitively).
    DWORD error = 0;
    std::vector<std::pair<const PackageFile*, std::u16string>> sources;  // file, Windows path
    for (const auto& f : model->files) {
        std::u16string path = JoinPath(f.sourceDir, f.sourceName);
        auto host = sim::HostPath(path, &error);
        std::error_code ec;
        if (!host || !fs::is_regular_file(*host, ec)) {
            std::u16string dir = f.sourceDir.empty() ? u"the current folder" : f.sourceDir;
            return Fail(failure, ERROR_FILE_NOT_FOUND,
                        f.system ? "the file \"" + ToUtf8(f.sourceName) + "\" that the system's " +
                                       ToUtf8(f.inf) + " names is missing from its package in " + ToUtf8(dir)
                                 : "the driver file \"" + ToUtf8(f.sourceName) + "\" that the INF names is not in " +
                                       ToUtf8(dir));
        }
        sources.emplace_back(&f, sim::WindowsPath(*host));
    }
    if (!PortExists(request.port, failure) || !PrinterAbsent(request.printerName, failure))
        return false;

    // Where the files go: the driver directory of this machine's environment, and the
    // system's other printing folders.
    std::u16string env = EnvironmentName(arch);
    WCHAR driverDir[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, env.data(), 1, reinterpret_cast<BYTE*>(driverDir),
                                    sizeof driverDir, &needed))
        return Fail(failure, GetLastError(), "the printer driver directory is not available");
    auto target = [&](const PackageFile& f) {
        return JoinPath(TargetDirectory(f.dirId, driverDir), f.subdir) + u"\\" + f.name;
    };

    // What those places hold now, to put back if the attempt fails.
    std::vector<Previous> before;
    for (const auto& f : model->files) {
        auto host = sim::HostPath(target(f), &error);
        if (host) before.push_back({*host, ReadWhole(*host)});
    }

    // Files the INF renames are staged under their installed names; the spooler copies
    // the driver's files by name.
    Staging staging;
    for (auto& [file, path] : sources) {
        if (file->dirId != kDirPrinterDrivers || EqualsNoCase(file->name, file->sourceName)) continue;
        std::error_code ec;
        if (staging.host.empty()) {
            auto temp = sim::HostPath(u"C:\\Windows\\Temp", &error);
            if (!temp) return Fail(failure, error, "the machine has no C:\\Windows\\Temp");
            staging.host = *temp / ("printui-" + std::to_string(GetCurrentProcessId()));
            fs::create_directories(staging.host, ec);
            staging.windows = sim::WindowsPath(staging.host);
        }
        DWORD e = 0;
        auto from = sim::HostPath(path, &e);
        fs::path to = staging.host / ToUtf8(file->name);
        if (!from || !fs::copy_file(*from, to, fs::copy_options::overwrite_existing, ec))
            return Fail(failure, ERROR_ACCESS_DENIED, "the driver file \"" + ToUtf8(file->sourceName) +
                                                          "\" cannot be copied");
        path = staging.windows + u"\\" + file->name;
    }

    // The files beyond the driver directory (colour profiles, monitors) are copied here.
    for (auto& [file, path] : sources) {
        if (file->dirId == kDirPrinterDrivers) continue;
        DWORD e = 0;
        auto from = sim::HostPath(path, &e);
        auto to = sim::HostPath(target(*file), &e);
        std::error_code ec;
        if (to) fs::create_directories(to->parent_path(), ec);
        if (!from || !to || !fs::copy_file(*from, *to, fs::copy_options::overwrite_existing, ec)) {
            Restore(before);
            return Fail(failure, ERROR_ACCESS_DENIED,
                        "the file \"" + ToUtf8(file->name) + "\" cannot be copied to " + ToUtf8(target(*file)));
        }
    }
    std::u16string monitorPath = u"C:\\Windows\\System32\\" + model->monitorFile;
    std::error_code ec;
    if (!model->monitorName.empty()) {
        auto host = sim::HostPath(monitorPath, &error);
        if (!host || !fs::is_regular_file(*host, ec)) {
            Restore(before);
            return Fail(failure, ERROR_FILE_NOT_FOUND, "the language monitor \"" + ToUtf8(model->monitorName) +
                                                           "\" needs " + ToUtf8(monitorPath) +
                                                           ", which the package does not bring");
        }
    }

    auto pathOf = [&](const std::u16string& name) -> std::u16string {
        for (auto& [file, path] : sources)
            if (file->dirId == kDirPrinterDrivers && EqualsNoCase(file->name, name)) return path;
        return std::u16string();
    };
    std::u16string driverPath = pathOf(model->driverFile), dataPath = pathOf(model->dataFile),
                   configPath = pathOf(model->configFile), helpPath = pathOf(model->helpFile);
    std::u16string dependents;
    for (const auto& name : model->DependentFiles()) {
        dependents += pathOf(name);
        dependents += u'\0';
    }
    dependents += u'\0';
    std::u16string driverName = model->name, printerName = request.printerName,
                   port = request.port, monitor = model->monitorName;

    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = driverName.data();
    driver.pEnvironment = env.data();
    driver.pDriverPath = driverPath.data();
    driver.pDataFile = dataPath.data();
    driver.pConfigFile = configPath.data();
    driver.pHelpFile = helpPath.empty() ? nullptr : helpPath.data();
    driver.pDependentFiles = dependents.data();
    driver.pMonitorName = monitor.empty() ? nullptr : monitor.data();

    std::u16string processor = u"winprint", datatype = u"RAW";
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = printerName.data();
    printer.pPortName = port.data();
    printer.pDriverName = driverName.data();
    printer.pPrintProcessor = processor.data();
    printer.pDatatype = datatype.data();
    printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;

    // The driver, its monitor and the printer in one transaction of the machine's store:
    // the spooler's and the registry's calls join it, and aborting it takes back the
    // driver's record with the printer's.
    struct Abort {
        DWORD code;
        std::string message;
    } abort{0, {}};
    auto& db = sim::CurrentMachine().Db();
    // Injected faults are kept in the same store: the ones the calls used up are noted
    // before the abort, so that rolling back does not arm them again.
    std::optional<std::vector<sim::Fault>> faultsUsed;
    auto abortWith = [&](DWORD code, std::string message) {
        abort = {code, std::move(message)};
        faultsUsed = sim::ListFaults(db);
        throw sim::StoreError{SQLITE_ABORT, abort.message};
    };
    std::vector<sim::Fault> faultsBefore = sim::ListFaults(db);
    try {
        db.Write([&] {
            if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
                abortWith(GetLastError(), "the driver \"" + ToUtf8(driverName) + "\" cannot be added");
            if (!monitor.empty())
                if (DWORD e = RegisterMonitor(monitor, model->monitorFile))
                    abortWith(e, "the language monitor \"" + ToUtf8(monitor) + "\" cannot be registered");
            sim::CrashPoint("printui-between-driver-and-printer");
            HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
            if (!h) abortWith(GetLastError(), "the printer \"" + ToUtf8(printerName) + "\" cannot be added");
            ClosePrinter(h);
        });
    } catch (const sim::StoreError& e) {
        Restore(before);
        if (faultsUsed) KeepFaultsUsed(db, faultsBefore, *faultsUsed);
        if (abort.code == 0) abort = {ERROR_REGISTRY_CORRUPT, "the machine's store failed: " + e.message};
        return Fail(failure, abort.code, abort.message);
    }
    return true;
}

}  // namespace printui
