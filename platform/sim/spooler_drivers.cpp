// WINSPOOL's driver calls, and the file work they share with drovan-machine.
#include "spooler_drivers.h"

#include <filesystem>
#include <functional>
#include <system_error>

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

struct Copy {
    fs::path source, target, temp;
    bool existed = false;
    bool needed = true;
};

DWORD Transact(bool write, bool checkSpooler, const std::function<DWORD(Store&)>& body) {
    if (checkSpooler) return InSpooler(write, body);
    try {
        Store& db = CurrentMachine().Db();
        return write ? db.Write([&] { return body(db); }) : db.Read([&] { return body(db); });
    } catch (const StoreError&) {
        return ERROR_REGISTRY_CORRUPT;
    }
}

}  // namespace

DWORD InstallDriver(const DriverSource& src, DWORD copyFlags, bool checkSpooler) {
    if (src.name.empty() || src.name.size() > 255 || src.name.find(u'\\') != std::u16string::npos)
        return ERROR_INVALID_PARAMETER;
    if (!src.env) return ERROR_INVALID_ENVIRONMENT;
    if (DWORD e = Transact(false, checkSpooler, [](Store&) { return DWORD{ERROR_SUCCESS}; }))
        return e;

    // Where every file comes from and goes to.
    std::u16string home = Folder(src.driverPath);
    std::vector<std::u16string> given = {src.driverPath, src.dataFile, src.configFile, src.helpFile};
    for (const auto& f : src.dependentFiles) given.push_back(f);
    DWORD error = 0;
    auto targetDir = HostPath(DriverVersionDirectory(*src.env, 3), &error);
    if (!targetDir) return error;
    std::vector<Copy> copies;
    std::vector<std::u16string> names;  // per given file, the name the record keeps
    for (const auto& g : given) {
        if (g.empty()) {
            names.emplace_back();
            continue;
        }
        std::u16string full = Folder(g).empty() && !home.empty() ? home + u"\\" + g : g;
        std::u16string name = FileName(full);
        names.push_back(name);
        bool seen = false;
        for (const auto& c : copies) seen = seen || EqualsNoCase(ToUtf16(c.target.filename().string()), name);
        if (seen) continue;
        auto source = HostPath(full, &error);
        std::error_code ec;
        if (!source || !fs::is_regular_file(*source, ec)) return ERROR_FILE_NOT_FOUND;
        Copy c;
        c.source = *source;
        c.target = *targetDir / ToUtf8(name);
        c.temp = *targetDir / (ToUtf8(name) + ".new~");
        c.existed = fs::exists(c.target, ec);
        if (c.existed && fs::equivalent(c.source, c.target, ec)) c.needed = false;
        if (c.needed && c.existed && (copyFlags & APD_COPY_NEW_FILES) &&
            !(copyFlags & APD_COPY_ALL_FILES) &&
            fs::last_write_time(c.target, ec) >= fs::last_write_time(c.source, ec))
            c.needed = false;  // the one in place is as new
        copies.push_back(std::move(c));
    }

    // Copy beside the targets first, then move into place: a failed copy leaves the old
    // files whole.
    std::error_code ec;
    fs::create_directories(*targetDir, ec);
    auto undoTemps = [&] {
        for (const auto& c : copies) fs::remove(c.temp, ec);
    };
    for (const auto& c : copies) {
        if (!c.needed) continue;
        if (!fs::copy_file(c.source, c.temp, fs::copy_options::overwrite_existing, ec)) {
            undoTemps();
            return ERROR_ACCESS_DENIED;
        }
    }
    for (const auto& c : copies) {
        if (!c.needed) continue;
        fs::rename(c.temp, c.target, ec);
        if (ec) {
            undoTemps();
            return ERROR_ACCESS_DENIED;
        }
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
    error = Transact(true, checkSpooler, [&](Store& db) -> DWORD {
        PutDriver(db, d);
        return ERROR_SUCCESS;
    });
    if (error) {
        // Nothing names the files that this call brought: take them away again.
        for (const auto& c : copies)
            if (c.needed && !c.existed) fs::remove(c.target, ec);
    }
    return error;
}

DWORD DeleteDriver(const Environment& env, std::u16string_view name, DWORD deleteFlags,
                   DWORD version, bool checkSpooler) {
    if (deleteFlags & ~static_cast<DWORD>(DPD_DELETE_UNUSED_FILES | DPD_DELETE_SPECIFIC_VERSION |
                                          DPD_DELETE_ALL_FILES))
        return ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> files;
    Driver gone;
    DWORD error = Transact(true, checkSpooler, [&](Store& db) -> DWORD {
        files.clear();
        auto d = FindDriver(db, env, name);
        if (!d) return ERROR_UNKNOWN_PRINTER_DRIVER;
        if ((deleteFlags & DPD_DELETE_SPECIFIC_VERSION) && version != d->version)
            return ERROR_UNKNOWN_PRINTER_DRIVER;
        if (DriverInUse(db, *d)) return ERROR_PRINTER_DRIVER_IN_USE;
        if (deleteFlags & DPD_DELETE_ALL_FILES) {
            for (const auto& other : Drivers(db, env)) {
                if (other.key == d->key || other.version != d->version) continue;
                for (const auto& f : other.Files())
                    for (const auto& mine : d->Files())
                        if (EqualsNoCase(f, mine)) return ERROR_PRINTER_DRIVER_IN_USE;
            }
        }
        std::vector<std::u16string> unused;
        bool withFiles = deleteFlags & (DPD_DELETE_UNUSED_FILES | DPD_DELETE_ALL_FILES);
        RemoveDriver(db, *d, withFiles ? &unused : nullptr);
        files = std::move(unused);
        gone = *d;
        return ERROR_SUCCESS;
    });
    if (error) return error;
    // The record is gone; its files follow. A file that cannot go stays as litter, which
    // a later installation overwrites.
    for (const auto& f : files) {
        DWORD e = 0;
        if (auto host = HostPath(DriverFilePath(gone, f), &e)) {
            std::error_code ec;
            fs::remove(*host, ec);
        }
    }
    return ERROR_SUCCESS;
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
