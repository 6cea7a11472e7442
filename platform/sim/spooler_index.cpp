#include "spooler_index.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <unordered_set>

#include "text.h"
#include "win32/spooler.h"

namespace sim::spool {
namespace {

// The form of the index, kept in the machine table: a machine holding another one has its
// index made again.
constexpr const char* kIndexVersion = "3";

// Snapshots pay off from this many printers on, and are written again once the counter has
// moved on from them by more steps than there are printers (at least kSnapshotSlack); a
// printer added takes five to twenty steps, so a new process reads at most a few rows in
// twenty again.
constexpr size_t kSnapshotMinPrinters = 256;
constexpr int64_t kSnapshotSlack = 512;

// The printer's values in the index: the column and the folded name of the value it holds.
// The text fields come first, in PrinterTable's order, then the numbers.
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
constexpr int kFieldCount = sizeof kFields / sizeof kFields[0];
constexpr int kTextFieldCount = 10;  // PrinterTable's text fields but the server's

// The id of HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers, as SQL: the triggers
// find it themselves, since the key may be made (or made again) after the index.
constexpr const char* kPrintersKeySql =
    "(SELECT id FROM keys WHERE fold='PRINTERS' AND parent="
    "(SELECT id FROM keys WHERE fold='PRINT' AND parent="
    "(SELECT id FROM keys WHERE fold='CONTROL' AND parent="
    "(SELECT id FROM keys WHERE fold='CURRENTCONTROLSET' AND parent="
    "(SELECT id FROM keys WHERE fold='SYSTEM' AND parent=1)))))";

// ---- The index's SQL --------------------------------------------------------------------

std::string FoldList() {
    std::string out;
    for (const auto& f : kFields) out += std::string(out.empty() ? "" : ",") + "'" + f.fold + "'";
    return out;
}

// "column=CASE ref.fold WHEN 'FOLD' THEN to ELSE column END, ..." for every field.
std::string Assignments(const char* ref, const char* to) {
    std::string out;
    for (const auto& f : kFields)
        out += std::string(f.column) + "=CASE " + ref + ".fold WHEN '" + f.fold + "' THEN " + to + " ELSE " +
               f.column + " END,";
    return out + "driverfold=CASE " + ref + ".fold WHEN 'PRINTER DRIVER' THEN NULL ELSE driverfold END";
}

// Whether a row's record changed (not only its folded driver name or its generation).
std::string RecordChanged() {
    std::string out = "NEW.keyname IS NOT OLD.keyname OR NEW.jobs IS NOT OLD.jobs";
    for (const auto& f : kFields) out += std::string(" OR NEW.") + f.column + " IS NOT OLD." + f.column;
    return out;
}

const char* const kDropSql =
    "DROP TRIGGER IF EXISTS spool_printer_made;"
    "DROP TRIGGER IF EXISTS spool_job_made;"
    "DROP TRIGGER IF EXISTS spool_key_gone;"
    "DROP TRIGGER IF EXISTS spool_value_set;"
    "DROP TRIGGER IF EXISTS spool_value_changed;"
    "DROP TRIGGER IF EXISTS spool_value_gone;"
    "DROP TRIGGER IF EXISTS spool_row_made;"
    "DROP TRIGGER IF EXISTS spool_row_changed;"
    "DROP TRIGGER IF EXISTS spool_row_gone;"
    "DROP TABLE IF EXISTS spool_printers;"
    "DROP TABLE IF EXISTS spool_gone;"
    "DROP TABLE IF EXISTS spool_state;"
    "DROP TABLE IF EXISTS spool_snapshot;"
    "DELETE FROM machine WHERE key='spooler-index';";

std::string CreateSql() {
    std::string columns;
    for (const auto& f : kFields) columns += std::string(", ") + f.column + " BLOB";
    std::string isPrinter = "EXISTS (SELECT 1 FROM spool_printers WHERE key=";
    std::string folds = FoldList();
    std::string bump = "UPDATE spool_state SET gen=gen+1 WHERE id=1;";
    // The snapshot has a table of its own: every change of a printer steps the counter,
    // and a row holding both would be written whole, snapshot and all, at every step.
    return "CREATE TABLE spool_state(id INTEGER PRIMARY KEY CHECK (id=1), gen INTEGER NOT NULL, epoch INTEGER NOT "
           "NULL, pruned INTEGER NOT NULL, snapshot_gen INTEGER);"
           "CREATE TABLE spool_snapshot(id INTEGER PRIMARY KEY CHECK (id=1), data BLOB NOT NULL);"
           "CREATE TABLE spool_printers(key INTEGER PRIMARY KEY, keyname TEXT NOT NULL, fold TEXT NOT NULL" +
           columns +
           ", jobs INTEGER NOT NULL DEFAULT 0, driverfold TEXT, gen INTEGER NOT NULL DEFAULT 0);"
           "CREATE INDEX spool_printers_driverfold ON spool_printers(driverfold);"
           "CREATE INDEX spool_printers_gen ON spool_printers(gen);"
           "CREATE TABLE spool_gone(key INTEGER NOT NULL, gen INTEGER NOT NULL);"
           "CREATE INDEX spool_gone_gen ON spool_gone(gen);"
           // A key made right under the Printers key is a printer.
           "CREATE TRIGGER spool_printer_made AFTER INSERT ON keys WHEN NEW.parent=" +
           kPrintersKeySql +
           " BEGIN INSERT INTO spool_printers(key, keyname, fold) VALUES (NEW.id, NEW.name, NEW.fold); END;"
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
           " WHERE key=OLD.key; END;"
           // Every change of a row takes the next generation; a removal leaves its key.
           "CREATE TRIGGER spool_row_made AFTER INSERT ON spool_printers BEGIN " +
           bump + "UPDATE spool_printers SET gen=(SELECT gen FROM spool_state) WHERE key=NEW.key; END;" +
           "CREATE TRIGGER spool_row_changed AFTER UPDATE ON spool_printers WHEN " + RecordChanged() + " BEGIN " +
           bump + "UPDATE spool_printers SET gen=(SELECT gen FROM spool_state) WHERE key=NEW.key; END;" +
           "CREATE TRIGGER spool_row_gone AFTER DELETE ON spool_printers BEGIN " + bump +
           "INSERT INTO spool_gone(key, gen) VALUES (OLD.key, (SELECT gen FROM spool_state)); END;";
}

// Rows for the printers a machine already has.
std::string FillSql() {
    std::string columns, values;
    for (const auto& f : kFields) {
        columns += std::string(f.column) + ",";
        values += std::string("(SELECT data FROM vals WHERE key=k.id AND fold='") + f.fold + "'),";
    }
    return "INSERT INTO spool_printers(key,keyname,fold," + columns + "jobs) SELECT k.id,k.name,k.fold," + values +
           "(SELECT count(*) FROM keys j WHERE j.parent=(SELECT id FROM keys WHERE parent=k.id AND fold='JOBS')) "
           "FROM keys k WHERE k.parent=" +
           kPrintersKeySql + ";";
}

// The reading queries. Statements are cached by the address of their text, so each text
// is made once and kept.
enum class Rows { kAll, kSince, kOne };
const char* SelectSql(Rows which) {
    static const std::string base = [] {
        std::string s = "SELECT key, keyname, fold";
        for (const auto& f : kFields) s += std::string(", ") + f.column;
        return s + ", jobs FROM spool_printers";
    }();
    static const std::string all = base;
    static const std::string since = base + " WHERE gen>?";
    static const std::string one = base + " WHERE key=?";
    return (which == Rows::kAll ? all : which == Rows::kSince ? since : one).c_str();
}

std::string IndexVersion(Store& db) {
    auto s = db.Prepare("SELECT value FROM machine WHERE key='spooler-index'");
    return s.Step() ? s.Text(0) : std::string();
}

std::string FoldedName(std::u16string_view name) { return ToUtf8(Fold(name)); }

// The UTF-16 text of a value's data, as the spooler reads a string value: whole
// characters, without the terminators at the end.
std::u16string TextOf(std::string_view data) {
    std::u16string s(data.size() / 2, u'\0');
    std::memcpy(s.data(), data.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

void SetDriverFold(Store& db, int64_t key, const std::string& fold) {
    db.Prepare("UPDATE spool_printers SET driverfold=? WHERE key=?").Bind(1, fold).Bind(2, key).Run();
}

DWORD NumberOf(std::string_view data, DWORD fallback) {
    if (data.size() < 4) return fallback;
    DWORD d;
    std::memcpy(&d, data.data(), 4);
    return d;
}

}  // namespace

// ---- The table --------------------------------------------------------------------------

// Builds a table row by row, and in one piece from a snapshot.
class PrinterTableBuilder {
public:
    PrinterTableBuilder() : m_table(std::make_shared<PrinterTable>()) {}
    // Appends to a table that exists (its rows are the caller's business).
    explicit PrinterTableBuilder(PrinterTable& into) : m_table(&into, [](PrinterTable*) {}) {}

    // A row of SelectSql: key, key name, fold, the fields, jobs.
    void AddIndexRow(Stmt& s) {
        PrinterTable::Row r = NewRow();
        r.key = s.Int(0);
        for (int f = 0; f < kTextFieldCount; ++f) PutData(r, static_cast<PrinterTable::TextField>(f), s.Blob(3 + f));
        if (r.length[PrinterTable::kName] == 0) PutText(r, PrinterTable::kName, ToUtf16(s.Text(1)));
        PutText(r, PrinterTable::kServer, u"");
        PutFold(r, s.Blob(2));
        // The numbers follow the text fields, in kFields' order.
        auto number = [&](int i, DWORD fallback) { return NumberOf(s.Blob(3 + kTextFieldCount + i), fallback); };
        r.attributes = number(0, PRINTER_ATTRIBUTE_LOCAL);
        r.priority = number(1, 1);
        r.defaultPriority = number(2, 0);
        r.startTime = number(3, 0);
        r.untilTime = number(4, 0);
        r.status = number(5, 0);
        r.jobs = static_cast<DWORD>(s.Int(3 + kFieldCount));
        m_table->m_rows.push_back(r);
    }

    void AddPrinter(const Printer& p) {
        PrinterTable::Row r = NewRow();
        r.key = p.key;
        r.connection = p.connection;
        const std::u16string* texts[] = {&p.name,     &p.shareName, &p.port,           &p.driver,   &p.comment,
                                         &p.location, &p.sepFile,   &p.printProcessor, &p.datatype, &p.parameters,
                                         &p.server};
        for (int f = 0; f < PrinterTable::kTextFields; ++f) PutText(r, static_cast<PrinterTable::TextField>(f), *texts[f]);
        PutFold(r, FoldedName(p.name));
        r.attributes = p.attributes;
        r.priority = p.priority;
        r.defaultPriority = p.defaultPriority;
        r.startTime = p.startTime;
        r.untilTime = p.untilTime;
        r.status = p.status;
        r.jobs = p.jobs;
        m_table->m_rows.push_back(r);
    }

    // A row of another table, its text copied over.
    void AddRow(const PrinterTable& from, const PrinterTable::Row& row) { m_table->m_rows.push_back(Copy(from, row)); }
    // The row with its text copied into this table, not yet among its rows.
    PrinterTable::Row Copy(const PrinterTable& from, const PrinterTable::Row& row) {
        PrinterTable::Row r = row;
        for (int f = 0; f < PrinterTable::kTextFields; ++f) {
            auto field = static_cast<PrinterTable::TextField>(f);
            PutText(r, field, from.Text(row, field));
        }
        PutFold(r, from.Fold(row));
        return r;
    }

    void SortByFold() {
        auto& t = *m_table;
        std::sort(t.m_rows.begin(), t.m_rows.end(),
                  [&](const PrinterTable::Row& a, const PrinterTable::Row& b) { return t.Fold(a) < t.Fold(b); });
    }

    PrinterTable& Table() { return *m_table; }
    std::shared_ptr<PrinterTable> Take() { return std::move(m_table); }

    // A snapshot: a header, the rows, the text and the folds, as this build lays them out.
    struct Header {
        uint32_t magic, rowSize;
        int64_t epoch, gen;
        uint64_t rows, chars, folds;
    };
    static constexpr uint32_t kMagic = 0x54505344;  // "DSPT"
    static constexpr size_t kInsertLimit = 64;     // rows merged one by one, above: all at once

    static std::string Serialize(const PrinterTable& t, int64_t epoch, int64_t gen) {
        Header h{kMagic, sizeof(PrinterTable::Row), epoch, gen, t.m_rows.size(), t.m_chars.size(), t.m_folds.size()};
        std::string out;
        out.reserve(sizeof h + t.m_rows.size() * sizeof(PrinterTable::Row) + t.m_chars.size() * 2 + t.m_folds.size());
        out.append(reinterpret_cast<const char*>(&h), sizeof h);
        out.append(reinterpret_cast<const char*>(t.m_rows.data()), t.m_rows.size() * sizeof(PrinterTable::Row));
        out.append(reinterpret_cast<const char*>(t.m_chars.data()), t.m_chars.size() * 2);
        out.append(t.m_folds);
        return out;
    }

    // The table of a snapshot of this epoch, read straight into the table's memory, or
    // null when the blob is not one (of another build or epoch, or damaged).
    static std::shared_ptr<PrinterTable> Deserialize(const BlobReader& blob, int64_t epoch, int64_t* gen) {
        Header h;
        if (blob.Size() < sizeof h || !blob.Read(&h, sizeof h, 0)) return nullptr;
        if (h.magic != kMagic || h.rowSize != sizeof(PrinterTable::Row) || h.epoch != epoch) return nullptr;
        size_t size = blob.Size();
        if (h.rows > size || h.chars > size || h.folds > size ||
            size != sizeof h + h.rows * sizeof(PrinterTable::Row) + h.chars * 2 + h.folds)
            return nullptr;
        auto t = std::make_shared<PrinterTable>();
        size_t at = sizeof h;
        t->m_rows.resize(h.rows);
        t->m_chars.resize(h.chars);
        t->m_folds.resize(h.folds);
        if (!blob.Read(t->m_rows.data(), h.rows * sizeof(PrinterTable::Row), at) ||
            !blob.Read(t->m_chars.data(), h.chars * 2, at += h.rows * sizeof(PrinterTable::Row)) ||
            !blob.Read(t->m_folds.data(), h.folds, at += h.chars * 2))
            return nullptr;
        for (const auto& r : t->m_rows) {
            if (uint64_t{r.fold} + r.foldLength > h.folds) return nullptr;
            for (int f = 0; f < PrinterTable::kTextFields; ++f)
                if (uint64_t{r.text[f]} + r.length[f] > h.chars) return nullptr;
        }
        *gen = h.gen;
        return t;
    }

    // Brings the table forward in place: the rows of keys in drop go, the fresh rows (in
    // the spooler's order) come in where they belong. Their text goes at the end; what the
    // rows that went leave behind is dropped once it is as much as the rest.
    static void Merge(PrinterTable& t, const std::unordered_set<int64_t>& drop, const PrinterTable& fresh) {
        auto& rows = t.m_rows;
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const PrinterTable::Row& r) { return drop.count(r.key) > 0; }),
                   rows.end());
        if (fresh.Size() > kInsertLimit) {
            // Many rows: one merge of both into a new table.
            PrinterTableBuilder out;
            size_t j = 0;
            for (const auto& r : rows) {
                for (; j < fresh.Size() && fresh.Fold(fresh.At(j)) < t.Fold(r); ++j) out.AddRow(fresh, fresh.At(j));
                out.AddRow(t, r);
            }
            for (; j < fresh.Size(); ++j) out.AddRow(fresh, fresh.At(j));
            t = std::move(out.Table());
            return;
        }
        PrinterTableBuilder into(t);
        auto before = [&](const PrinterTable::Row& a, const PrinterTable::Row& b) { return t.Fold(a) < t.Fold(b); };
        for (size_t i = 0; i < fresh.Size(); ++i) {
            PrinterTable::Row r = into.Copy(fresh, fresh.At(i));
            rows.insert(std::upper_bound(rows.begin(), rows.end(), r, before), r);
        }
        size_t live = 0;
        for (const auto& r : rows)
            for (int f = 0; f < PrinterTable::kTextFields; ++f) live += r.length[f] + 1;
        if (t.m_chars.size() > 2 * live + 4096) {
            PrinterTableBuilder compact;
            for (const auto& r : rows) compact.AddRow(t, r);
            t = std::move(compact.Table());
        }
    }

private:
    static PrinterTable::Row NewRow() {
        PrinterTable::Row r;
        std::memset(&r, 0, sizeof r);  // padding too: a snapshot holds the bytes
        return r;
    }
    // A string value's data as the spooler reads it: whole characters, without the
    // terminators at the end.
    void PutData(PrinterTable::Row& r, PrinterTable::TextField f, std::string_view data) {
        auto& chars = m_table->m_chars;
        size_t at = chars.size(), n = data.size() / 2;
        chars.resize(at + n);
        if (n) std::memcpy(chars.data() + at, data.data(), n * 2);  // an empty blob's data may be null
        while (n > 0 && chars[at + n - 1] == 0) --n;
        chars.resize(at + n);
        chars.push_back(0);
        r.text[f] = static_cast<uint32_t>(at);
        r.length[f] = static_cast<uint32_t>(n);
    }
    void PutText(PrinterTable::Row& r, PrinterTable::TextField f, std::u16string_view text) {
        auto& chars = m_table->m_chars;
        r.text[f] = static_cast<uint32_t>(chars.size());
        r.length[f] = static_cast<uint32_t>(text.size());
        chars.append(text);
        chars.push_back(0);
    }
    void PutFold(PrinterTable::Row& r, std::string_view fold) {
        r.fold = static_cast<uint32_t>(m_table->m_folds.size());
        r.foldLength = static_cast<uint32_t>(fold.size());
        m_table->m_folds.append(fold);
    }

