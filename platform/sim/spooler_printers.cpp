// WINSPOOL's printer calls: enumeration, handles with the access they were opened with,
// the printer record, queue control, creation and deletion.
#include "handles.h"
#include "regtree.h"
#include "services_state.h"
#include "spooler_call.h"
#include "spooler_index.h"
#include "spooler_pack.h"
#include "text.h"
#include "win32/registry.h"
#include "win32/spooler.h"

namespace sim::spool {
namespace {

struct PrinterObject final : Object {
    static constexpr Kind kKind = Kind::Printer;
    Kind kind() const override { return kKind; }
    int64_t key = 0;  // the printer's key: a printer deleted and made again is another one
    bool connection = false;
    ACCESS_MASK access = 0;
    DWORD spoolerRun = 0;  // handles do not survive a restart of the spooler
};

ACCESS_MASK MapAccess(ACCESS_MASK access) {
    if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= PRINTER_ALL_ACCESS;
    if (access & GENERIC_READ) access |= PRINTER_READ;
    if (access & GENERIC_WRITE) access |= PRINTER_WRITE;
    if (access & GENERIC_EXECUTE) access |= PRINTER_EXECUTE;
    return access & ~static_cast<ACCESS_MASK>(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE |
                                              GENERIC_EXECUTE | MAXIMUM_ALLOWED);
}

// The printer behind an open handle, inside the call's transaction.
DWORD Resolve(Store& db, const PrinterObject& h, Printer* out) {
    if (h.spoolerRun != svc::SpoolerRunCount(db)) return ERROR_INVALID_HANDLE;
    auto p = PrinterByKey(db, h.key, h.connection);
    if (!p) return ERROR_INVALID_HANDLE;
    *out = std::move(*p);
    return ERROR_SUCCESS;
}

// A record of the records to pack: a row of one of the tables the call holds.
struct Source {
    const PrinterTable* table;
    const PrinterTable::Row* row;
    std::u16string_view Text(PrinterTable::TextField f) const { return table->Text(*row, f); }
};

void FillInfo1(const Source& p, PRINTER_INFO_1W& r, StringArea<WCHAR>& s) {
    r.Flags = PRINTER_ENUM_ICON8;
    std::u16string description(p.Text(PrinterTable::kName));
    description += u",";
    description += p.Text(PrinterTable::kDriver);
    description += u",";
    description += p.Text(PrinterTable::kLocation);
    r.pDescription = s.Put(description);
    r.pName = s.Put(p.Text(PrinterTable::kName));
    r.pComment = s.Put(p.Text(PrinterTable::kComment));
}

void FillInfo2(const Source& p, PRINTER_INFO_2W& r, StringArea<WCHAR>& s) {
    const PrinterTable::Row& row = *p.row;
    r.pServerName = row.connection ? s.Put(p.Text(PrinterTable::kServer)) : nullptr;
    r.pPrinterName = s.Put(p.Text(PrinterTable::kName));
    r.pShareName = s.Put(p.Text(PrinterTable::kShare));
    r.pPortName = s.Put(p.Text(PrinterTable::kPort));
    r.pDriverName = s.Put(p.Text(PrinterTable::kDriver));
    r.pComment = s.Put(p.Text(PrinterTable::kComment));
    r.pLocation = s.Put(p.Text(PrinterTable::kLocation));
    r.pDevMode = nullptr;
    r.pSepFile = s.Put(p.Text(PrinterTable::kSepFile));
    r.pPrintProcessor = s.Put(p.Text(PrinterTable::kProcessor));
    r.pDatatype = s.Put(p.Text(PrinterTable::kDatatype));
    r.pParameters = s.Put(p.Text(PrinterTable::kParams));
    r.pSecurityDescriptor = nullptr;
    r.Attributes = row.attributes;
    r.Priority = row.priority;
    r.DefaultPriority = row.defaultPriority;
    r.StartTime = row.startTime;
    r.UntilTime = row.untilTime;
    r.Status = row.status;
    r.cJobs = row.jobs;
    r.AveragePPM = 0;
}

void FillInfo4(const Source& p, PRINTER_INFO_4W& r, StringArea<WCHAR>& s) {
    r.pPrinterName = s.Put(p.Text(PrinterTable::kName));
    r.pServerName = p.row->connection ? s.Put(p.Text(PrinterTable::kServer)) : nullptr;
    r.Attributes = p.row->attributes;
}

DWORD Pack(const std::vector<Source>& list, DWORD level, LPBYTE buf, DWORD cb, LPDWORD needed, LPDWORD returned) {
    switch (level) {
        case 1:
            return PackRecords<PRINTER_INFO_1W, WCHAR>(
                list.size(), [&](size_t i, auto& r, auto& s) { FillInfo1(list[i], r, s); }, buf, cb, needed,
                returned);
        case 2:
            return PackRecords<PRINTER_INFO_2W, WCHAR>(
                list.size(), [&](size_t i, auto& r, auto& s) { FillInfo2(list[i], r, s); }, buf, cb, needed,
                returned);
        case 4:
            return PackRecords<PRINTER_INFO_4W, WCHAR>(
                list.size(), [&](size_t i, auto& r, auto& s) { FillInfo4(list[i], r, s); }, buf, cb, needed,
                returned);
        default: return ERROR_INVALID_LEVEL;
    }
}

void AddAll(const PrinterTable& table, std::vector<Source>* list) {
    for (size_t i = 0; i < table.Size(); ++i) list->push_back({&table, &table.At(i)});
}

}  // namespace

}  // namespace sim::spool

