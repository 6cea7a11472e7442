#include "machine.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "defaults.h"
#include "file_changes.h"
#include "spooler_index.h"
#include "system_drivers.h"

namespace fs = std::filesystem;

namespace sim {

const char* ArchName(Arch arch) {
    switch (arch) {
        case Arch::X86: return "x86";
        case Arch::X64: return "x64";
        case Arch::IA64: return "ia64";
        case Arch::ARM64: return "arm64";
    }
    return "x64";
}

std::optional<Arch> ParseArch(std::string_view name) {
    if (name == "x86") return Arch::X86;
    if (name == "x64" || name == "amd64") return Arch::X64;
    if (name == "ia64") return Arch::IA64;
    if (name == "arm64") return Arch::ARM64;
    return std::nullopt;
}

WORD ArchProcessorValue(Arch arch) {
    switch (arch) {
        case Arch::X86: return 0;
        case Arch::X64: return 9;
        case Arch::IA64: return 6;
        case Arch::ARM64: return 12;
    }
    return 9;
}

LANGID LangFromLocale() {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* n : names) {
        const char* v = std::getenv(n);
        if (!v || !*v) continue;
        if (std::strncmp(v, "zh_CN", 5) == 0) return 2052;
        if (std::strncmp(v, "zh_TW", 5) == 0) return 1028;
        return 1033;
    }
    return 1033;
}

UINT AnsiCodePageFor(LANGID lang) {
    // Chinese as written in the PRC and Singapore, and as written in Taiwan, Hong Kong and Macao.
    if (lang == 2052 || lang == 4100) return 936;
    if (lang == 1028 || lang == 3076 || lang == 5124) return 950;
    return 1252;
}

namespace {

std::string ReadSetting(Store& db, const char* key) {
    auto s = db.Prepare("SELECT value FROM machine WHERE key=?");
    s.Bind(1, key);
    return s.Step() ? s.Text(0) : std::string();
}

void WriteSetting(Store& db, const char* key, const std::string& value) {
    auto s = db.Prepare(
        "INSERT INTO machine(key, value) VALUES(?, ?) "
        "ON CONFLICT(key) DO UPDATE SET value=excluded.value");
    s.Bind(1, key).Bind(2, value).Run();
}

bool IsEmptyDir(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec) && fs::is_empty(p, ec);
}

}  // namespace

std::unique_ptr<Machine> Machine::Open(const fs::path& folder,
                                       const MachineSettings* settingsForNew,
                                       std::string* error, bool* created) {
    std::error_code ec;
    fs::path db = folder / "machine.db";
    bool exists = fs::exists(db, ec);
    if (created) *created = false;
    auto machine = std::unique_ptr<Machine>(new Machine);
    machine->m_folder = folder;
    if (!exists) {
        if (fs::exists(folder, ec) && !IsEmptyDir(folder)) {
            if (!fs::is_directory(folder, ec))
                *error = "the machine folder " + folder.string() + " is not a folder";
            else
                *error = "the folder " + folder.string() +
                         " is not a machine folder (it has no machine.db and is not empty)";
            return nullptr;
        }
        fs::create_directories(folder, ec);
        if (ec) {
            *error = "cannot create the machine folder " + folder.string() + ": " + ec.message();
            return nullptr;
        }
        fs::create_directories(folder / "drive_c", ec);
        if (ec) {
            *error = "cannot create drive C: in the machine folder " + folder.string() + ": " +
                     ec.message();
            return nullptr;
        }
        machine->m_store = Store::Create(db.string(), error);
        if (!machine->m_store || !machine->PrepareStore(error)) return nullptr;
        MachineSettings settings = settingsForNew ? *settingsForNew : MachineSettings{};
        if (!settingsForNew) settings.lang = LangFromLocale();
        try {
            machine->Db().Write([&] {
                // Only the first creator sets the machine up; a racing one finds it done.
                if (!ReadSetting(machine->Db(), "arch").empty()) return;
                WriteSetting(machine->Db(), "arch", ArchName(settings.arch));
                WriteSetting(machine->Db(), "lang", std::to_string(settings.lang));
                PopulateDefaultRegistry(machine->Db());
            });
        } catch (const StoreError& e) {
            *error = "cannot set up the machine in " + folder.string() + ": " + e.message;
            return nullptr;
        }
        PopulateDefaultFiles(machine->DriveC());
        if (created) *created = true;
        return machine;
    }
    machine->m_store = Store::Open(db.string(), error);
    if (!machine->m_store || !machine->PrepareStore(error)) return nullptr;
    WriteSystemDrivers(machine->DriveC());  // machines older than the system's drivers
    return machine;
}

