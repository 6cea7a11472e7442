// A second process for the machine tests: writes registry values into the machine named
// by DROVAN_MACHINE.
//   sim_writer values KEY COUNT   COUNT values, one transaction each, under HKCU\KEY
//   sim_writer create PATH        RegCreateKeyExW of HKCU\PATH (for crash tests)
//   sim_writer open PATH          exits with RegOpenKeyExW's result (for fault tests)
#include <cstdlib>
#include <string>

#include "platform/sim/text.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc < 3) return 100;
    std::string verb = argv[1];
    std::u16string path = sim::ToUtf16(argv[2]);
    HKEY key = nullptr;
    if (verb == "values" && argc == 4) {
        int count = std::atoi(argv[3]);
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return 101;
        for (int i = 0; i < count; ++i) {
            std::u16string name = sim::ToUtf16("v" + std::to_string(i));
            DWORD data = static_cast<DWORD>(i);
            if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&data),
                               sizeof data) != ERROR_SUCCESS)
                return 102;
        }
        RegCloseKey(key);
        return 0;
    }
    if (verb == "create") {
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
        return rc == ERROR_SUCCESS ? 0 : 103;
    }
    if (verb == "open") {
        LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
        return static_cast<int>(rc);
    }
    return 100;
}
