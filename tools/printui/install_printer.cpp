#include "install_printer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "platform/sim/faults.h"
#include "platform/sim/file_changes.h"
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

// The package's files, found by name in their folders as Windows finds them (without
// regard to case), each folder read once however many files it holds.
class PackageFolders {
public:
    // The host path of name in the Windows folder dir (empty: the current folder), or
    // nullopt when there is no such entry.
    std::optional<fs::path> Find(const std::u16string& dir, const std::u16string& name) {
        auto it = m_folders.find(dir);
        if (it == m_folders.end()) {
            Folder f;
            DWORD error = 0;
            if (auto host = sim::HostPath(dir.empty() ? u"." : dir, &error)) {
                f.host = *host;
                sim::Fd fd(open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
                if (fd) f.names = sim::FolderNames(fd.Get());
            }
            it = m_folders.emplace(dir, std::move(f)).first;
        }
        auto found = it->second.names.Find(name);
        if (!found) return std::nullopt;
        return it->second.host / *found;
    }

private:
    struct Folder {
        fs::path host;
        sim::FolderNames names;
    };
    std::unordered_map<std::u16string, Folder> m_folders;
};

// Whether the host path is a link (the entry itself, not what it points to).
bool IsLink(const fs::path& host) {
    struct stat st {};
    return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

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
    // The print UI runs as the system: what it reads from a package must be the package's
    // own files, never a link to something else on the machine.
    DWORD error = 0;
    if (auto inf = sim::HostPath(request.infPath, &error); inf && IsLink(*inf))
        return Fail(failure, sim::kErrorStoppedOnSymlink,
                    "the INF file \"" + ToUtf8(request.infPath) + "\" is a link; a package's files must be its own");
    auto inf = LoadInf(request.infPath, failure);
    if (!inf || !CheckPrinterInf(*inf, failure)) return false;
    Arch arch = PackageArch(sim::CurrentMachine().Settings().arch);
    InfSource package{FileName(request.infPath), std::move(*inf), Folder(request.infPath)};
    MachineInfs system;
    auto model = SelectModel(package, request.model, arch, system, failure);
    if (!model) return false;

    // Every file lies in its package: the vendor's beside the INF, the system's in the
    // driver store (names compare case-insensitively), each a file of its own.
    PackageFolders folders;
    std::vector<std::pair<const PackageFile*, fs::path>> sources;  // file, host path
    for (const auto& f : model->files) {
        auto host = folders.Find(f.sourceDir, f.sourceName);
        std::error_code ec;
        std::u16string dir = f.sourceDir.empty() ? u"the current folder" : f.sourceDir;
        if (host && IsLink(*host))
            return Fail(failure, sim::kErrorStoppedOnSymlink,
                        "the driver file \"" + ToUtf8(f.sourceName) + "\" in " + ToUtf8(dir) +
                            " is a link; a package's files must be its own");
        if (!host || !fs::is_regular_file(*host, ec))
            return Fail(failure, ERROR_FILE_NOT_FOUND,
                        f.system ? "the file \"" + ToUtf8(f.sourceName) + "\" that the system's " +
                                       ToUtf8(f.inf) + " names is missing from its package in " + ToUtf8(dir)
                                 : "the driver file \"" + ToUtf8(f.sourceName) + "\" that the INF names is not in " +
                                       ToUtf8(dir));
        sources.emplace_back(&f, *host);
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
    std::vector<fs::path> targetFolders;
    auto addFolder = [&](const std::u16string& windowsFolder) {
        auto host = sim::HostPath(windowsFolder, &error);
        if (host && std::find(targetFolders.begin(), targetFolders.end(), *host) == targetFolders.end())
            targetFolders.push_back(*host);
        return host.has_value();
    };
    if (!addFolder(TargetDirectory(kDirPrinterDrivers, driverDir)))
        return Fail(failure, error, "the printer driver directory is not available");
    struct Elsewhere {
        const PackageFile* file;
        fs::path source, target;
    };
    std::vector<Elsewhere> elsewhere;
    for (const auto& [file, source] : sources) {
        if (file->dirId == kDirPrinterDrivers) continue;
        auto host = sim::HostPath(target(*file), &error);
        if (!host || !addFolder(Folder(target(*file))))
            return Fail(failure, error, "the file \"" + ToUtf8(file->name) + "\" cannot be copied to " +
                                            ToUtf8(target(*file)));
        elsewhere.push_back({file, source, *host});
    }

    // A language monitor's file is brought by the package or is the system's already.
    std::u16string monitorPath = u"C:\\Windows\\System32\\" + model->monitorFile;
    if (!model->monitorName.empty()) {
        bool brought = std::any_of(elsewhere.begin(), elsewhere.end(),
                                   [&](const Elsewhere& e) { return EqualsNoCase(target(*e.file), monitorPath); });
        auto host = sim::HostPath(monitorPath, &error);
        std::error_code ec;
        if (!brought && (!host || !fs::is_regular_file(*host, ec)))
            return Fail(failure, ERROR_FILE_NOT_FOUND, "the language monitor \"" + ToUtf8(model->monitorName) +
                                                           "\" needs " + ToUtf8(monitorPath) +
                                                           ", which the package does not bring");
    }

    // The files change with the transaction that records the driver and the printer
    // (platform/sim/file_changes.h): staged beside their places, put there as it commits,
    // gone if it does not; a kill at any moment is finished or undone by the next process
    // to open the machine. Files the INF renames are first copied under their installed
    // names into a scratch folder of this attempt's own (the spooler takes a driver's files
    // by name), one nobody can guess or make before us.
    auto& db = sim::CurrentMachine().Db();
    auto files = sim::FileChanges::Begin(db, targetFolders, &error, "printui");
    if (!files) return Fail(failure, error, "the machine's files cannot be changed");
    std::unordered_map<std::u16string, std::u16string> driverPaths;  // folded installed name -> path
    for (const auto& [file, host] : sources) {
        if (file->dirId != kDirPrinterDrivers) continue;
        std::u16string path = sim::WindowsPath(host);
        if (!EqualsNoCase(file->name, file->sourceName)) {
            auto copy = files->CopyToScratch(host, ToUtf8(file->name), &error);
            if (!copy)
                return Fail(failure, error, "the driver file \"" + ToUtf8(file->sourceName) + "\" cannot be copied");
            path = sim::WindowsPath(*copy);
        }
        driverPaths.emplace(Fold(file->name), path);
    }
    auto pathOf = [&](const std::u16string& name) -> std::u16string {
        auto it = driverPaths.find(Fold(name));
        return it == driverPaths.end() ? std::u16string() : it->second;
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
            files->Join();
            if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
                abortWith(GetLastError(), "the driver \"" + ToUtf8(driverName) + "\" cannot be added");
            for (const auto& f : elsewhere)
                if (DWORD e = files->Put(f.source, f.target))
                    abortWith(e, "the file \"" + ToUtf8(f.file->name) + "\" cannot be copied to " +
                                     ToUtf8(target(*f.file)));
            if (!monitor.empty())
                if (DWORD e = RegisterMonitor(monitor, model->monitorFile))
                    abortWith(e, "the language monitor \"" + ToUtf8(monitor) + "\" cannot be registered");
            sim::CrashPoint("printui-between-driver-and-printer");
            HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
            // Another print UI may have taken the name since it was checked: the same
            // failure as when it was taken before, and this attempt leaves nothing.
            if (!h && GetLastError() == ERROR_PRINTER_ALREADY_EXISTS)
                abortWith(ERROR_PRINTER_ALREADY_EXISTS, "a printer named \"" + ToUtf8(printerName) + "\" already exists");
            if (!h) abortWith(GetLastError(), "the printer \"" + ToUtf8(printerName) + "\" cannot be added");
            ClosePrinter(h);
        });
    } catch (const sim::StoreError& e) {
        if (faultsUsed) KeepFaultsUsed(db, faultsBefore, *faultsUsed);
        if (abort.code == 0 && files->Error())
            abort = {files->Error(), "the driver's files cannot be put in place: " + files->ErrorText()};
        if (abort.code == 0) abort = {ERROR_REGISTRY_CORRUPT, "the machine's store failed: " + e.message};
        return Fail(failure, abort.code, abort.message);
    }
    return true;
}

}  // namespace printui
