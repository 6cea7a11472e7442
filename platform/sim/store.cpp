#include "store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kSchemaVersion = 1;  // the machine table's "schema" row

// Version 1 of the machine's schema. Registry keys form a tree under the roots (ids 1
// and 2); names keep their case and are matched through their folded form, as
// Windows matches them. Values keep their insertion order through their row id.
constexpr const char* kSchema = R"sql(
CREATE TABLE machine(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE keys(
  id INTEGER PRIMARY KEY,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  UNIQUE(parent, fold));
CREATE TABLE vals(
  id INTEGER PRIMARY KEY,
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, fold));
CREATE TABLE faults(op TEXT PRIMARY KEY, error INTEGER NOT NULL, remaining INTEGER NOT NULL,
                    skip INTEGER NOT NULL DEFAULT 0);
INSERT INTO keys(id, parent, name, fold) VALUES (1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE');
INSERT INTO keys(id, parent, name, fold) VALUES (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER');
INSERT INTO keys(id, parent, name, fold) VALUES (3, 0, 'HKEY_USERS', 'HKEY_USERS');
INSERT INTO machine(key, value) VALUES ('schema', '1');
)sql";

void Fail(sqlite3* db, int rc) {
    throw StoreError{rc & 0xFF, sqlite3_errmsg(db)};
}

void Configure(sqlite3* db) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL lets readers run beside a writer; NORMAL syncing keeps every committed
    // transaction across a crash of the process (not of the host's power). Pages are read
    // through a mapping of the file rather than copied into a cache of this process: the
    // printers' snapshot is megabytes that a new process reads once.
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; "
                 "PRAGMA mmap_size=268435456;",
                 nullptr, nullptr, nullptr);
}

// Machines made before a fault could let calls pass first lack the faults table's skip
// column: it is added, defaulting to none, and nothing else changes.
void AddFaultSkip(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    bool has = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM pragma_table_info('faults') WHERE name='skip'", -1, &s, nullptr) ==
        SQLITE_OK)
        has = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    if (!has) sqlite3_exec(db, "ALTER TABLE faults ADD COLUMN skip INTEGER NOT NULL DEFAULT 0", nullptr, nullptr, nullptr);
}

}  // namespace

Stmt& Stmt::Bind(int i, int64_t v) {
    sqlite3_bind_int64(m_stmt, i, v);
    return *this;
}
Stmt& Stmt::Bind(int i, std::string_view text) {
    sqlite3_bind_text(m_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}
Stmt& Stmt::BindBlob(int i, const void* data, size_t size) {
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    sqlite3_bind_blob(m_stmt, i, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
    return *this;
}
Stmt& Stmt::BindNull(int i) {
    sqlite3_bind_null(m_stmt, i);
    return *this;
}
bool Stmt::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(sqlite3_db_handle(m_stmt), rc);
    return false;
}
std::string Stmt::Text(int col) const {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return p ? std::string(p, sqlite3_column_bytes(m_stmt, col)) : std::string();
}
std::string_view Stmt::Blob(int col) const {
    auto p = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
    return p ? std::string_view(p, sqlite3_column_bytes(m_stmt, col)) : std::string_view();
}

std::unique_ptr<Store> Store::Open(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        *error = std::string("cannot open the machine database ") + path + ": " +
                 (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_stmt* check = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT value FROM machine WHERE key='schema'", -1, &check, nullptr);
    const bool found = rc == SQLITE_OK && sqlite3_step(check) == SQLITE_ROW;
    const auto* text = found ? sqlite3_column_text(check, 0) : nullptr;
    const std::string version = text ? reinterpret_cast<const char*>(text) : "";
    std::string why = sqlite3_errmsg(db);
    sqlite3_finalize(check);
    if (!found || version != std::to_string(kSchemaVersion)) {
        // A later schema is a machine this program must not touch, not a damaged one.
        char* end = nullptr;
        const long long number = version.empty() ? 0 : std::strtoll(version.c_str(), &end, 10);
        if (found && end && *end == 0 && number > kSchemaVersion)
            *error = "the machine database " + path + " was written by a newer version of this program (schema " +
                     version + "; this one reads schema " + std::to_string(kSchemaVersion) + "); it was left untouched";
        else
            *error = "the machine database " + path + " is unreadable or corrupt (" +
                     (found ? "unknown schema '" + version + "'" : why) + "); it was left untouched";
        sqlite3_close(db);
        return nullptr;
    }
    Configure(db);
    AddFaultSkip(db);
    return std::unique_ptr<Store>(new Store(db));
}

std::unique_ptr<Store> Store::Create(const std::string& path, std::string* error) {
    // Build the database under a private name and link it into place, so that a
    // concurrent creator or a crash never leaves a half-made machine behind.
    std::string tmp = path + ".new-" + std::to_string(getpid());
    unlink(tmp.c_str());
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* msg = nullptr;
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "BEGIN;", nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, &msg);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT;", nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        *error = "cannot create the machine database " + path + ": " +
                 (msg ? msg : sqlite3_errstr(rc));
        sqlite3_free(msg);
        sqlite3_close(db);
        unlink(tmp.c_str());
        return nullptr;
    }
    sqlite3_close(db);
    if (link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        *error = "cannot create the machine database " + path + ": " + strerror(errno);
        unlink(tmp.c_str());
        return nullptr;
    }
    unlink(tmp.c_str());
    return Open(path, error);
}