using namespace sim;
using namespace sim::spool;

BOOL EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                   LPDWORD pcbNeeded, LPDWORD pcReturned) {
    return SpoolerCall("EnumPrintersW", false, [&](Store& db) -> DWORD {
        if (!pcbNeeded || !pcReturned) return RPC_X_NULL_REF_POINTER;
        if (Level != 1 && Level != 2 && Level != 4) return ERROR_INVALID_LEVEL;
        // Only this machine's spooler answers: a name must be empty, or name this server.
        if ((Flags & (PRINTER_ENUM_NAME | PRINTER_ENUM_LOCAL)) && !LocalServer(Name, true))
            return ERROR_INVALID_NAME;
        // The records point into tables that stay alive for the call: the local printers as
        // the spooler keeps them (no copy), the connections as read now.
        std::shared_ptr<const PrinterTable> local, others;
        std::vector<Source> list;
        if ((Flags & PRINTER_ENUM_DEFAULT) && !(Flags & ~static_cast<DWORD>(PRINTER_ENUM_DEFAULT))) {
            std::vector<Printer> found;
            if (auto name = DefaultPrinter(db))
                if (auto p = FindPrinter(db, *name)) found.push_back(std::move(*p));
            others = TableOf(found);
        } else {
            if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) local = LocalPrinterTable(db);
            if (Flags & PRINTER_ENUM_CONNECTIONS) others = TableOf(Connections(db));
        }
        list.reserve((local ? local->Size() : 0) + (others ? others->Size() : 0));
        if (local) AddAll(*local, &list);
        if (others) AddAll(*others, &list);
        return Pack(list, Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
    });
}

BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    if (phPrinter) *phPrinter = nullptr;
    auto h = std::make_shared<PrinterObject>();
    BOOL ok = SpoolerCall("OpenPrinterW", false, [&](Store& db) -> DWORD {
        if (!phPrinter) return RPC_X_NULL_REF_POINTER;
        // No name would open the print server itself, which no caller here needs.
        if (!pPrinterName || !*pPrinterName) return ERROR_INVALID_PRINTER_NAME;
        auto p = FindPrinter(db, View(pPrinterName));
        if (!p) return ERROR_INVALID_PRINTER_NAME;
        ACCESS_MASK access = MapAccess(pDefault ? pDefault->DesiredAccess : PRINTER_ACCESS_USE);
        if (access == 0) access = PRINTER_ACCESS_USE;
        // This user administers the local printers; another machine grants use only.
        if (p->connection && (access & ~static_cast<ACCESS_MASK>(PRINTER_READ)))
            return ERROR_ACCESS_DENIED;
        h->key = p->key;
        h->connection = p->connection;
        h->access = access;
        h->spoolerRun = svc::SpoolerRunCount(db);
        return ERROR_SUCCESS;
    });
    // The handle is made once the transaction is over: a retried one must not leak any.
    if (ok) *phPrinter = InsertHandle(h);
    return ok;
}

BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
    return SpoolerCall("GetPrinterW", false, [&](Store& db) -> DWORD {
        auto h = Lookup<PrinterObject>(hPrinter);
        if (!h) return ERROR_INVALID_HANDLE;
        if (!pcbNeeded) return RPC_X_NULL_REF_POINTER;
        Printer p;
        if (DWORD e = Resolve(db, *h, &p)) return e;
        auto one = TableOf({p});
        return Pack({{one.get(), &one->At(0)}}, Level, pPrinter, cbBuf, pcbNeeded, nullptr);
    });
}

BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    return SpoolerCall("SetPrinterW", true, [&](Store& db) -> DWORD {
        auto h = Lookup<PrinterObject>(hPrinter);
        if (!h) return ERROR_INVALID_HANDLE;
        Printer p;
        if (DWORD e = Resolve(db, *h, &p)) return e;
        if (Level != 0) return ERROR_INVALID_LEVEL;  // only the queue commands are served
        if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
        switch (Command) {
            case PRINTER_CONTROL_PURGE: PurgeJobs(db, p); return ERROR_SUCCESS;
            case PRINTER_CONTROL_PAUSE: SetStatus(db, p, p.status | PRINTER_STATUS_PAUSED); return ERROR_SUCCESS;
            case PRINTER_CONTROL_RESUME:
                SetStatus(db, p, p.status & ~static_cast<DWORD>(PRINTER_STATUS_PAUSED));
                return ERROR_SUCCESS;
            case PRINTER_CONTROL_SET_STATUS: {
                if (!pPrinter) return ERROR_INVALID_PARAMETER;
                DWORD status;
                std::memcpy(&status, pPrinter, sizeof status);
                // Pending deletion belongs to the spooler, not to the caller.
                DWORD keep = p.status & PRINTER_STATUS_PENDING_DELETION;
                SetStatus(db, p, (status & ~static_cast<DWORD>(PRINTER_STATUS_PENDING_DELETION)) | keep);
                return ERROR_SUCCESS;
            }
            default: return ERROR_INVALID_PRINTER_COMMAND;
        }
    });
}

BOOL DeletePrinter(HANDLE hPrinter) {
    return SpoolerCall("DeletePrinter", true, [&](Store& db) -> DWORD {
        auto h = Lookup<PrinterObject>(hPrinter);
        if (!h) return ERROR_INVALID_HANDLE;
        Printer p;
        if (DWORD e = Resolve(db, *h, &p)) return e;
        if (!(h->access & DELETE)) return ERROR_ACCESS_DENIED;
        return spool::RemovePrinter(db, p);
    });
}

BOOL ClosePrinter(HANDLE hPrinter) {
    DWORD error = 0;
    if (TakeFault("ClosePrinter", &error)) return Fail(error);
    // The handle is released whatever the spooler answers.
    if (!RemoveHandle(hPrinter, Kind::Printer)) return Fail(ERROR_INVALID_HANDLE);
    error = InSpooler(false, [](Store&) -> DWORD { return ERROR_SUCCESS; });
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

HANDLE AddPrinterW(LPWSTR pName, DWORD Level, LPBYTE pPrinter) {
    auto h = std::make_shared<PrinterObject>();
    BOOL ok = SpoolerCall("AddPrinterW", true, [&](Store& db) -> DWORD {
        if (!LocalServer(pName, true)) return ERROR_INVALID_NAME;
        if (Level != 2) return ERROR_INVALID_LEVEL;
        if (!pPrinter) return RPC_X_NULL_REF_POINTER;
        const auto& info = *reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
        if (!info.pPrinterName || !info.pPortName || !info.pDriverName)
            return ERROR_INVALID_PARAMETER;
        NewPrinter np;
        np.name = View(info.pPrinterName);
        np.port = View(info.pPortName);
        np.driver = View(info.pDriverName);
        np.shareName = View(info.pShareName);
        np.comment = View(info.pComment);
        np.location = View(info.pLocation);
        np.printProcessor = View(info.pPrintProcessor);
        np.datatype = View(info.pDatatype);
        np.parameters = View(info.pParameters);
        np.sepFile = View(info.pSepFile);
        np.attributes = info.Attributes;
        np.priority = info.Priority;
        np.defaultPriority = info.DefaultPriority;
        np.startTime = info.StartTime;
        np.untilTime = info.UntilTime;
        if (DWORD e = CreatePrinter(db, np, &h->key)) return e;
        h->access = PRINTER_ALL_ACCESS;
        h->spoolerRun = svc::SpoolerRunCount(db);
        return ERROR_SUCCESS;
    });
    return ok ? InsertHandle(h) : nullptr;
}
