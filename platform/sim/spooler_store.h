// The print spooler's records in the machine's registry, laid out the way Windows keeps
// them. Every function here runs inside the caller's transaction; the WINSPOOL calls and
// drovan-machine both build on them.
//
//   HKLM\SYSTEM\CurrentControlSet\Control\Print
//     Printers\<name>                  Name, Printer Driver, Port, Attributes, Status, ...
//       Jobs\<00001>                   Document, Status, Pages, Submitted (one key per job)
//     Environments\<environment>       Directory (w32x86, x64, ia64, arm64)
//       Drivers\Version-3\<name>       Driver, Data File, Configuration File, Help File,
//                                      Dependent Files, Monitor, Datatype, Version
//     Monitors\Local Port              the local ports are the value names of
//                                      HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports
//     Monitors\USB Monitor\Ports\<USB001>
//     Monitors\Standard TCP/IP Port\Ports\<name>   HostName, IPAddress, PortNumber
//     NextJobId                        the next job's number
//   HKCU\Printers\Connections\<,,server,share>     Server, Provider, Printer Driver
//   HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows   Device = "name,winspool,Ne00:"
//
// A driver's files live in C:\Windows\System32\spool\drivers\<directory>\3\.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"
#include "store.h"
#include "win32/types.h"

namespace sim::spool {

// ---- Printers -------------------------------------------------------------------------

struct Printer {
    int64_t key = 0;
    bool connection = false;
    std::u16string name;    // as the spooler reports it: "Q", or "\\server\share"
    std::u16string server;  // "\\server" for a connection, empty for a local printer
    std::u16string shareName, port, driver, comment, location, sepFile;
    std::u16string printProcessor, datatype, parameters;
    DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0;
    DWORD status = 0;
    DWORD jobs = 0;
};

struct NewPrinter {
    std::u16string name, port, driver, shareName, comment, location, printProcessor, datatype,
        parameters, sepFile;
    DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0;
};

// Local printers in the spooler's order (by name, case-insensitive), from the table of
// printers the spooler keeps (spooler_index.h: LocalPrinterTable, which the enumeration
// packs from without these copies), then connections.
std::vector<Printer> LocalPrinters(Store& db);
std::vector<Printer> Connections(Store& db);
// A local printer or a connection by name (case-insensitive), looked up by its key;
// nullopt when none.
std::optional<Printer> FindPrinter(Store& db, std::u16string_view name);
std::optional<Printer> PrinterByKey(Store& db, int64_t key, bool connection);

// Names a printer may not have: empty, too long, or with a backslash or comma.
bool ValidPrinterName(std::u16string_view name);

// ERROR_SUCCESS with *key set, ERROR_INVALID_PRINTER_NAME, ERROR_PRINTER_ALREADY_EXISTS,
// ERROR_UNKNOWN_PORT, ERROR_UNKNOWN_PRINTER_DRIVER or ERROR_UNKNOWN_PRINTPROCESSOR.
DWORD CreatePrinter(Store& db, const NewPrinter& printer, int64_t* key);
// A connection to a printer of another machine ("\\server\share").
DWORD AddConnection(Store& db, std::u16string_view name, std::u16string_view driver);

// Deletes a printer. One with jobs left is only marked pending deletion and goes when its
// last job does. A connection is removed at once. *gone tells which happened.
DWORD RemovePrinter(Store& db, const Printer& printer, bool* gone = nullptr);
// Removes every job of the printer (and the printer, if it was pending deletion).
void PurgeJobs(Store& db, const Printer& printer);
void SetStatus(Store& db, const Printer& printer, DWORD status);

// ---- Jobs -----------------------------------------------------------------------------

struct Job {
    DWORD id = 0;
    std::u16string printer, document;
    DWORD status = 0, pages = 1;
    uint64_t submitted = 0;  // seconds since 1970
};

std::vector<Job> Jobs(Store& db, const Printer& printer);
DWORD AddJob(Store& db, const Printer& printer, std::u16string_view document, DWORD* id);

// ---- Drivers --------------------------------------------------------------------------

struct Environment {
    const char16_t* name;       // "Windows x64"
    const char16_t* directory;  // "x64"
    Arch arch;
};
const std::vector<Environment>& Environments();
// The environment of this name (case-insensitive); null or empty gives the machine's own.
const Environment* FindEnvironment(std::u16string_view name);
const Environment& CurrentEnvironment();

struct Driver {
    int64_t key = 0;
    std::u16string name;
    const Environment* env = nullptr;
    DWORD version = 3;
    // File names only, as the registry keeps them; Path() gives the full Windows path.
    std::u16string driverFile, dataFile, configFile, helpFile;
    std::vector<std::u16string> dependentFiles;
    std::u16string monitor, datatype;
    DWORD heldInRun = 0;  // the spooler run that holds it, 0 when none
    std::vector<std::u16string> Files() const;  // every file, each once, in order
};

// "C:\Windows\System32\spool\drivers\x64" and the version folder below it.
std::u16string DriverDirectory(const Environment& env);
std::u16string DriverVersionDirectory(const Environment& env, DWORD version);
std::u16string DriverFilePath(const Driver& driver, std::u16string_view file);

std::vector<Driver> Drivers(Store& db, const Environment& env);
std::optional<Driver> FindDriver(Store& db, const Environment& env, std::u16string_view name);
// Writes the driver's record (a new one, or an upgrade of one of the same name).
void PutDriver(Store& db, const Driver& driver);
// Whether a local printer uses the driver (looked up by name in the printers' index), or
// the spooler holds it in this run.
bool DriverInUse(Store& db, const Driver& driver);
bool DriverHeld(Store& db, const Driver& driver);
void HoldDriver(Store& db, const Driver& driver);
// Removes the record; *unusedFiles receives the driver's files that no other driver of the
// same environment and version names.
void RemoveDriver(Store& db, const Driver& driver, std::vector<std::u16string>* unusedFiles);

// ---- Ports ----------------------------------------------------------------------------

enum class Monitor { Local, Usb, TcpIp };

struct Port {
    std::u16string name;
    Monitor monitor = Monitor::Local;
    std::u16string monitorName;  // as PORT_INFO_2 reports it, in the machine's language
    std::u16string description;
    DWORD type = 0;
};

// Local ports, then USB ports, then standard TCP/IP ports.
std::vector<Port> Ports(Store& db);
bool PortExists(Store& db, std::u16string_view name);
// ERROR_SUCCESS, ERROR_ALREADY_EXISTS or ERROR_INVALID_PARAMETER (a bad name).
DWORD AddPort(Store& db, std::u16string_view name, Monitor monitor);
// ERROR_SUCCESS, ERROR_UNKNOWN_PORT, or ERROR_BUSY when a printer uses it.
DWORD DeletePort(Store& db, std::u16string_view name);

// ---- The default printer --------------------------------------------------------------

std::optional<std::u16string> DefaultPrinter(Store& db);
void MakeDefault(Store& db, const Printer& printer);
void ClearDefaultPrinter(Store& db);

// ---- The spooler service --------------------------------------------------------------

// RPC_S_SERVER_UNAVAILABLE while the spooler is stopped or on its way, else ERROR_SUCCESS.
DWORD SpoolerAvailable(Store& db);

// The machine's language for the texts the spooler reports.
bool ChineseMachine();

// Helpers for typed registry values.
DWORD ReadDword(Store& db, int64_t key, std::u16string_view name, DWORD fallback = 0);
std::u16string ReadString(Store& db, int64_t key, std::u16string_view name);

}  // namespace sim::spool
