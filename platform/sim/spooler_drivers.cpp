// WINSPOOL's driver calls, and the file work they share with drovan-machine.
#include "spooler_drivers.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <unordered_set>

#include "file_changes.h"
#include "paths.h"
#include "spooler_call.h"
#include "spooler_pack.h"
#include "text.h"
#include "win32/spooler.h"

namespace fs = std::filesystem;

namespace sim::spool {
namespace {

std::u16string FileName(std::u16string_view path) {
    size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

std::u16string Folder(std::u16string_view path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, cut));
}

DWORD Transact(bool write, bool checkSpooler, const std::function<DWORD(Store&)>& body) {
    if (checkSpooler) return InSpooler(write, body);
    try {
        Store& db = CurrentMachine().Db();
        return write ? db.Write([&] { return body(db); }) : db.Read([&] { return body(db); });
    } catch (const StoreError&) {
        return ERROR_REGISTRY_CORRUPT;
    }
}

// The set of file changes a driver's files join: the one of the caller's transaction (the
// print UI records the driver and its printer in one), else one of the call's own, begun
// before its transaction.
struct FileSet {
    std::unique_ptr<FileChanges> own;
    FileChanges* files = nullptr;
    DWORD error = ERROR_SUCCESS;

    FileSet(Store& db, const fs::path& folder) {
        files = FileChanges::Current(db);
        if (files) return;
        own = FileChanges::Begin(db, {folder}, &error);
        files = own.get();
    }
    // What the call's transaction returned, or why its files could not take their places.
    DWORD Outcome(DWORD transaction) const {
        return transaction == ERROR_REGISTRY_CORRUPT && files->Error() ? files->Error() : transaction;
    }
};

}  // namespace

DWORD InstallDriver(const DriverSource& src, DWORD copyFlags, bool checkSpooler) {
    if (src.name.empty() || src.name.size() > 255 || src.name.find(u'\\') != std::u16string::npos)
        return ERROR_INVALID_PARAMETER;
    if (!src.env) return ERROR_INVALID_ENVIRONMENT;
    if (DWORD e = Transact(false, checkSpooler, [](Store&) { return DWORD{ERROR_SUCCESS}; }))
        return e;

    // Where every file comes from and goes to; a name given twice is copied once.
    std::u16string home = Folder(src.driverPath);
    std::vector<std::u16string> given = {src.driverPath, src.dataFile, src.configFile, src.helpFile};
    for (const auto& f : src.dependentFiles) given.push_back(f);
    DWORD error = 0;
    auto targetDir = HostPath(DriverVersionDirectory(*src.env, 3), &error);
    if (!targetDir) return error;
    struct Copy {
        fs::path source, target;
    };
    std::vector<Copy> copies;
    std::vector<std::u16string> names;  // per given file, the name the record keeps
    std::unordered_set<std::u16string> seen;
    for (const auto& g : given) {
        if (g.empty()) {
            names.emplace_back();
            continue;
        }
        std::u16string full = Folder(g).empty() && !home.empty() ? home + u"\\" + g : g;
        std::u16string name = FileName(full);
        names.push_back(name);
        if (!seen.insert(Fold(name)).second) continue;
        auto source = HostPath(full, &error);
        std::error_code ec;
        if (!source || !fs::is_regular_file(*source, ec)) return ERROR_FILE_NOT_FOUND;
        copies.push_back({*source, *targetDir / ToUtf8(name)});
    }

    Driver d;
    d.name = src.name;
    d.env = src.env;
    d.version = 3;
    d.driverFile = names[0];
    d.dataFile = names[1];
    d.configFile = names[2];
    d.helpFile = names[3];
    for (size_t i = 4; i < names.size(); ++i) d.dependentFiles.push_back(names[i]);
    d.monitor = src.monitor;
    d.datatype = src.datatype;

    // The files are staged beside their places and the record written in one transaction;
    // they take their places as it commits (file_changes.h). Which files are needed is
    // decided under its lock: with APD_COPY_NEW_FILES only those newer than the ones there.
    Store& db = CurrentMachine().Db();
    FileSet set(db, *targetDir);
    if (!set.files) return set.error;
    error = Transact(true, checkSpooler, [&](Store& store) -> DWORD {
        size_t mark = set.files->Staged();
        for (const auto& c : copies) {
            struct stat source {};
            if (stat(c.source.c_str(), &source) != 0) {
                set.files->DropFrom(mark);
                return ERROR_FILE_NOT_FOUND;
            }
            if (auto there = set.files->Existing(c.target)) {
                if (there->st_dev == source.st_dev && there->st_ino == source.st_ino) continue;  // itself
                bool onlyNewer = (copyFlags & APD_COPY_NEW_FILES) && !(copyFlags & APD_COPY_ALL_FILES);
                auto newer = [](const timespec& a, const timespec& b) {
                    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
                };
                if (onlyNewer && !newer(source.st_mtim, there->st_mtim)) continue;  // as new there
            }
            if (DWORD e = set.files->Put(c.source, c.target)) {
                set.files->DropFrom(mark);
                return e;
            }
        }
        PutDriver(store, d);
        return ERROR_SUCCESS;
    });
    return set.Outcome(error);
}

