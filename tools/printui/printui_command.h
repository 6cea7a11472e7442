// The print UI's command line. rundll32 hands PrintUIEntry the text after
// "PRINTUI.DLL,PrintUIEntry"; PrintUIEntry splits it by Windows' rules and reads its
// switches. Switches are case-sensitive, as the real entry point's are; a value follows
// its switch as the next argument or is joined to it (/n"name").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "driver_package.h"

namespace printui {

// One rundll32 call: the library, the entry point and the text handed to it.
struct Rundll32Call {
    std::u16string library;
    std::u16string entry;
    std::u16string arguments;
};

// Parses rundll32's whole command line (program name first).
std::optional<Rundll32Call> ParseRundll32(std::u16string_view commandLine, Failure* failure);

// True when the call names PrintUIEntry of printui.dll (with or without a folder or
// extension; the entry point's name is case-sensitive, as GetProcAddress's is).
bool IsPrintUiEntry(const Rundll32Call& call, Failure* failure);

struct PrintUiCommand {
    std::u16string command;  // "if": install a printer from an INF file
    std::optional<std::u16string> basePrinterName;  // /b
    std::optional<std::u16string> printerName;      // /n
    std::optional<std::u16string> infPath;          // /f
    std::optional<std::u16string> port;             // /r
    std::optional<std::u16string> model;            // /m
    bool quiet = false;                             // /q

    // The name of the printer /if creates: /b when given, else /n.
    std::u16string NewPrinterName() const {
        return basePrinterName ? *basePrinterName : printerName.value_or(u"");
    }
};

// Parses PrintUIEntry's arguments and checks that the command has what it needs. An
// unknown command or switch is ERROR_INVALID_PARAMETER with the print UI's message.
std::optional<PrintUiCommand> ParsePrintUiEntry(std::u16string_view arguments, Failure* failure);

}  // namespace printui
