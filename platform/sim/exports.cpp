#include "exports.h"

namespace sim {

const std::vector<Library>& KnownLibraries() {
    // Every library the installer loads or names. Exports are added beside the code that
    // implements them.
    static const std::vector<Library> libraries = {
        {u"kernel32.dll", {}}, {u"user32.dll", {}},   {u"gdi32.dll", {}},
        {u"advapi32.dll", {}}, {u"shell32.dll", {}},  {u"comctl32.dll", {}},
        {u"setupapi.dll", {}}, {u"winspool.drv", {}}, {u"gdiplus.dll", {}},
        {u"printui.dll", {}},
    };
    return libraries;
}

}  // namespace sim
