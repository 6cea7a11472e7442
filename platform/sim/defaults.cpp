#include "defaults.h"

#include "regtree.h"
#include "shell_programs.h"
#include "services_state.h"
#include "spooler_store.h"
#include "system_drivers.h"
#include "win32/services.h"

namespace sim {

void PopulateDefaultRegistry(Store& db) {
    using namespace reg;
    auto key = [&](int64_t root, std::u16string_view path) {
        return CreatePath(db, root, *SplitPath(path), nullptr);
    };
    key(kLocalMachine, u"SOFTWARE\\Classes");
    key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers");
    // The print spooler: no printers, an empty driver store per environment, the three
    // port monitors, and its service, running.
    int64_t local = key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port");
    SetString(db, local, u"Driver", u"localspl.dll");
    int64_t usb = key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\USB Monitor");
    SetString(db, usb, u"Driver", u"usbmon.dll");
    key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\USB Monitor\\Ports");
    int64_t tcp = key(kLocalMachine,
                      u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port");
    SetString(db, tcp, u"Driver", u"tcpmon.dll");
    key(kLocalMachine,
        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports");
    for (const auto& env : spool::Environments()) {
        int64_t e = key(kLocalMachine,
                        std::u16string(u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\") +
                            env.name);
        SetString(db, e, u"Directory", env.directory);
        CreatePath(db, e, {u"Drivers", u"Version-3"}, nullptr);
        CreatePath(db, e, {u"Print Processors", u"winprint"}, nullptr);
    }
    key(kCurrentUser, u"Printers\\Connections");
    key(kCurrentUser, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    svc::CreateService(db, u"Spooler", u"Print Spooler", u"%SystemRoot%\\System32\\spoolsv.exe",
                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
                       SERVICE_RUNNING);
    key(kCurrentUser, u"Software");
    key(kUsers, u".DEFAULT");

    // The local ports: the value names are the ports, the data their serial defaults.
    int64_t ports = key(kLocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
    for (const char16_t* com : {u"COM1:", u"COM2:", u"COM3:", u"COM4:"})
        SetString(db, ports, com, u"9600,n,8,1");
    for (const char16_t* other : {u"FILE:", u"LPT1:", u"LPT2:", u"LPT3:"})
        SetString(db, ports, other, u"");
}

void PopulateDefaultFiles(const std::filesystem::path& driveC) {
    std::error_code ec;
    for (const char* dir : {"Windows/System32/spool/drivers/w32x86/3",
                            "Windows/System32/spool/drivers/x64/3",
                            "Windows/System32/spool/drivers/ia64/3",
                            "Windows/System32/spool/drivers/arm64/3",
                            "Windows/System32/spool/PRINTERS", "Windows/Temp", "Program Files",
                            "Users/Public"})
        std::filesystem::create_directories(driveC / dir, ec);
    WriteSystemPrograms(driveC);
    WriteSystemDrivers(driveC);
}

}  // namespace sim
