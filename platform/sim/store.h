// The machine's SQLite store: one database per machine folder, shared by every process
// that uses the machine. Each operation runs in one transaction, so a process killed at
// any moment leaves the machine as it was before or after each change, never between.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace sim {

class Store;

// Work beside the store's rows that must change together with a write transaction (the
// files of drive C:, file_changes.h). A part joins the outermost write transaction of its
// thread; Prepare runs last inside it, once its body is done (a StoreError there rolls the
// whole transaction back), and Ended runs when it is over: after the commit, or, when it
// is rolled back, before the store lets the machine go, so that a part can undo what its
// Prepare did while no other process can look.
class TransactionPart {
public:
    virtual void Prepare(Store& db) = 0;
    virtual void Ended(bool committed) noexcept = 0;

protected:
    ~TransactionPart() = default;
};

// A prepared statement, reset and cleared when the scope that borrowed it ends.
class Stmt {
public:
    explicit Stmt(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~Stmt() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Stmt& Bind(int i, int64_t v);
    Stmt& Bind(int i, std::string_view text);
    Stmt& BindBlob(int i, const void* data, size_t size);
    Stmt& BindNull(int i);
    bool Step();  // true while a row is available; a failure raises StoreError
    void Run() { while (Step()) {} }
    int64_t Int(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string Text(int col) const;
    std::string_view Blob(int col) const;
    bool IsNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

private:
    sqlite3_stmt* m_stmt;
};

// A blob open for reading in pieces, straight into the caller's memory: a large one does
// not pass whole through SQLite's buffers first. Valid inside the transaction that
// opened it.
class BlobReader {
public:
    explicit BlobReader(sqlite3_blob* blob) : m_blob(blob) {}
    ~BlobReader() { sqlite3_blob_close(m_blob); }
    BlobReader(const BlobReader&) = delete;
    BlobReader& operator=(const BlobReader&) = delete;

    size_t Size() const { return static_cast<size_t>(sqlite3_blob_bytes(m_blob)); }
    // False when the range is not within the blob or the store fails.
    bool Read(void* into, size_t bytes, size_t offset) const;

private:
    sqlite3_blob* m_blob;
};

// Raised inside a transaction when SQLite fails; the transaction is rolled back and the
// operation reports a Win32 error. SQLITE_BUSY is retried by the store, never raised.
struct StoreError {
    int code;
    std::string message;
};

class Store {
public:
    // Opens an existing database. Refuses a file that is not a machine database.
    static std::unique_ptr<Store> Open(const std::string& path, std::string* error);
    // Creates a database with the machine's schema at path (which must not exist).
    static std::unique_ptr<Store> Create(const std::string& path, std::string* error);
    ~Store();

    Stmt Prepare(const char* sql);  // cached per SQL text
    int64_t LastInsertId() const { return sqlite3_last_insert_rowid(m_db); }
    int Changes() const { return sqlite3_changes(m_db); }
    // Runs SQL text of one or more statements, such as a schema change. Inside a transaction.
    void Exec(const char* sql);
    // The blob in column of the row with that rowid, or null when there is none.
    std::unique_ptr<BlobReader> OpenBlob(const char* table, const char* column, int64_t rowid);
    bool InWriteTransaction() const { return m_depth > 0 && m_write; }
    // Whether this thread is inside a transaction (another thread's is waited for).
    bool InTransaction() {
        std::lock_guard lock(m_mutex);
        return m_depth > 0;
    }
    // Adds a part to the current write transaction (once; again is nothing).
    void Join(TransactionPart& part);
    // Whether the part takes part in the current transaction.
    bool Joined(const TransactionPart& part) const;
    // The first part of type T in this thread's current transaction, or null.
    template <class T>
    T* JoinedPart() {
        std::lock_guard lock(m_mutex);
        if (m_depth == 0) return nullptr;
        for (auto* p : m_parts)
            if (auto* t = dynamic_cast<T*>(p)) return t;
        return nullptr;
    }

    // SQLite's data version of the last transaction this connection began: it moves when
    // that transaction saw a change by any connection, this one included, since the one
    // before. No I/O: it tells nothing about changes made since.
    int64_t LastDataVersion();

    // State that another layer derives from this store's data and keeps beside it (a
    // cache checked against the data it derives from), made on first use and dropped with
    // the store. Use it under Mutex(), as every transaction holds it.
    template <class T>
    T& Derived() {
        std::shared_ptr<void>& slot = m_derived[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

    // Runs body in a read (deferred) or write (immediate) transaction. Nested calls join
    // the outer transaction. Busy databases are waited for; a StoreError rolls back and
    // is passed on to the caller.
    template <class F>
    auto Read(F&& body) { return Transact(false, std::forward<F>(body)); }
    template <class F>
    auto Write(F&& body) { return Transact(true, std::forward<F>(body)); }

    // Runs body in a write transaction if the store can be had at once, for work that
    // may as well be left for later: false (nothing done) while another connection writes.
    // Inside a transaction of this connection it joins it. A StoreError of body rolls back
    // and is passed on.
    template <class F>
    bool TryWrite(F&& body) {
        std::lock_guard lock(m_mutex);
        if (m_depth > 0) {
            Write(std::forward<F>(body));
            return true;
        }
        if (!BeginAtOnce()) return false;
        m_depth = 1;
        m_write = true;
        try {
            body();
            Complete();
            return true;
        } catch (const StoreError&) {
            Abandon();
            throw;
        }
    }

    std::recursive_mutex& Mutex() { return m_mutex; }
    uint64_t Rollbacks() const { return m_rollbacks; }  // of this connection, so far

private:
    explicit Store(sqlite3* db) : m_db(db) {}
    void Begin(bool write);
    bool BeginAtOnce();  // a write transaction, unless another connection holds the store
    void Commit();
    void Rollback();
    // The end of the outermost transaction: the parts prepared, the commit, the parts told;
    // or the parts told and the rollback.
    void Complete();
    void Abandon();

    template <class F>
    auto Transact(bool write, F&& body) {
        std::lock_guard lock(m_mutex);
        if (m_depth > 0) {
            ++m_depth;
            struct Leave { int& d; ~Leave() { --d; } } leave{m_depth};
            return body();
        }
        for (;;) {
            try {
                Begin(write);
                m_depth = 1;
                m_write = write;
                if constexpr (std::is_void_v<decltype(body())>) {
                    body();
                    Complete();
                    return;
                } else {
                    auto result = body();
                    Complete();
                    return result;
                }
            } catch (const StoreError& e) {
                Abandon();
                if (e.code != SQLITE_BUSY) throw;
                // Another process changed the machine since our snapshot began, or held
                // it past the busy time-out: start over.
            }
        }
    }

    sqlite3* m_db;
    std::recursive_mutex m_mutex;
    int m_depth = 0;
    bool m_write = false;
    uint64_t m_rollbacks = 0;
    std::vector<TransactionPart*> m_parts;
    std::unordered_map<const char*, sqlite3_stmt*> m_cache;
    std::unordered_map<std::type_index, std::shared_ptr<void>> m_derived;
};

}  // namespace sim
