// The printers' index: one row per local printer holding the values its PRINTER_INFO_2
// record is made of, its count of jobs and its driver's folded name, kept in the machine's
// store beside the registry it is derived from.
//
// The registry stays the one truth (a printer is its key under ...\Print\Printers, as on
// Windows); triggers of the store keep the index in step with it, so every writer keeps it
// right: the spooler's calls, the registry API, `drovan-machine reg import`, another
// process, a build of the program that knows nothing of the index. Reading 10,000 printers
// is then one pass over 10,000 rows instead of a look-up of each of 170,000 values.
//
//   spool_printers(key, name, share, port, driver, comment, location, sepfile, processor,
//                  datatype, params, attributes, priority, defpriority, starttime,
//                  untiltime, status, jobs, driverfold)
//
// Each value column holds the raw data of the value of that name (NULL when there is
// none), read as the spooler reads the value itself. jobs counts the subkeys of the
// printer's Jobs key. driverfold is the driver's name folded for case-insensitive
// look-ups; the triggers cannot fold text as Windows does, so they clear it whenever the
// driver changes and the spooler fills it in (FillDriverFold).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "spooler_store.h"
#include "store.h"

namespace sim::spool {

// Makes the index (tables, triggers, and rows for the printers there are) in a machine
// that lacks it or holds an older form of it. One quick query when it is there; called
// whenever a machine is opened.
void EnsurePrinterIndex(Store& db);

// The key of ...\Print\Printers, or 0 when the machine has none yet.
int64_t PrintersKey(Store& db);

// The local printers below the Printers key, in the spooler's order (by name,
// case-insensitive), in one pass over the index.
std::vector<Printer> ReadIndexedPrinters(Store& db, int64_t printersKey);
// One printer by its key; nullopt when the key is not a printer's.
std::optional<Printer> ReadIndexedPrinter(Store& db, int64_t key);

// Whether a local printer uses the driver (names compared case-insensitively). Inside a
// write transaction it also fills the folded names the triggers cleared.
bool IndexedDriverInUse(Store& db, std::u16string_view driver);
// Records the folded driver name of a printer just written, so that look-ups find it.
void FillDriverFold(Store& db, int64_t key, std::u16string_view driver);

}  // namespace sim::spool