    std::shared_ptr<PrinterTable> m_table;
};

Printer PrinterTable::ToPrinter(const Row& r) const {
    Printer p;
    p.key = r.key;
    p.connection = r.connection;
    p.name = Text(r, kName);
    p.server = Text(r, kServer);
    p.shareName = Text(r, kShare);
    p.port = Text(r, kPort);
    p.driver = Text(r, kDriver);
    p.comment = Text(r, kComment);
    p.location = Text(r, kLocation);
    p.sepFile = Text(r, kSepFile);
    p.printProcessor = Text(r, kProcessor);
    p.datatype = Text(r, kDatatype);
    p.parameters = Text(r, kParams);
    p.attributes = r.attributes;
    p.priority = r.priority;
    p.defaultPriority = r.defaultPriority;
    p.startTime = r.startTime;
    p.untilTime = r.untilTime;
    p.status = r.status;
    p.jobs = r.jobs;
    return p;
}

std::shared_ptr<const PrinterTable> TableOf(const std::vector<Printer>& printers) {
    PrinterTableBuilder b;
    for (const auto& p : printers) b.AddPrinter(p);
    return b.Take();
}

// ---- Keeping the table ------------------------------------------------------------------

namespace {

struct State {
    int64_t gen = 0, epoch = 0, pruned = 0;
    std::optional<int64_t> snapshotGen;
};

State ReadState(Store& db) {
    auto s = db.Prepare("SELECT gen, epoch, pruned, snapshot_gen FROM spool_state WHERE id=1");
    State st;
    if (s.Step()) {
        st = {s.Int(0), s.Int(1), s.Int(2), std::nullopt};
        if (!s.IsNull(3)) st.snapshotGen = s.Int(3);
    }
    return st;
}

// The table this process keeps, and what it stands for.
struct TableCache {
    std::shared_ptr<PrinterTable> table;
    int64_t epoch = 0, gen = -1;
    uint64_t rollbacks = 0;
    bool snapshotDue = false;
};

std::shared_ptr<PrinterTable> ReadAll(Store& db) {
    PrinterTableBuilder b;
    auto s = db.Prepare(SelectSql(Rows::kAll));
    while (s.Step()) b.AddIndexRow(s);
    b.SortByFold();
    return b.Take();
}

// Brings the table forward by the rows changed and removed since its generation.
void Forward(Store& db, PrinterTable& table, int64_t since) {
    std::unordered_set<int64_t> drop;
    {
        auto s = db.Prepare("SELECT key FROM spool_gone WHERE gen>?");
        s.Bind(1, since);
        while (s.Step()) drop.insert(s.Int(0));
    }
    PrinterTableBuilder changed;
    {
        auto s = db.Prepare(SelectSql(Rows::kSince));
        s.Bind(1, since);
        while (s.Step()) changed.AddIndexRow(s);
    }
    changed.SortByFold();
    const PrinterTable& fresh = changed.Table();
    for (size_t i = 0; i < fresh.Size(); ++i) drop.insert(fresh.At(i).key);
    PrinterTableBuilder::Merge(table, drop, fresh);
}

void SaveSnapshot(Store& db, const PrinterTable& table, int64_t epoch, int64_t gen) {
    std::string blob = PrinterTableBuilder::Serialize(table, epoch, gen);
    // Not over a newer snapshot, nor one of another epoch.
    db.Prepare(
          "UPDATE spool_state SET snapshot_gen=?, pruned=? WHERE id=1 AND epoch=? AND "
          "(snapshot_gen IS NULL OR snapshot_gen<?)")
        .Bind(1, gen)
        .Bind(2, gen)
        .Bind(3, epoch)
        .Bind(4, gen)
        .Run();
    if (db.Changes() == 0) return;
    db.Prepare("INSERT INTO spool_snapshot(id, data) VALUES(1, ?) ON CONFLICT(id) DO UPDATE SET data=excluded.data")
        .BindBlob(1, blob.data(), blob.size())
        .Run();
    // Removals the snapshot covers are no longer needed: a process whose table is older than
    // the snapshot starts again from it.
    db.Prepare("DELETE FROM spool_gone WHERE gen<=?").Bind(1, gen).Run();
}

}  // namespace

