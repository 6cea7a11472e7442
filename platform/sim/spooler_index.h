// The printers' index, and the table of printers the spooler keeps in memory.
//
// The registry stays the one truth: a printer is its key under ...\Print\Printers, as on
// Windows. Beside it the machine's store keeps an index, which triggers of the store keep
// in step with the registry, so that every writer keeps it right: the spooler's calls, the
// registry API, `drovan-machine reg import`, another process, a build of the program that
// knows nothing of the index.
//
//   spool_printers  one row per printer: its key, key name and folded key name, the raw
//                   data of each value a PRINTER_INFO_2 record is made of (NULL when the
//                   value is missing), its count of jobs (subkeys of its Jobs key), its
//                   driver's folded name, and gen: the generation of its last change
//   spool_gone      (key, gen) of printers removed, until a snapshot covers them
//   spool_state     the generation counter (one step per changed row), the index's epoch
//                   (new whenever the index is made again), the snapshot's generation
//   spool_snapshot  the whole table of printers as of that generation, in one blob
//
// A process keeps the table of printers in memory with its generation. While the counter
// has not moved, the table is right as it is (one query tells). When it has, the rows of a
// later generation and the removals since are read and merged in: a printer added or
// changed costs one row, not a reading of all. A process that has no table yet starts
// from the snapshot. A snapshot that many changes have overtaken is written again by the
// next reader, when the store can be had at once, so that a machine of 10,000 printers is
// read by a new process in one blob instead of 10,000 rows.
//
// driverfold is the driver's name folded for case-insensitive look-ups. Triggers cannot
// fold text as Windows does, so they clear it whenever the driver changes and the spooler
// fills it in (FillDriverFold, and IndexedDriverInUse inside a write transaction).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spooler_store.h"
#include "store.h"

namespace sim::spool {

// The local printers in the spooler's order (by key name, case-insensitive): every string
// of every printer in one block of text, and per printer where its strings are.
class PrinterTable {
public:
    enum TextField {
        kName, kShare, kPort, kDriver, kComment, kLocation, kSepFile, kProcessor, kDatatype, kParams,
        kServer,  // a connection's server; empty for a local printer
        kTextFields
    };
    // Plain data (a snapshot holds the rows as they lie in memory).
    struct Row {
        int64_t key;
        uint32_t fold, foldLength;  // the folded key name, in the table's folds
        uint32_t text[kTextFields], length[kTextFields];
        DWORD attributes, priority, defaultPriority, startTime, untilTime, status, jobs;
        uint32_t connection;
    };

    size_t Size() const { return m_rows.size(); }
    const Row& At(size_t i) const { return m_rows[i]; }
    std::u16string_view Text(const Row& r, TextField f) const {
        return std::u16string_view(m_chars.data() + r.text[f], r.length[f]);
    }
    std::string_view Fold(const Row& r) const { return std::string_view(m_folds.data() + r.fold, r.foldLength); }
    Printer ToPrinter(const Row& r) const;

private:
    friend class PrinterTableBuilder;
    std::vector<Row> m_rows;
    std::u16string m_chars;
    std::string m_folds;
};

// A table of the given printers (connections, or a printer read by itself), in their order.
std::shared_ptr<const PrinterTable> TableOf(const std::vector<Printer>& printers);

// Makes the index (tables, triggers, rows for the printers there are) in a machine that
// lacks it or holds another form of it. One quick query when it is there; called whenever
// a machine is opened.
void EnsurePrinterIndex(Store& db);
// Takes the index away, as a machine made before it was (for tests of the upgrade).
void DropPrinterIndex(Store& db);

// The table of local printers, brought up to date with the store (inside the caller's
// transaction). The same table is handed out while nothing changes.
std::shared_ptr<const PrinterTable> LocalPrinterTable(Store& db);
// Writes the snapshot that the last LocalPrinterTable found overtaken, if any, when the
// store can be had at once. Call outside a transaction, after the one that read the table.
void SaveDueSnapshot(Store& db);

// The key of ...\Print\Printers, or 0 when the machine has none yet.
int64_t PrintersKey(Store& db);
// One printer by its key, from the index; nullopt when the key is not a printer's.
std::optional<Printer> ReadIndexedPrinter(Store& db, int64_t key);

// Whether a local printer uses the driver (names compared case-insensitively). Inside a
// write transaction it also fills in the folded names the triggers cleared.
bool IndexedDriverInUse(Store& db, std::u16string_view driver);
// Records the folded driver name of a printer just written, so that look-ups find it.
void FillDriverFold(Store& db, int64_t key, std::u16string_view driver);

}  // namespace sim::spool
