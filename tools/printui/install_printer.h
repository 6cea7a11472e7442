// /if: installs a printer from an INF driver package. Everything is checked before
// anything changes: the model is offered for this machine's architecture, the system
// INF sections it needs exist, every file it names lies in its package (the vendor's
// beside the INF, the system's in the driver store) and is no link, the port exists and
// the printer does not. Then, in one transaction of the machine, the spooler stages the
// driver's files and records the driver, the files that go elsewhere (colour profiles, a
// language monitor) are staged, the monitor is registered and the printer is created; the
// staged files take their places as it commits (platform/sim/file_changes.h). A failure
// or a kill anywhere leaves the machine as it was, and a second print UI installing the
// same driver at once never loses its files to this one.
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