DWORD DeleteDriver(const Environment& env, std::u16string_view name, DWORD deleteFlags,
                   DWORD version, bool checkSpooler) {
    if (deleteFlags & ~static_cast<DWORD>(DPD_DELETE_UNUSED_FILES | DPD_DELETE_SPECIFIC_VERSION |
                                          DPD_DELETE_ALL_FILES))
        return ERROR_INVALID_PARAMETER;
    DWORD error = 0;
    auto folder = HostPath(DriverVersionDirectory(env, 3), &error);
    if (!folder) return error;
    Store& db = CurrentMachine().Db();
    FileSet set(db, *folder);
    if (!set.files) return set.error;
    // The record goes, and its files no other driver names go with it as it commits.
    error = Transact(true, checkSpooler, [&](Store& store) -> DWORD {
        auto d = FindDriver(store, env, name);
        if (!d) return ERROR_UNKNOWN_PRINTER_DRIVER;
        if ((deleteFlags & DPD_DELETE_SPECIFIC_VERSION) && version != d->version)
            return ERROR_UNKNOWN_PRINTER_DRIVER;
        if (DriverInUse(store, *d)) return ERROR_PRINTER_DRIVER_IN_USE;
        std::unordered_set<std::u16string> shared;  // files other drivers of the version name
        for (const auto& other : Drivers(store, env))
            if (other.key != d->key && other.version == d->version)
                for (const auto& f : other.Files()) shared.insert(Fold(f));
        if (deleteFlags & DPD_DELETE_ALL_FILES)
            for (const auto& f : d->Files())
                if (shared.count(Fold(f))) return ERROR_PRINTER_DRIVER_IN_USE;
        // The files no other driver names are staged to go before the record does: a
        // failure there leaves the record as it is.
        if (deleteFlags & (DPD_DELETE_UNUSED_FILES | DPD_DELETE_ALL_FILES)) {
            size_t mark = set.files->Staged();
            for (const auto& f : d->Files()) {
                if (shared.count(Fold(f))) continue;
                if (DWORD e = set.files->Remove(*folder / ToUtf8(f))) {
                    set.files->DropFrom(mark);
                    return e;
                }
            }
        }
        RemoveDriver(store, *d, nullptr);
        return ERROR_SUCCESS;
    });
    return set.Outcome(error);
}

}  // namespace sim::spool

using namespace sim;
using namespace sim::spool;

namespace {

template <class T>
void FillDriver(const Driver& d, DWORD level, T& r, StringArea<WCHAR>& s) {
    if constexpr (std::is_same_v<T, DRIVER_INFO_1W>) {
        r.pName = s.Put(d.name);
    } else {
        r.cVersion = d.version;
        r.pName = s.Put(d.name);
        r.pEnvironment = s.Put(d.env->name);
        r.pDriverPath = s.Put(DriverFilePath(d, d.driverFile));
        r.pDataFile = s.Put(DriverFilePath(d, d.dataFile));
        r.pConfigFile = s.Put(DriverFilePath(d, d.configFile));
        if constexpr (std::is_same_v<T, DRIVER_INFO_3W>) {
            r.pHelpFile = s.Put(DriverFilePath(d, d.helpFile));
            std::vector<std::u16string> deps;
            for (const auto& f : d.dependentFiles) deps.push_back(DriverFilePath(d, f));
            r.pDependentFiles = s.PutList(deps);
            r.pMonitorName = s.Put(d.monitor);
            r.pDefaultDataType = s.Put(d.datatype);
        }
    }
    (void)level;
}

}  // namespace

