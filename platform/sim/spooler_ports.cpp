// WINSPOOL's port enumeration, wide and ANSI. The ANSI form converts every string through
// the machine's ANSI code page, so a Simplified Chinese machine reports its local monitor
// as the GBK bytes of its name.
#include "spooler_call.h"
#include "spooler_pack.h"
#include "win32/spooler.h"

using namespace sim;
using namespace sim::spool;

namespace {

template <class Info1, class Info2, class Char>
DWORD PackPorts(Store& db, DWORD level, LPBYTE buf, DWORD cb, LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) return RPC_X_NULL_REF_POINTER;
    std::vector<Port> ports = Ports(db);
    if (level == 1)
        return PackRecords<Info1, Char>(
            ports.size(), [&](size_t i, Info1& r, auto& s) { r.pName = s.Put(ports[i].name); }, buf,
            cb, needed, returned);
    if (level == 2)
        return PackRecords<Info2, Char>(
            ports.size(),
            [&](size_t i, Info2& r, auto& s) {
                r.pPortName = s.Put(ports[i].name);
                r.pMonitorName = s.Put(ports[i].monitorName);
                r.pDescription = s.Put(ports[i].description);
                r.fPortType = ports[i].type;
                r.Reserved = 0;
            },
            buf, cb, needed, returned);
    return ERROR_INVALID_LEVEL;
}

}  // namespace

BOOL EnumPortsW(LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned) {
    return SpoolerCall("EnumPortsW", false, [&](Store& db) -> DWORD {
        if (!LocalServer(pName, true)) return ERROR_INVALID_NAME;
        return PackPorts<PORT_INFO_1W, PORT_INFO_2W, WCHAR>(db, Level, pPorts, cbBuf, pcbNeeded,
                                                             pcReturned);
    });
}

BOOL EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned) {
    return SpoolerCall("EnumPortsA", false, [&](Store& db) -> DWORD {
        if (!LocalServer(pName, false)) return ERROR_INVALID_NAME;
        return PackPorts<PORT_INFO_1A, PORT_INFO_2A, char>(db, Level, pPorts, cbBuf, pcbNeeded,
                                                            pcReturned);
    });
}
