// drovan-machine: shows and shapes a simulated Windows machine, the way an administrator
// inspects and changes a real one.
#include <iostream>

#include "commands.h"
#include "platform/sim/machine.h"

namespace {

const char kHelp[] = R"(usage: drovan-machine [--machine DIR] [--json] VERB ...

  init [--lang N] [--arch x86|x64|ia64|arm64]
                          create the machine (or change its language/architecture)
  show                    the machine's settings, ports and injected faults
  reg query PATH [NAME]   a key's values and subkeys, or one value
  reg set PATH NAME TYPE DATA...
                          set a value (REG_SZ text, REG_DWORD number, REG_BINARY hex,
                          REG_MULTI_SZ one argument per string); missing keys are created
  reg delete PATH [NAME]  delete a value, or a key with everything below it
  fault set OP ERROR [--once|--times N|--always]
                          make the Win32 operation OP fail with ERROR
  fault clear [OP]        remove one fault, or all
  fault list              the faults in force
  files [C:\FOLDER]       the files of drive C:

PATH starts with HKLM, HKCU, HKU or HKCR. The machine is DIR, else $DROVAN_MACHINE, else
the default machine in the user's data folder, created on first use.
)";

}  // namespace

int main(int argc, char** argv) {
    tool::Context c;
    c.out = &std::cout;
    c.err = &std::cerr;
    std::optional<std::filesystem::path> folder;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--machine" && i + 1 < argc) {
            folder = argv[++i];
        } else if (a == "--json") {
            c.json = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "drovan-machine: unknown option '" << a << "'\n" << kHelp;
            return 2;
        } else {
            break;
        }
    }
    if (i >= argc) {
        std::cerr << kHelp;
        return 2;
    }
    std::string verb = argv[i++];
    tool::Args args(argv + i, argv + argc);
    // Options may also follow the verb.
    for (auto it = args.begin(); it != args.end();) {
        if (*it == "--json") {
            c.json = true;
            it = args.erase(it);
        } else if (*it == "--machine" && it + 1 != args.end()) {
            folder = *(it + 1);
            it = args.erase(it, it + 2);
        } else {
            ++it;
        }
    }
    c.folder = folder ? std::filesystem::absolute(*folder) : sim::SelectedMachineFolder();
    sim::UseMachine(c.folder);

    if (verb == "init") return tool::CmdInit(c, args);
    if (verb == "show") return tool::CmdShow(c, args);
    if (verb == "reg") return tool::CmdReg(c, args);
    if (verb == "fault") return tool::CmdFault(c, args);
    if (verb == "files") return tool::CmdFiles(c, args);
    std::cerr << "drovan-machine: unknown verb '" << verb << "'\n" << kHelp;
    return 2;
}
