#include "faults.h"

#include "machine.h"

namespace sim {

bool TakeFault(const char* op, DWORD* error) {
    Store& db = CurrentMachine().Db();
    try {
        // Almost always there is no fault: look first, and take the write lock only to
        // use one up. Inside a caller's transaction both steps join it.
        bool present = db.Read([&] {
            auto s = db.Prepare("SELECT 1 FROM faults WHERE op=?");
            s.Bind(1, op);
            return s.Step();
        });
        if (!present) return false;
        return db.Write([&] {
            auto s = db.Prepare("SELECT error, remaining, skip FROM faults WHERE op=?");
            s.Bind(1, op);
            if (!s.Step()) return false;
            if (s.Int(2) > 0) {
                db.Prepare("UPDATE faults SET skip=skip-1 WHERE op=?").Bind(1, op).Run();
                return false;
            }
            *error = static_cast<DWORD>(s.Int(0));
            int64_t remaining = s.Int(1);
            if (remaining == 1) {
                db.Prepare("DELETE FROM faults WHERE op=?").Bind(1, op).Run();
            } else if (remaining > 1) {
                db.Prepare("UPDATE faults SET remaining=remaining-1 WHERE op=?").Bind(1, op).Run();
            }
            return true;
        });
    } catch (const StoreError& e) {
        // Inside a caller's transaction a busy store must restart that transaction.
        if (e.code == SQLITE_BUSY) throw;
        return false;  // any other store failure is reported by the operation itself
    }
}

void SetFault(Store& db, const Fault& fault) {
    db.Write([&] {
        db.Prepare(
              "INSERT INTO faults(op, error, remaining, skip) VALUES(?, ?, ?, ?) "
              "ON CONFLICT(op) DO UPDATE SET error=excluded.error, remaining=excluded.remaining, "
              "skip=excluded.skip")
            .Bind(1, fault.op)
            .Bind(2, fault.error)
            .Bind(3, fault.remaining)
            .Bind(4, fault.skip)
            .Run();
    });
}

bool ClearFault(Store& db, const std::string& op) {
    return db.Write([&] {
        db.Prepare("DELETE FROM faults WHERE op=?").Bind(1, op).Run();
        return db.Changes() > 0;
    });
}

void ClearAllFaults(Store& db) {
    db.Write([&] { db.Prepare("DELETE FROM faults").Run(); });
}

std::vector<Fault> ListFaults(Store& db) {
    return db.Read([&] {
        std::vector<Fault> out;
        auto s = db.Prepare("SELECT op, error, remaining, skip FROM faults ORDER BY op");
        while (s.Step())
            out.push_back({s.Text(0), static_cast<DWORD>(s.Int(1)), s.Int(2), s.Int(3)});
        return out;
    });
}

}  // namespace sim