BOOL AddPrinterDriverExW(LPWSTR pName, DWORD Level, LPBYTE pDriverInfo, DWORD dwFileCopyFlags) {
    DWORD error = 0;
    if (TakeFault("AddPrinterDriverExW", &error)) return Fail(error);
    if (!LocalServer(pName, true)) return Fail(ERROR_INVALID_NAME);
    if (Level != 2 && Level != 3) return Fail(ERROR_INVALID_LEVEL);
    if (!pDriverInfo) return Fail(ERROR_INVALID_PARAMETER);
    // Levels 2 and 3 start alike; level 3 adds the help and dependent files.
    const auto& info = *reinterpret_cast<const DRIVER_INFO_3W*>(pDriverInfo);
    if (!info.pName || !*info.pName || !info.pDriverPath || !info.pDataFile || !info.pConfigFile)
        return Fail(ERROR_INVALID_PARAMETER);
    DriverSource src;
    src.name = View(info.pName);
    src.env = FindEnvironment(View(info.pEnvironment));
    if (!src.env) return Fail(ERROR_INVALID_ENVIRONMENT);
    src.driverPath = View(info.pDriverPath);
    src.dataFile = View(info.pDataFile);
    src.configFile = View(info.pConfigFile);
    if (Level == 3) {
        src.helpFile = View(info.pHelpFile);
        for (const WCHAR* f = info.pDependentFiles; f && *f; f += View(f).size() + 1)
            src.dependentFiles.emplace_back(View(f));
        src.monitor = View(info.pMonitorName);
        src.datatype = View(info.pDefaultDataType);
    }
    error = InstallDriver(src, dwFileCopyFlags, true);
    return error ? Fail(error) : TRUE;
}

BOOL GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
    return SpoolerCall("GetPrinterDriverDirectoryW", false, [&](Store&) -> DWORD {
        if (!LocalServer(pName, true)) return ERROR_INVALID_NAME;
        if (Level != 1) return ERROR_INVALID_LEVEL;
        if (!pcbNeeded) return RPC_X_NULL_REF_POINTER;
        const Environment* env = FindEnvironment(View(pEnvironment));
        if (!env) return ERROR_INVALID_ENVIRONMENT;
        std::u16string dir = DriverDirectory(*env);
        DWORD needed = static_cast<DWORD>((dir.size() + 1) * sizeof(WCHAR));
        *pcbNeeded = needed;
        if (!pDriverDirectory || cbBuf < needed) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(pDriverDirectory, dir.c_str(), needed);
        return ERROR_SUCCESS;
    });
}

BOOL EnumPrinterDriversW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                         DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    return SpoolerCall("EnumPrinterDriversW", false, [&](Store& db) -> DWORD {
        if (!LocalServer(pName, true)) return ERROR_INVALID_NAME;
        if (!pcbNeeded || !pcReturned) return RPC_X_NULL_REF_POINTER;
        std::vector<Driver> list;
        if (pEnvironment && EqualsNoCase(View(pEnvironment), u"all")) {
            for (const auto& e : Environments())
                for (auto& d : Drivers(db, e)) list.push_back(std::move(d));
        } else {
            const Environment* env = FindEnvironment(View(pEnvironment));
            if (!env) return ERROR_INVALID_ENVIRONMENT;
            list = Drivers(db, *env);
        }
        auto pack = [&](auto tag) {
            using T = decltype(tag);
            return PackRecords<T, WCHAR>(
                list.size(), [&](size_t i, T& r, auto& s) { FillDriver(list[i], Level, r, s); },
                pDriverInfo, cbBuf, pcbNeeded, pcReturned);
        };
        switch (Level) {
            case 1: return pack(DRIVER_INFO_1W{});
            case 2: return pack(DRIVER_INFO_2W{});
            case 3: return pack(DRIVER_INFO_3W{});
            default: return ERROR_INVALID_LEVEL;
        }
    });
}

BOOL DeletePrinterDriverExW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pDriverName,
                            DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    DWORD error = 0;
    if (TakeFault("DeletePrinterDriverExW", &error)) return Fail(error);
    if (!LocalServer(pName, true)) return Fail(ERROR_INVALID_NAME);
    if (!pDriverName || !*pDriverName) return Fail(ERROR_INVALID_PARAMETER);
    const Environment* env = FindEnvironment(View(pEnvironment));
    if (!env) return Fail(ERROR_INVALID_ENVIRONMENT);
    error = DeleteDriver(*env, View(pDriverName), dwDeleteFlag, dwVersionFlag, true);
    return error ? Fail(error) : TRUE;
}