void EnsurePrinterIndex(Store& db) {
    if (db.Read([&] { return IndexVersion(db); }) == kIndexVersion) return;
    db.Write([&] {
        if (IndexVersion(db) == kIndexVersion) return;  // another process made it meanwhile
        db.Exec(kDropSql);
        db.Exec(CreateSql().c_str());
        // A new epoch: what any process kept of an earlier index is not carried over.
        std::random_device rd;
        int64_t epoch = static_cast<int64_t>((static_cast<uint64_t>(rd()) << 31) ^ rd()) & INT64_MAX;
        db.Prepare("INSERT INTO spool_state(id, gen, epoch, pruned) VALUES(1, 0, ?, 0)").Bind(1, epoch).Run();
        db.Exec(FillSql().c_str());
        db.Prepare("INSERT INTO machine(key, value) VALUES('spooler-index', ?) "
                   "ON CONFLICT(key) DO UPDATE SET value=excluded.value")
            .Bind(1, kIndexVersion)
            .Run();
    });
}

void DropPrinterIndex(Store& db) {
    db.Write([&] { db.Exec(kDropSql); });
}

std::shared_ptr<const PrinterTable> LocalPrinterTable(Store& db) {
    auto& cache = db.Derived<TableCache>();
    State st = ReadState(db);
    bool same = cache.table && cache.epoch == st.epoch && cache.rollbacks == db.Rollbacks();
    if (same && cache.gen == st.gen) return cache.table;

    std::shared_ptr<PrinterTable> table;
    if (same && cache.gen >= st.pruned && cache.gen < st.gen) {
        // Brought forward in place, unless a caller still holds it (then a copy is).
        table = cache.table.use_count() == 1 ? cache.table : std::make_shared<PrinterTable>(*cache.table);
        Forward(db, *table, cache.gen);
    } else if (st.snapshotGen) {
        int64_t gen = 0;
        auto blob = db.OpenBlob("spool_snapshot", "data", 1);
        table = blob ? PrinterTableBuilder::Deserialize(*blob, st.epoch, &gen) : nullptr;
        if (table && gen != *st.snapshotGen) table = nullptr;
        else if (table && gen != st.gen) Forward(db, *table, gen);
    }
    if (!table) table = ReadAll(db);

    cache = {table, st.epoch, st.gen, db.Rollbacks(), false};
    int64_t slack = std::max<int64_t>(kSnapshotSlack, static_cast<int64_t>(table->Size()));
    if (table->Size() >= kSnapshotMinPrinters && (!st.snapshotGen || st.gen - *st.snapshotGen > slack)) {
        if (db.InWriteTransaction()) SaveSnapshot(db, *table, st.epoch, st.gen);
        else cache.snapshotDue = true;
    }
    return cache.table;
}

