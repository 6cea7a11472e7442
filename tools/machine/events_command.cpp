// drovan-machine events: the machine's event log, where the print UI records its
// failures (HKLM\SYSTEM\DrovanEvents, one numbered key per event).
//   events          every event, oldest first
//   events clear    empties the log
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "json.h"
#include "platform/sim/store.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace tool {
namespace {

constexpr const char16_t* kEventLog = u"SYSTEM\\DrovanEvents";

struct EventRecord {
    std::string number, source, level, message, commandLine, time;
    DWORD code = 0;
};

std::string StringValue(HKEY key, const char16_t* name) {
    WCHAR data[4096] = {};
    DWORD size = sizeof data - sizeof(WCHAR), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return sim::ToUtf8(std::u16string(data, wcsnlen(data, size / sizeof(WCHAR))));
}

std::vector<EventRecord> ReadEvents() {
    std::vector<EventRecord> out;
    HKEY log;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventLog, 0, KEY_READ, &log) != ERROR_SUCCESS) return out;
    WCHAR name[64];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 64;
        if (RegEnumKeyExW(log, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY key;
        if (RegOpenKeyExW(log, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        EventRecord e;
        e.number = sim::ToUtf8(std::u16string(name, cch));
        e.source = StringValue(key, u"Source");
        e.level = StringValue(key, u"Level");
        e.message = StringValue(key, u"Message");
        e.commandLine = StringValue(key, u"CommandLine");
        e.time = StringValue(key, u"Time");
        DWORD size = sizeof e.code, type = 0;
        if (RegQueryValueExW(key, u"Code", nullptr, &type, reinterpret_cast<BYTE*>(&e.code), &size) !=
                ERROR_SUCCESS || type != REG_DWORD)
            e.code = 0;
        RegCloseKey(key);
        out.push_back(std::move(e));
    }
    RegCloseKey(log);
    return out;  // the numbers have eight digits: the registry's order is the log's
}

bool ClearEvents() {
    HKEY log;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventLog, 0, KEY_ALL_ACCESS, &log);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return false;
    WCHAR name[64];
    bool ok = true;
    for (;;) {
        DWORD cch = 64;
        if (RegEnumKeyExW(log, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (RegDeleteKeyW(log, name) != ERROR_SUCCESS) {
            ok = false;
            break;
        }
    }
    RegCloseKey(log);
    return ok;
}

}  // namespace

int CmdEvents(Context& c, const Args& args) {
    if (args.size() == 1 && args[0] == "clear") {
        if (ClearEvents()) return 0;
        *c.err << "drovan-machine: the event log of " << c.folder.string() << " cannot be cleared\n";
        return 1;
    }
    if (!args.empty()) {
        *c.err << "drovan-machine: events takes nothing or 'clear' (see drovan-machine --help)\n";
        return 2;
    }
    try {
        auto events = ReadEvents();
        if (c.json) {
            *c.out << "[";
            for (size_t i = 0; i < events.size(); ++i) {
                const auto& e = events[i];
                *c.out << (i ? "," : "") << "{\"number\":" << JsonString(e.number)
                       << ",\"time\":" << JsonString(e.time) << ",\"source\":" << JsonString(e.source)
                       << ",\"level\":" << JsonString(e.level) << ",\"code\":" << e.code
                       << ",\"message\":" << JsonString(e.message)
                       << ",\"commandLine\":" << JsonString(e.commandLine) << "}";
            }
            *c.out << "]\n";
            return 0;
        }
        if (events.empty()) *c.out << "No events.\n";
        for (const auto& e : events) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code));
            *c.out << e.number << "  " << e.time << "  " << e.level << "  " << e.source << "  "
                   << e.code << " (" << code << ")\n    " << e.message << "\n    "
                   << e.commandLine << "\n";
        }
        return 0;
    } catch (const sim::StoreError& e) {
        *c.err << "drovan-machine: the machine database in " << c.folder.string()
               << " failed: " << e.message << "\n";
        return 1;
    }
}

}  // namespace tool
