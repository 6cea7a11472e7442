// Checks and names the print UI makes on the spooler before installing, the same in both
// homes: they go through the Win32 spooler calls only.
#pragma once

#include <string>

#include "driver_package.h"

namespace printui {

// The spooler's environment of an architecture: "Windows x64" and so on.
const char16_t* EnvironmentName(Arch arch);

// Printer names may not hold a comma, an exclamation mark or a backslash, and Windows
// keeps them to 220 characters.
bool CheckPrinterName(const std::u16string& name, Failure* failure);

// The port is one of the spooler's (ERROR_UNKNOWN_PORT otherwise).
bool PortExists(const std::u16string& port, Failure* failure);

// No printer has this name yet (ERROR_PRINTER_ALREADY_EXISTS otherwise).
bool PrinterAbsent(const std::u16string& name, Failure* failure);

}  // namespace printui
