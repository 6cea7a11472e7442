// /if: installs a printer from an INF driver package. Everything is checked before
// anything changes: the model is offered for this machine's architecture, the files the
// INF names lie in the package, the port exists and the printer does not. Then the
// spooler copies the files and records the driver, and the printer is created, all in
// one transaction of the machine: a failure (or a crash) between the driver and the
// printer leaves neither, and files brought only for this attempt are taken away again.
#pragma once

#include <string>

#include "driver_package.h"

namespace printui {

struct InstallRequest {
    std::u16string printerName;
    std::u16string infPath;  // a Windows path
    std::u16string port;
    std::u16string model;
};

bool InstallPrinterFromInf(const InstallRequest& request, Failure* failure);

// Reads and parses an INF file given by its Windows path.
std::optional<InfFile> LoadInf(const std::u16string& infPath, Failure* failure);

}  // namespace printui
