// Questions about one name that the simulated machine's own programs ask the spooler
// (the print UI's "is this printer name taken?"), answered inside the spooler by looking
// the name up, where a caller of the Win32 interface would enumerate every printer.
//
// Each is one spooler call, failing as one: an injected fault on the call's name (for
// example `drovan-machine fault set LocalPrinterExists 1722`), a stopped spooler
// (RPC_S_SERVER_UNAVAILABLE) and a failing store (ERROR_REGISTRY_CORRUPT) give their error.
#pragma once

#include <string_view>

#include "win32/types.h"

namespace sim::spool {

// ERROR_SUCCESS with *exists set: whether a local printer has this name, compared as the
// spooler compares printer names (case-insensitively). Connections are not local printers.
DWORD LocalPrinterExists(std::u16string_view name, bool* exists);

}  // namespace sim::spool
