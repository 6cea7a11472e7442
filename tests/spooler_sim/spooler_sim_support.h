// Shared by the simulated spooler's tests: a fresh machine per test, drovan-machine on it,
// and short forms of the WINSPOOL calls the tests repeat.
#pragma once

#include <string>
#include <vector>

#include "fresh_machine.h"
#include "platform/win32.h"

constexpr DWORD kPoison = 0xdeadbeef;

class SpoolerMachine : public FreshMachine {
protected:
    CommandResult Tool(const std::string& args) const;
    // A driver package in the machine's temporary folder; returns the driver file's path.
    std::string WritePackage(const std::string& file);
    // Adds driver and printer NAME on port through drovan-machine; asserts it worked.
    void AddDriverAndPrinter(const std::string& name, const std::string& port = "LPT1:");
};

std::u16string U(const std::string& utf8);
std::vector<std::u16string> LocalPrinterNames();
// Stops or starts the Spooler service through the service control manager; the state
// reached when the call returns (pending, on a driven clock).
DWORD ControlSpooler(bool stop);
DWORD SpoolerState();
