// /if: installs a printer from an INF driver package. Everything is checked before
// anything changes: the model is offered for this machine's architecture, the system
// INF sections it needs exist, every file it names lies in its package (the vendor's
// beside the INF, the system's in the driver store), the port exists and the printer
// does not. Then the files that go elsewhere (colour profiles, a language monitor) are
// copied, and the spooler copies the driver's files and records the driver, the monitor
// is registered and the printer is created, all in one transaction of the machine: a
// failure (or a crash) between the driver and the printer leaves neither, and files
// brought only for this attempt are taken away again.
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

}  // namespace printui