void SaveDueSnapshot(Store& db) {
    std::lock_guard lock(db.Mutex());
    auto& cache = db.Derived<TableCache>();
    if (!cache.snapshotDue) return;
    cache.snapshotDue = false;
    auto table = cache.table;
    int64_t epoch = cache.epoch, gen = cache.gen;
    // A snapshot is worth having, not worth waiting for: another writer keeps it for later.
    try {
        db.TryWrite([&] { SaveSnapshot(db, *table, epoch, gen); });
    } catch (const StoreError&) {
    }
}

int64_t PrintersKey(Store& db) {
    static const std::string sql = std::string("SELECT ") + kPrintersKeySql;
    auto s = db.Prepare(sql.c_str());
    return s.Step() && !s.IsNull(0) ? s.Int(0) : 0;
}

std::optional<Printer> ReadIndexedPrinter(Store& db, int64_t key) {
    auto s = db.Prepare(SelectSql(Rows::kOne));
    s.Bind(1, key);
    if (!s.Step()) return std::nullopt;
    PrinterTableBuilder b;
    b.AddIndexRow(s);
    const PrinterTable& t = b.Table();
    return t.ToPrinter(t.At(0));
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
        while (s.Step()) unfolded.emplace_back(s.Int(0), FoldedName(TextOf(s.Blob(1))));
    }
    bool used = false;
    for (const auto& [key, name] : unfolded) {
        used = used || name == fold;
        if (db.InWriteTransaction()) SetDriverFold(db, key, name);
    }
    return used;
}

void FillDriverFold(Store& db, int64_t key, std::u16string_view driver) { SetDriverFold(db, key, FoldedName(driver)); }

}  // namespace sim::spool
