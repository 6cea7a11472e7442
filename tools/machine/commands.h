// The verbs of drovan-machine. Each returns the process's exit status: 0 done, 1 the
// machine refused or failed, 2 the command line was wrong.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tool {

struct Context {
    std::filesystem::path folder;
    bool json = false;
    std::ostream* out;
    std::ostream* err;
};

using Args = std::vector<std::string>;

int CmdInit(Context& c, const Args& args);
int CmdShow(Context& c, const Args& args);
int CmdReg(Context& c, const Args& args);
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