// What the simulated machine keeps in its store beside the registry, made when a machine
// lacks it (one made by an older build).
bool Machine::PrepareStore(std::string* error) {
    try {
        spool::EnsurePrinterIndex(*m_store);
        // Driver files of processes killed halfway: finished or undone before anything
        // else looks at them.
        RecoverFileChanges(*m_store, m_folder / "drive_c");
        return true;
    } catch (const StoreError& e) {
        *error = "cannot prepare the machine in " + m_folder.string() + ": " + e.message;
        return false;
    }
}

namespace {
// SetSettings of any machine object of this process: another object on the same folder
// reads its settings again.
std::atomic<uint64_t> g_settingsChanges{0};
}  // namespace

MachineSettings Machine::Settings() {
    Store& db = Db();
    std::lock_guard lock(db.Mutex());
    auto now = std::chrono::steady_clock::now();
    // Code-page conversions ask for every string: no transaction while nothing says the
    // settings may have changed.
    if (m_settingsRead && m_settingsChanges == g_settingsChanges && now - m_settingsChecked < kSettingsRecheck &&
        m_settingsVersion == db.LastDataVersion())
        return m_settings;
    try {
        db.Read([&] {
            MachineSettings s;
            s.arch = ParseArch(ReadSetting(db, "arch")).value_or(Arch::X64);
            std::string lang = ReadSetting(db, "lang");
            char* end = nullptr;
            unsigned long id = std::strtoul(lang.c_str(), &end, 10);
            if (!lang.empty() && *end == 0 && id > 0 && id <= 0xFFFF) s.lang = static_cast<LANGID>(id);
            m_settings = s;
            m_settingsVersion = db.LastDataVersion();  // of this transaction's snapshot
        });
        m_settingsRead = true;
        m_settingsChanges = g_settingsChanges;
        m_settingsChecked = now;
    } catch (const StoreError&) {
    }
    return m_settings;
}

void Machine::SetSettings(const MachineSettings& settings) {
    Db().Write([&] {
        WriteSetting(Db(), "arch", ArchName(settings.arch));
        WriteSetting(Db(), "lang", std::to_string(settings.lang));
    });
    ++g_settingsChanges;
}

fs::path DefaultMachineFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return fs::path(xdg) / "drovan" / "machine";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "drovan" / "machine";
}

namespace {

struct Current {
    std::mutex mutex;
    std::optional<fs::path> chosen;
    std::unique_ptr<Machine> machine;
};

Current& TheCurrent() {
    static Current* c = new Current;  // used by threads that may outlive main
    return *c;
}

}  // namespace

fs::path SelectedMachineFolder() {
    Current& c = TheCurrent();
    {
        std::lock_guard lock(c.mutex);
        if (c.chosen) return *c.chosen;
    }
    const char* env = std::getenv("DROVAN_MACHINE");
    if (env && *env) return fs::absolute(env);
    return DefaultMachineFolder();
}

void UseMachine(const fs::path& folder) {
    Current& c = TheCurrent();
    std::lock_guard lock(c.mutex);
    c.chosen = fs::absolute(folder);
    c.machine.reset();
}

Machine& CurrentMachine() {
    Current& c = TheCurrent();
    {
        std::lock_guard lock(c.mutex);
        if (c.machine) return *c.machine;
    }
    fs::path folder = SelectedMachineFolder();
    std::string error;
    auto machine = Machine::Open(folder, nullptr, &error);
    if (!machine) {
        std::fprintf(stderr, "drovan: simulated machine unavailable: %s\n", error.c_str());
        std::_Exit(70);
    }
    std::lock_guard lock(c.mutex);
    if (!c.machine) c.machine = std::move(machine);
    return *c.machine;
}

void CrashPoint(const char* name) {
    // "NAME" or "NAME:N", the Nth time the point is reached (from 1).
    struct Wanted {
        std::string name;
        long at = 1;
        std::atomic<long> seen{0};
    };
    static Wanted* wanted = [] {
        const char* v = std::getenv("DROVAN_SIM_CRASH");
        if (!v || !*v) return static_cast<Wanted*>(nullptr);
        auto* w = new Wanted;
        w->name = v;
        if (size_t colon = w->name.rfind(':'); colon != std::string::npos) {
            w->at = std::max(1L, std::strtol(w->name.c_str() + colon + 1, nullptr, 10));
            w->name.resize(colon);
        }
        return w;
    }();
    if (wanted && wanted->name == name && ++wanted->seen == wanted->at) kill(getpid(), SIGKILL);
}

}  // namespace sim
