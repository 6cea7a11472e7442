#include "spooler_index.h"

#include <cstring>

#include "text.h"
#include "win32/spooler.h"

namespace sim::spool {
namespace {

// Version of the index's form, kept in the machine table: a machine holding another one
// has its index made again.
constexpr const char* kIndexVersion = "1";

// The printer's values in the index: the column and the folded name of the value it
// holds. The order is the order of the columns the readers decode.
struct Field {
    const char* column;
    const char* fold;
};
constexpr Field kFields[] = {
    {"name", "NAME"},
    {"share", "SHARE NAME"},
    {"port", "PORT"},
    {"driver", "PRINTER DRIVER"},
    {"comment", "DESCRIPTION"},
    {"location", "LOCATION"},
    {"sepfile", "SEPARATOR FILE"},
    {"processor", "PRINT PROCESSOR"},
    {"datatype", "DATATYPE"},
    {"params", "PARAMETERS"},
    {"attributes", "ATTRIBUTES"},
    {"priority", "PRIORITY"},
    {"defpriority", "DEFAULT PRIORITY"},
    {"starttime", "STARTTIME"},
    {"untiltime", "UNTILTIME"},
    {"status", "STATUS"},
};
enum Column {
    kName, kShare, kPort, kDriver, kComment, kLocation, kSepFile, kProcessor, kDatatype,
    kParams, kAttributes, kPriority, kDefPriority, kStartTime, kUntilTime, kStatus, kFieldCount
};
static_assert(sizeof kFields / sizeof kFields[0] == kFieldCount);

// The id of HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers, as SQL: the triggers
// find it themselves, since the key may be made (or made again) after the index.
constexpr const char* kPrintersKeySql =
    "(SELECT id FROM keys WHERE fold='PRINTERS' AND parent="
    "(SELECT id FROM keys WHERE fold='PRINT' AND parent="
    "(SELECT id FROM keys WHERE fold='CONTROL' AND parent="
    "(SELECT id FROM keys WHERE fold='CURRENTCONTROLSET' AND parent="
    "(SELECT id FROM keys WHERE fold='SYSTEM' AND parent=1)))))";

std::string FoldList() {
    std::string out;
    for (const auto& f : kFields) out += std::string(out.empty() ? "" : ",") + "'" + f.fold + "'";
    return out;
}

// "column = CASE ref.fold WHEN 'FOLD' THEN <to> ELSE column END, ..." for every field.
std::string Assignments(const char* ref, const char* to) {
    std::string out;
    for (const auto& f : kFields)
        out += std::string(f.column) + "=CASE " + ref + ".fold WHEN '" + f.fold + "' THEN " + to + " ELSE " +
               f.column + " END,";
    return out + "driverfold=CASE " + ref + ".fold WHEN 'PRINTER DRIVER' THEN NULL ELSE driverfold END";
}

std::string DropSql() {
    return "DROP TRIGGER IF EXISTS spool_printer_made;"
           "DROP TRIGGER IF EXISTS spool_job_made;"
           "DROP TRIGGER IF EXISTS spool_key_gone;"
           "DROP TRIGGER IF EXISTS spool_value_set;"
           "DROP TRIGGER IF EXISTS spool_value_changed;"
           "DROP TRIGGER IF EXISTS spool_value_gone;"
           "DROP TABLE IF EXISTS spool_printers;";
}

std::string CreateSql() {
    std::string columns;
    for (const auto& f : kFields) columns += std::string(", ") + f.column + " BLOB";
    std::string isPrinter = "EXISTS (SELECT 1 FROM spool_printers WHERE key=";
    std::string folds = FoldList();
    return "CREATE TABLE spool_printers(key INTEGER PRIMARY KEY" + columns +
           ", jobs INTEGER NOT NULL DEFAULT 0, driverfold TEXT);"
           "CREATE INDEX spool_printers_driverfold ON spool_printers(driverfold);"
           // A key made right under the Printers key is a printer.
           "CREATE TRIGGER spool_printer_made AFTER INSERT ON keys WHEN NEW.parent=" +
           kPrintersKeySql +
           " BEGIN INSERT INTO spool_printers(key) VALUES (NEW.id); END;"
           // A key made (or removed) under a printer's Jobs key is a job.
           "CREATE TRIGGER spool_job_made AFTER INSERT ON keys BEGIN "
           "UPDATE spool_printers SET jobs=jobs+1 WHERE key=(SELECT parent FROM keys WHERE id=NEW.parent AND "
           "fold='JOBS'); END;"
           "CREATE TRIGGER spool_key_gone AFTER DELETE ON keys BEGIN "
           "DELETE FROM spool_printers WHERE key=OLD.id;"
           "UPDATE spool_printers SET jobs=max(jobs-1,0) WHERE key=(SELECT parent FROM keys WHERE id=OLD.parent "
           "AND fold='JOBS'); END;"
           // A printer's values as they are set, changed and removed.
           "CREATE TRIGGER spool_value_set AFTER INSERT ON vals WHEN NEW.fold IN (" +
           folds + ") AND " + isPrinter + "NEW.key) BEGIN UPDATE spool_printers SET " + Assignments("NEW", "NEW.data") +
           " WHERE key=NEW.key; END;"
           "CREATE TRIGGER spool_value_changed AFTER UPDATE ON vals WHEN (OLD.fold IN (" +
           folds + ") AND " + isPrinter + "OLD.key)) OR (NEW.fold IN (" + folds + ") AND " + isPrinter +
           "NEW.key)) BEGIN UPDATE spool_printers SET " + Assignments("OLD", "NULL") +
           " WHERE key=OLD.key; UPDATE spool_printers SET " + Assignments("NEW", "NEW.data") +
           " WHERE key=NEW.key; END;"
           "CREATE TRIGGER spool_value_gone AFTER DELETE ON vals WHEN OLD.fold IN (" +
           folds + ") AND " + isPrinter + "OLD.key) BEGIN UPDATE spool_printers SET " + Assignments("OLD", "NULL") +
           " WHERE key=OLD.key; END;";
}

// Rows for the printers a machine already has.
std::string FillSql() {
    std::string columns, values;
    for (const auto& f : kFields) {
        columns += std::string(f.column) + ",";
        values += std::string("(SELECT data FROM vals WHERE key=k.id AND fold='") + f.fold + "'),";
    }
    return "INSERT INTO spool_printers(key," + columns + "jobs) SELECT k.id," + values +
           "(SELECT count(*) FROM keys j WHERE j.parent=(SELECT id FROM keys WHERE parent=k.id AND fold='JOBS')) "
           "FROM keys k WHERE k.parent=" +
           kPrintersKeySql + ";";
}

// The reading queries. Statements are cached by the address of their text, so each text
// is made once and kept.
const std::string& SelectSql(bool one) {
    static const std::string base = [] {
        std::string s = "SELECT k.name";
        for (const auto& f : kFields) s += std::string(", r.") + f.column;
        return s + ", r.jobs, k.id FROM keys k JOIN spool_printers r ON r.key=k.id ";
    }();
    static const std::string all = base + "WHERE k.parent=? ORDER BY k.fold";
    static const std::string single = base + "WHERE k.id=?";
    return one ? single : all;
}

std::u16string Text(std::string_view data) {
    std::u16string s(data.size() / 2, u'\0');
    std::memcpy(s.data(), data.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

DWORD Dword(std::string_view data, DWORD fallback) {
    if (data.size() < 4) return fallback;
    DWORD d;
    std::memcpy(&d, data.data(), 4);
    return d;
}

// A row of SelectSql: key name, the fields, jobs, key.
Printer FromRow(Stmt& s) {
    auto field = [&](Column c) { return s.Blob(1 + c); };
    Printer p;
    p.name = Text(field(kName));
    if (p.name.empty()) p.name = ToUtf16(s.Text(0));
    p.shareName = Text(field(kShare));
    p.port = Text(field(kPort));
    p.driver = Text(field(kDriver));
    p.comment = Text(field(kComment));
    p.location = Text(field(kLocation));
    p.sepFile = Text(field(kSepFile));
    p.printProcessor = Text(field(kProcessor));
    p.datatype = Text(field(kDatatype));
    p.parameters = Text(field(kParams));
    p.attributes = Dword(field(kAttributes), PRINTER_ATTRIBUTE_LOCAL);
    p.priority = Dword(field(kPriority), 1);
    p.defaultPriority = Dword(field(kDefPriority), 0);
    p.startTime = Dword(field(kStartTime), 0);
    p.untilTime = Dword(field(kUntilTime), 0);
    p.status = Dword(field(kStatus), 0);
    p.jobs = static_cast<DWORD>(s.Int(1 + kFieldCount));
    p.key = s.Int(2 + kFieldCount);
    return p;
}

std::string FoldedName(std::u16string_view name) { return ToUtf8(Fold(name)); }

std::string IndexVersion(Store& db) {
    auto s = db.Prepare("SELECT value FROM machine WHERE key='spooler-index'");
    return s.Step() ? s.Text(0) : std::string();
}

}  // namespace

void EnsurePrinterIndex(Store& db) {
    if (db.Read([&] { return IndexVersion(db); }) == kIndexVersion) return;
    db.Write([&] {
        if (IndexVersion(db) == kIndexVersion) return;  // another process made it meanwhile
        db.Exec(DropSql().c_str());
        db.Exec(CreateSql().c_str());
        db.Exec(FillSql().c_str());
        db.Prepare("INSERT INTO machine(key, value) VALUES('spooler-index', ?) "
                   "ON CONFLICT(key) DO UPDATE SET value=excluded.value")
            .Bind(1, kIndexVersion)
            .Run();
    });
}

int64_t PrintersKey(Store& db) {
    static const std::string sql = std::string("SELECT ") + kPrintersKeySql;
    auto s = db.Prepare(sql.c_str());
    return s.Step() && !s.IsNull(0) ? s.Int(0) : 0;
}

std::vector<Printer> ReadIndexedPrinters(Store& db, int64_t printersKey) {
    std::vector<Printer> out;
    if (!printersKey) return out;
    auto s = db.Prepare(SelectSql(false).c_str());
    s.Bind(1, printersKey);
    while (s.Step()) out.push_back(FromRow(s));
    return out;
}

std::optional<Printer> ReadIndexedPrinter(Store& db, int64_t key) {
    auto s = db.Prepare(SelectSql(true).c_str());
    s.Bind(1, key);
    if (!s.Step()) return std::nullopt;
    return FromRow(s);
}

bool IndexedDriverInUse(Store& db, std::u16string_view driver) {
    std::string fold = FoldedName(driver);
    {
        auto s = db.Prepare("SELECT 1 FROM spool_printers WHERE driverfold=? LIMIT 1");
        s.Bind(1, fold);
        if (s.Step()) return true;
    }
    // Printers whose driver was written by anything but the spooler (the registry API, an
    // import) have no folded name yet: compare those here, and record it when this call
    // may write.
    std::vector<std::pair<int64_t, std::string>> unfolded;
    {
        auto s = db.Prepare("SELECT key, driver FROM spool_printers WHERE driverfold IS NULL AND driver IS NOT NULL");
        while (s.Step()) unfolded.emplace_back(s.Int(0), FoldedName(Text(s.Blob(1))));
    }
    bool used = false;
    for (const auto& [key, name] : unfolded) {
        used = used || name == fold;
        if (db.InWriteTransaction())
            db.Prepare("UPDATE spool_printers SET driverfold=? WHERE key=?").Bind(1, name).Bind(2, key).Run();
    }
    return used;
}

void FillDriverFold(Store& db, int64_t key, std::u16string_view driver) {
    db.Prepare("UPDATE spool_printers SET driverfold=? WHERE key=?").Bind(1, FoldedName(driver)).Bind(2, key).Run();
}

}  // namespace sim::spool
