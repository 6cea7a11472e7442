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
                          set a value (REG_SZ and REG_EXPAND_SZ text, REG_DWORD and
                          REG_QWORD a number, decimal or 0x hex, REG_BINARY and REG_NONE
                          hex bytes, REG_MULTI_SZ one argument per string); missing keys
                          are created
  reg delete PATH [NAME]  delete a value, or a key with everything below it
  reg export PATH FILE [--regedit4]
                          write the key with everything below it to a registry file
                          ("Windows Registry Editor Version 5.00", UTF-16; with
                          --regedit4 "REGEDIT4" in the machine's ANSI code page); FILE
                          - is standard output
  reg import FILE         make the changes of a registry file (either format, from
                          regedit or reg export) in one transaction: all or nothing
  fault set OP ERROR [--once|--times N|--always] [--after N]
                          make the Win32 operation OP fail with ERROR (after N
                          calls that succeed)
  fault clear [OP]        remove one fault, or all
  fault list              the faults in force
  files [C:\FOLDER]       the files of drive C:
  events [clear]          the machine's event log (the print UI's failures)

  printers                the printers (local, then connections; * marks the default)
  drivers [--env E]       the printer drivers, with their files
  ports                   the ports, with their monitors
  jobs [PRINTER]          the queued print jobs
  printer add NAME --driver D --port P
                          add a local printer (a NAME of \\server\share adds a
                          connection to another machine's printer, without --port)
  printer delete NAME     delete a printer (one with jobs goes when its jobs do)
  driver add NAME [--env E] [--file F...]
                          install a driver: the first file is the driver, the others
                          its dependent files (host paths, or Windows paths)
  driver delete NAME [--env E]
                          delete a driver and the files no other driver uses
  driver hold NAME [--env E]
                          the spooler holds the driver: deleting it fails until the
                          spooler has been stopped and started again
  port add NAME [--monitor local|usb|tcpip]
  port delete NAME        add or delete a port
  job add PRINTER [DOCUMENT]
                          queue a print job
  default [NAME]          show or set the default printer
  service NAME status|stop|start [--no-wait]
                          a service's state, or stop or start it (Spooler: the print
                          spooler); waits until it is stopped or running
  usb attach ID SERIAL [--port N]
                          plug in a USB printer (ID like vid_0483&pid_5720): its device
                          interface, its port number N (default: the lowest free) and
                          its spooler port USB00N
  usb detach SERIAL       unplug it (the spooler keeps its port)
  usb list                the USB device interfaces

E is "Windows NT x86", "Windows x64", "Windows IA64" or "Windows ARM64" (default: the
machine's own). These verbs work while the spooler is stopped.

PATH starts with HKLM, HKCU, HKU or HKCR. The machine is DIR, else $DROVAN_MACHINE, else
the default machine in the user's data folder, created on first use.
)";

}  // namespace

int main(int argc, char** argv) {
    tool::Context c;
    c.out = &std::cout;
    c.err = &std::cerr;
    std::optional<std::filesystem::path> folder;
    auto usage = [&](const std::string& what) {
        std::cerr << "drovan-machine: " << what << " (see drovan-machine --help)\n";
        return 2;
    };
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--machine") {
            if (i + 1 >= argc) return usage("--machine needs a folder");
            folder = argv[++i];
        } else if (a == "--json") {
            c.json = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return usage("unknown option '" + a + "'");
        } else {
            break;
        }
    }
    if (i >= argc) return usage("no verb given");
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
    if (verb == "events") return tool::CmdEvents(c, args);
    if (verb == "printers") return tool::CmdPrinters(c, args);
    if (verb == "drivers") return tool::CmdDrivers(c, args);
    if (verb == "ports") return tool::CmdPorts(c, args);
    if (verb == "jobs") return tool::CmdJobs(c, args);
    if (verb == "printer") return tool::CmdPrinter(c, args);
    if (verb == "driver") return tool::CmdDriver(c, args);
    if (verb == "port") return tool::CmdPort(c, args);
    if (verb == "job") return tool::CmdJob(c, args);
    if (verb == "default") return tool::CmdDefault(c, args);
    if (verb == "service") return tool::CmdService(c, args);
    if (verb == "usb") return tool::CmdUsb(c, args);
    return usage("unknown verb '" + verb + "'");
}
