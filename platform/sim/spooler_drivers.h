// Installing and removing printer drivers with their files: the work behind
// AddPrinterDriverExW and DeletePrinterDriverExW, shared with drovan-machine.
#pragma once

#include <string>
#include <vector>

#include "spooler_store.h"

namespace sim::spool {

struct DriverSource {
    std::u16string name;
    const Environment* env = nullptr;
    // Windows paths of the files to copy. A name without a folder is looked for in the
    // driver file's folder, as the dependent files of a driver package are.
    std::u16string driverPath, dataFile, configFile, helpFile;
    std::vector<std::u16string> dependentFiles;
    std::u16string monitor, datatype;
};

// Copies the files into the environment's driver folder (with APD_COPY_NEW_FILES only
// those newer than the ones there) and records the driver. Files are in place before the
// record names them. checkSpooler: fail with RPC_S_SERVER_UNAVAILABLE while it is down.
DWORD InstallDriver(const DriverSource& source, DWORD copyFlags, bool checkSpooler);

// Removes a driver: ERROR_UNKNOWN_PRINTER_DRIVER when there is none, and
// ERROR_PRINTER_DRIVER_IN_USE while a printer uses it or the spooler holds it. With
// DPD_DELETE_UNUSED_FILES the files no other driver names go too; with
// DPD_DELETE_ALL_FILES all of them, refused while another driver shares one.
DWORD DeleteDriver(const Environment& env, std::u16string_view name, DWORD deleteFlags,
                   DWORD version, bool checkSpooler);

}  // namespace sim::spool
