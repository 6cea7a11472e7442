#include "defaults.h"

#include "regtree.h"

namespace sim {

void PopulateDefaultRegistry(Store& db) {
    using namespace reg;
    auto key = [&](int64_t root, std::u16string_view path) {
        return CreatePath(db, root, *SplitPath(path), nullptr);
    };
    key(kLocalMachine, u"SOFTWARE\\Classes");
    key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers");
    key(kLocalMachine, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port");
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
    for (const char* dir : {"Windows/System32/spool/drivers", "Windows/Temp", "Program Files",
                            "Users/Public"})
        std::filesystem::create_directories(driveC / dir, ec);
}

}  // namespace sim
