#include "event_log.h"

#include <cstdio>
#include <ctime>

#include "machine.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/registry.h"

namespace sim {
namespace {

bool SetString(HKEY key, const char16_t* name, const std::u16string& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))) == ERROR_SUCCESS;
}

std::u16string UtcNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return ToUtf16(buf);
}

}  // namespace

bool RecordEvent(const Event& event) {
    auto& db = CurrentMachine().Db();
    try {
        // One transaction: two print UIs failing at once get numbers of their own.
        return db.Write([&] {
            HKEY log = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventLogKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &log, nullptr) != ERROR_SUCCESS)
                return false;
            DWORD next = 1, size = sizeof next, type = 0;
            if (RegQueryValueExW(log, u"NextEvent", nullptr, &type, reinterpret_cast<BYTE*>(&next),
                                 &size) != ERROR_SUCCESS ||
                type != REG_DWORD)
                next = 1;
            char name[16];
            std::snprintf(name, sizeof name, "%08u", static_cast<unsigned>(next));
            HKEY key = nullptr;
            bool ok = RegCreateKeyExW(log, ToUtf16(name).c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
            if (ok) {
                DWORD code = event.code;
                ok = SetString(key, u"Source", event.source) &&
                     SetString(key, u"Level", event.level) &&
                     RegSetValueExW(key, u"Code", 0, REG_DWORD, reinterpret_cast<BYTE*>(&code),
                                    sizeof code) == ERROR_SUCCESS &&
                     SetString(key, u"Message", event.message) &&
                     SetString(key, u"CommandLine", event.commandLine) &&
                     SetString(key, u"Time", UtcNow());
                RegCloseKey(key);
            }
            ++next;
            if (ok)
                ok = RegSetValueExW(log, u"NextEvent", 0, REG_DWORD, reinterpret_cast<BYTE*>(&next),
                                    sizeof next) == ERROR_SUCCESS;
            RegCloseKey(log);
            // A half-written event is taken back whole.
            if (!ok) throw StoreError{SQLITE_ABORT, "the event cannot be written"};
            return true;
        });
    } catch (const StoreError&) {
        return false;
    }
}

}  // namespace sim
