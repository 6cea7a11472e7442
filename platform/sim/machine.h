// The simulated machine: a folder holding the registry database (machine.db) and the
// files of drive C: (drive_c/). Every process that uses the machine (the installer, the
// print UI, drovan-machine, tests) opens the same folder.
//
// The folder is chosen by UseMachine(), else the DROVAN_MACHINE environment variable,
// else a default under the user's data directory; a missing machine is created with the
// default set-up on first use.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "store.h"
#include "win32/types.h"

namespace sim {

enum class Arch { X86, X64, IA64, ARM64 };

struct MachineSettings {
    Arch arch = Arch::X64;
    LANGID lang = 1033;
};

const char* ArchName(Arch arch);  // "x86", "x64", "ia64", "arm64"
std::optional<Arch> ParseArch(std::string_view name);
WORD ArchProcessorValue(Arch arch);  // PROCESSOR_ARCHITECTURE_*
LANGID LangFromLocale();             // zh_CN 2052, zh_TW 1028, else 1033
UINT AnsiCodePageFor(LANGID lang);   // 936 Simplified, 950 Traditional Chinese, else 1252

// How long the machine's settings are trusted without a look at the store.
inline constexpr std::chrono::milliseconds kSettingsRecheck{2};

class Machine {
public:
    // Opens the machine in folder, creating it (with settings) when the folder is
    // missing or empty. Returns null and a message naming the folder on failure.
    static std::unique_ptr<Machine> Open(const std::filesystem::path& folder,
                                         const MachineSettings* settingsForNew,
                                         std::string* error, bool* created = nullptr);

    const std::filesystem::path& Folder() const { return m_folder; }
    std::filesystem::path DriveC() const { return m_folder / "drive_c"; }
    Store& Db() { return *m_store; }

    // The machine's architecture and language, asked for by every code-page conversion.
    // They are kept, and read again (one small transaction) when this process changed them,
    // when a transaction of this process has seen the store change since, or when they are
    // kSettingsRecheck old: a change by another process is seen within that time, or at
    // once by a process that is using the machine.
    MachineSettings Settings();
    void SetSettings(const MachineSettings& settings);

private:
    Machine() = default;
    bool PrepareStore(std::string* error);
    std::filesystem::path m_folder;
    std::unique_ptr<Store> m_store;
    MachineSettings m_settings;
    bool m_settingsRead = false;
    int64_t m_settingsVersion = 0;    // the store's data version they were read at
    uint64_t m_settingsChanges = 0;   // the process's count of SetSettings then
    std::chrono::steady_clock::time_point m_settingsChecked;
};

std::filesystem::path DefaultMachineFolder();
std::filesystem::path SelectedMachineFolder();  // UseMachine, DROVAN_MACHINE or default

// Chooses the folder of this process's machine, closing a machine already open (tests
// give every case a fresh machine). Later Win32 calls use the new machine.
void UseMachine(const std::filesystem::path& folder);

// The machine of this process, opened on first use. If it cannot be opened the process
// cannot go on: the message, naming the folder, goes to standard error and the process
// exits with status 70.
Machine& CurrentMachine();

// Test hook: when DROVAN_SIM_CRASH names this point ("NAME", or "NAME:N" for the Nth time
// it is reached), the process kills itself here, in the middle of whatever it is doing, as
// a power cut of one process would.
void CrashPoint(const char* name);

}  // namespace sim
