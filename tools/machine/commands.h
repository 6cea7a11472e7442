// The verbs of drovan-machine. Each returns the process's exit status: 0 done, 1 the
// machine refused or failed, 2 the command line was wrong.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace tool {

struct Context {
    std::filesystem::path folder;
    bool json = false;
    std::ostream* out;
    std::ostream* err;
};

using Args = std::vector<std::string>;

// "drovan-machine: WHAT (see drovan-machine --help)"; status 2.
int Usage(Context& c, const std::string& what);
// "drovan-machine: WHAT"; status 1.
int Refused(Context& c, const std::string& what);

// Opens the command's machine before anything touches it: a folder that is not a machine
// is this command's error (status 1), not a reason to exit from inside the store.
bool ReadyMachine(Context& c);

// Runs body(store) on the command's machine; a failing store is status 1 with its message.
template <class F>
int OnMachine(Context& c, F&& body) {
    if (!ReadyMachine(c)) return 1;
    try {
        return body(sim::CurrentMachine().Db());
    } catch (const sim::StoreError& e) {
        return Refused(c, "the machine database in " + c.folder.string() + " failed: " + e.message);
    }
}

int CmdInit(Context& c, const Args& args);
int CmdShow(Context& c, const Args& args);
int CmdReg(Context& c, const Args& args);
// reg export PATH FILE [--regedit4] and reg import FILE (regfile_commands.cpp).
int CmdRegExport(Context& c, const Args& args);
int CmdRegImport(Context& c, const Args& args);
int CmdFault(Context& c, const Args& args);
int CmdFiles(Context& c, const Args& args);
int CmdEvents(Context& c, const Args& args);

// The print spooler and the service control manager (spooler_commands.cpp).
int CmdPrinters(Context& c, const Args& args);
int CmdDrivers(Context& c, const Args& args);
int CmdPorts(Context& c, const Args& args);
int CmdJobs(Context& c, const Args& args);
int CmdPrinter(Context& c, const Args& args);
int CmdDriver(Context& c, const Args& args);
int CmdPort(Context& c, const Args& args);
int CmdJob(Context& c, const Args& args);
int CmdDefault(Context& c, const Args& args);
int CmdService(Context& c, const Args& args);
int CmdUsb(Context& c, const Args& args);

}  // namespace tool
