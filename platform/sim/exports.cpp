#include "exports.h"

#include "win32/spooler.h"

namespace sim {

namespace {

template <class F>
FARPROC Proc(F* f) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

}  // namespace

const std::vector<Library>& KnownLibraries() {
    // Every library the installer loads or names. Exports are added beside the code that
    // implements them.
    static const std::vector<Library> libraries = {
        {u"kernel32.dll", {}}, {u"user32.dll", {}},   {u"gdi32.dll", {}},
        {u"advapi32.dll", {}}, {u"shell32.dll", {}},  {u"comctl32.dll", {}},
        {u"setupapi.dll", {}},
        {u"winspool.drv",
         {
             // The ordinals of the default-printer calls are fixed; programs look them up
             // by number.
             {"SetDefaultPrinterW", 204, Proc(&SetDefaultPrinterW)},
             {"GetDefaultPrinterW", 203, Proc(&GetDefaultPrinterW)},
             {"SetDefaultPrinterA", 202, Proc(&SetDefaultPrinterA)},
             {"EnumPrintersW", 0, Proc(&EnumPrintersW)},
             {"OpenPrinterW", 0, Proc(&OpenPrinterW)},
             {"GetPrinterW", 0, Proc(&GetPrinterW)},
             {"SetPrinterW", 0, Proc(&SetPrinterW)},
             {"DeletePrinter", 0, Proc(&DeletePrinter)},
             {"ClosePrinter", 0, Proc(&ClosePrinter)},
             {"AddPrinterW", 0, Proc(&AddPrinterW)},
             {"AddPrinterDriverExW", 0, Proc(&AddPrinterDriverExW)},
             {"GetPrinterDriverDirectoryW", 0, Proc(&GetPrinterDriverDirectoryW)},
             {"EnumPrinterDriversW", 0, Proc(&EnumPrinterDriversW)},
             {"DeletePrinterDriverExW", 0, Proc(&DeletePrinterDriverExW)},
             {"EnumPortsW", 0, Proc(&EnumPortsW)},
             {"EnumPortsA", 0, Proc(&EnumPortsA)},
         }},
        {u"gdiplus.dll", {}},
        {u"printui.dll", {}},
    };
    return libraries;
}

}  // namespace sim