bool BlobReader::Read(void* into, size_t bytes, size_t offset) const {
    if (offset > Size() || bytes > Size() - offset) return false;
    return sqlite3_blob_read(m_blob, into, static_cast<int>(bytes), static_cast<int>(offset)) == SQLITE_OK;
}

std::unique_ptr<BlobReader> Store::OpenBlob(const char* table, const char* column, int64_t rowid) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(m_db, "main", table, column, rowid, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return nullptr;
    }
    return std::make_unique<BlobReader>(blob);
}

Store::~Store() {
    for (auto& [sql, stmt] : m_cache) sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

Stmt Store::Prepare(const char* sql) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return Stmt(it->second);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(m_db, rc);
    m_cache.emplace(sql, stmt);
    return Stmt(stmt);
}

void Store::Exec(const char* sql) {
    int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(m_db, rc);
}

// Transaction statements are prepared once: parsing them on every call cost more than
// the queries they guard.
void Store::Begin(bool write) { Prepare(write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED").Run(); }
void Store::Commit() { Prepare("COMMIT").Run(); }

bool Store::BeginAtOnce() {
    sqlite3_busy_timeout(m_db, 0);
    bool begun = true;
    try {
        Begin(true);
    } catch (const StoreError& e) {
        if (e.code != SQLITE_BUSY) {
            sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
            throw;
        }
        begun = false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return begun;
}
void Store::Join(TransactionPart& part) {
    if (!Joined(part)) m_parts.push_back(&part);
}

bool Store::Joined(const TransactionPart& part) const {
    for (const auto* p : m_parts)
        if (p == &part) return true;
    return false;
}

void Store::Complete() {
    // A part's Prepare may use the store: it is still inside the transaction.
    for (size_t i = 0; i < m_parts.size(); ++i) m_parts[i]->Prepare(*this);
    m_depth = 0;
    Commit();
    auto parts = std::move(m_parts);
    m_parts.clear();
    for (auto* p : parts) p->Ended(true);
}

void Store::Abandon() {
    m_depth = 0;
    auto parts = std::move(m_parts);
    m_parts.clear();
    for (auto* p : parts) p->Ended(false);
    Rollback();
}

void Store::Rollback() {
    ++m_rollbacks;  // rows this connection changed may be back as they were
    if (!sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

int64_t Store::LastDataVersion() {
    std::lock_guard lock(m_mutex);
    unsigned version = 0;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

}  // namespace sim
