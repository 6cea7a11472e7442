#include "install_printer.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/sim/paths.h"
#include "platform/sim/spooler_lookup.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using sim::EqualsNoCase;
using sim::ToUtf8;

namespace printui {
namespace {

constexpr std::uintmax_t kMaxInfBytes = 16 * 1024 * 1024;

bool Fail(Failure* failure, DWORD code, std::string message) {
    *failure = {code, std::move(message)};
    return false;
}

std::u16string Folder(const std::u16string& path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

const char16_t* EnvironmentName(sim::Arch arch) {
    switch (arch) {
        case sim::Arch::X86: return u"Windows NT x86";
        case sim::Arch::X64: return u"Windows x64";
        case sim::Arch::IA64: return u"Windows IA64";
        case sim::Arch::ARM64: return u"Windows ARM64";
    }
    return u"Windows x64";
}

// Printer names may not hold a comma, an exclamation mark or a backslash, and Windows
// keeps them to 220 characters.
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
        if (ports[i].pName && EqualsNoCase(sim::View(ports[i].pName), port)) return true;
    return Fail(failure, ERROR_UNKNOWN_PORT, "the port \"" + ToUtf8(port) + "\" does not exist");
}

bool PrinterAbsent(const std::u16string& name, Failure* failure) {
    bool exists = false;
    if (DWORD error = sim::spool::LocalPrinterExists(name, &exists))
        return Fail(failure, error, "the spooler's printers cannot be read");
    if (exists)
        return Fail(failure, ERROR_PRINTER_ALREADY_EXISTS,
                    "a printer named \"" + ToUtf8(name) + "\" already exists");
    return true;
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

std::optional<InfFile> LoadInf(const std::u16string& infPath, Failure* failure) {
    DWORD error = 0;
    auto host = sim::HostPath(infPath, &error);
    if (!host) {
        Fail(failure, error, "the INF file \"" + ToUtf8(infPath) + "\" cannot be found");
        return std::nullopt;
    }
    std::error_code ec;
    if (!fs::is_regular_file(*host, ec)) {
        bool folder = fs::is_directory(host->parent_path(), ec);
        Fail(failure, folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND,
             "the INF file \"" + ToUtf8(infPath) + "\" cannot be found");
        return std::nullopt;
    }
    if (fs::file_size(*host, ec) > kMaxInfBytes) {
        Fail(failure, kErrorGeneralSyntax, "the INF file \"" + ToUtf8(infPath) + "\" is too large");
        return std::nullopt;
    }
    auto bytes = ReadWhole(*host);
    if (!bytes) {
        Fail(failure, ERROR_ACCESS_DENIED, "the INF file \"" + ToUtf8(infPath) + "\" cannot be read");
        return std::nullopt;
    }
    std::u16string text;
    std::string why;
    if (!DecodeInfText(*bytes, GetACP(), &text, &why)) {
        Fail(failure, kErrorGeneralSyntax, "the INF file \"" + ToUtf8(infPath) + "\": " + why);
        return std::nullopt;
    }
    InfSyntaxError syntax;
    auto inf = InfFile::Parse(text, &syntax);
    if (!inf) {
        Fail(failure, kErrorGeneralSyntax, "the INF file \"" + ToUtf8(infPath) + "\", line " +
                                               std::to_string(syntax.line) + ": " + syntax.message);
        return std::nullopt;
    }
    return inf;
}

bool InstallPrinterFromInf(const InstallRequest& request, Failure* failure) {
    if (!CheckPrinterName(request.printerName, failure)) return false;
    auto inf = LoadInf(request.infPath, failure);
    if (!inf || !CheckPrinterInf(*inf, failure)) return false;
    sim::Arch arch = sim::CurrentMachine().Settings().arch;
    auto model = SelectModel(*inf, request.model, arch, failure);
    if (!model) return false;

    // The package's files, found beside the INF (names compare case-insensitively).
    DWORD error = 0;
    std::u16string infDir = Folder(request.infPath);
    std::vector<std::pair<const PackageFile*, std::u16string>> sources;  // file, Windows path
    for (const auto& f : model->files) {
        std::u16string dir = f.sourceDir.empty() ? infDir : infDir + u"\\" + f.sourceDir;
        std::u16string path = dir + u"\\" + f.sourceName;
        auto host = sim::HostPath(path, &error);
        std::error_code ec;
        if (!host || !fs::is_regular_file(*host, ec))
            return Fail(failure, ERROR_FILE_NOT_FOUND,
                        "the driver file \"" + ToUtf8(f.sourceName) + "\" that the INF names is not in " +
                            ToUtf8(dir));
        sources.emplace_back(&f, sim::WindowsPath(*host));
    }
    if (!PortExists(request.port, failure) || !PrinterAbsent(request.printerName, failure))
        return false;

    // Files the INF renames are staged under their installed names.
    Staging staging;
    for (auto& [file, path] : sources) {
        if (EqualsNoCase(file->name, file->sourceName)) continue;
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

    // What the driver directory holds now, to put back if the attempt fails.
    std::u16string env = EnvironmentName(arch);
    WCHAR driverDir[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, env.data(), 1, reinterpret_cast<BYTE*>(driverDir),
                                    sizeof driverDir, &needed))
        return Fail(failure, GetLastError(), "the printer driver directory is not available");
    std::vector<Previous> before;
    for (const auto& f : model->files) {
        auto host = sim::HostPath(std::u16string(driverDir) + u"\\3\\" + f.name, &error);
        if (host) before.push_back({*host, ReadWhole(*host)});
    }

    auto pathOf = [&](const std::u16string& name) -> std::u16string {
        for (auto& [file, path] : sources)
            if (EqualsNoCase(file->name, name)) return path;
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
                   port = request.port;

    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = driverName.data();
    driver.pEnvironment = env.data();
    driver.pDriverPath = driverPath.data();
    driver.pDataFile = dataPath.data();
    driver.pConfigFile = configPath.data();
    driver.pHelpFile = helpPath.empty() ? nullptr : helpPath.data();
    driver.pDependentFiles = dependents.data();

    std::u16string processor = u"winprint", datatype = u"RAW";
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = printerName.data();
    printer.pPortName = port.data();
    printer.pDriverName = driverName.data();
    printer.pPrintProcessor = processor.data();
    printer.pDatatype = datatype.data();
    printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;

    // The driver and the printer in one transaction of the machine's store: the spooler's
    // calls join it, and aborting it takes back the driver's record with the printer's.
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
