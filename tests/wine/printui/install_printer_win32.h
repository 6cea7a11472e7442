// /if on Windows: installs a printer from an INF driver package through the system's own
// services, with the print UI's shared INF logic (tools/printui) deciding what the package
// installs. Everything is checked first (the INF opens in SetupAPI as a printer INF, the
// model is offered for this Windows' architecture, the system INF sections it needs exist,
// every file lies in its package, the port exists and the printer does not); then SetupAPI
// copies the files where the INF sends them (the driver's files into the printer driver
// directory), AddPrinterDriverExW takes the driver from there and AddPrinterW creates the
// printer. A printer that cannot be created takes a driver added for it along.
#pragma once

#include <string>

#include "driver_package.h"

namespace printui {

struct InstallRequest {
    std::u16string printerName;
    std::u16string infPath;
    std::u16string port;
    std::u16string model;
};

bool InstallPrinterFromInf(const InstallRequest& request, Failure* failure);

}  // namespace printui
