#include "file_changes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "machine.h"
#include "text.h"
#include "win32/errors.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

constexpr const char* kTableSql =
    "CREATE TABLE IF NOT EXISTS file_changes("
    "id INTEGER PRIMARY KEY, token TEXT NOT NULL UNIQUE, pid INTEGER NOT NULL, started INTEGER NOT NULL, "
    "folders TEXT NOT NULL, scratch TEXT NOT NULL DEFAULT '', committed INTEGER NOT NULL DEFAULT 0)";

constexpr size_t kTokenLength = 16;
constexpr size_t kSuffixLength = 2 + kTokenLength + 4;  // ".~" TOKEN ".new"
constexpr size_t kNameMax = 255;

// ---- Processes ------------------------------------------------------------------------

// A process's start time (clock ticks since boot) and whether it has ended, from
// /proc/PID/stat: with the id it names one process, even after the id is used again.
struct ProcessState {
    int64_t started = -1;
    bool gone = true;
};

ProcessState StateOf(int64_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return {};
    size_t close = line.rfind(')');
    if (close == std::string::npos) return {};
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    ProcessState s;
    // After the name: state (3rd field) ... starttime (22nd).
    for (int i = 3; i <= 22 && rest >> field; ++i) {
        if (i == 3) s.gone = field == "Z" || field == "X" || field == "x";
        if (i == 22) s.started = std::strtoll(field.c_str(), nullptr, 10);
    }
    return s;
}

int64_t OwnStart() {
    static const int64_t started = StateOf(getpid()).started;
    return started;
}

bool OwnerAlive(int64_t pid, int64_t started) {
    ProcessState s = StateOf(pid);
    return !s.gone && s.started == started;
}

std::string RandomToken() {
    unsigned char bytes[kTokenLength / 2];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0) got += static_cast<size_t>(n);
    }
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

// ---- Names ----------------------------------------------------------------------------

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes name from the folder, a folder with all it holds, never following a link.
void RemoveTree(int parent, const std::string& name) {
    int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name.c_str(), 0);
        return;
    }
    if (DIR* dir = fdopendir(fd)) {
        std::vector<std::string> names;
        while (dirent* e = readdir(dir))
            if (std::string n = e->d_name; n != "." && n != "..") names.push_back(n);
        for (const auto& n : names) RemoveTree(dirfd(dir), n);
        closedir(dir);
    } else {
        close(fd);
    }
    unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// ---- The journal's rows ---------------------------------------------------------------

struct Row {
    int64_t id = 0;
    std::string token;
    int64_t pid = 0, started = 0;
    std::vector<fs::path> folders;  // relative to drive C:
    fs::path scratch;               // relative to drive C:, or empty
    bool committed = false;
};

std::string JoinLines(const std::vector<fs::path>& paths) {
    std::string out;
    for (const auto& p : paths) out += p.string() + "\n";
    return out;
}

std::vector<fs::path> SplitLines(const std::string& text) {
    std::vector<fs::path> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.emplace_back(line);
    return out;
}

std::vector<Row> ReadRows(Store& db) {
    std::vector<Row> rows;
    auto s = db.Prepare("SELECT id, token, pid, started, folders, scratch, committed FROM file_changes ORDER BY id");
    while (s.Step()) {
        Row r;
        r.id = s.Int(0);
        r.token = s.Text(1);
        r.pid = s.Int(2);
        r.started = s.Int(3);
        r.folders = SplitLines(s.Text(4));
        r.scratch = s.Text(5);
        r.committed = s.Int(6) != 0;
        rows.push_back(std::move(r));
    }
    return rows;
}

bool HasTable(Store& db) {
    auto s = db.Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name='file_changes'");
    return s.Step();
}

// Finishes (committed) or undoes the work of a set whose owner died, as file_changes.h
// tells. Each step can be taken again.
void RecoverSet(const fs::path& driveC, const Row& row) {
    const std::string newEnd = ".~" + row.token + ".new", oldEnd = ".~" + row.token + ".old";
    auto endsWith = [](const std::string& s, const std::string& end) {
        return s.size() > end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    };
    for (const auto& folder : row.folders) {
        DWORD error = 0;
        Fd fd = OpenFolderBelow(driveC, folder, false, &error);
        if (!fd) continue;  // never made, or a link now stands there: nothing of ours inside
        std::vector<std::string> mine;
        {
            int copy = dup(fd.Get());
            DIR* dir = copy >= 0 ? fdopendir(copy) : nullptr;
            if (!dir && copy >= 0) close(copy);
            while (dir) {
                dirent* e = readdir(dir);
                if (!e) break;
                std::string n = e->d_name;
                if (endsWith(n, newEnd) || endsWith(n, oldEnd)) mine.push_back(n);
            }
            if (dir) closedir(dir);
        }
        for (const auto& n : mine) {
            std::string base = n.substr(0, n.size() - kSuffixLength);
            struct stat at {}, st {};
            bool placed = fstatat(fd.Get(), base.c_str(), &at, AT_SYMLINK_NOFOLLOW) == 0;
            if (fstatat(fd.Get(), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (row.committed) {
                unlinkat(fd.Get(), n.c_str(), 0);
            } else if (endsWith(n, oldEnd)) {
                // The file that was there before: back to its name, unless it still is there.
                if (placed && SameFile(at, st))
                    unlinkat(fd.Get(), n.c_str(), 0);
                else
                    renameat(fd.Get(), n.c_str(), fd.Get(), base.c_str());
            } else {
                // A copy that became the file: the file goes with it.
                if (placed && SameFile(at, st)) unlinkat(fd.Get(), base.c_str(), 0);
                unlinkat(fd.Get(), n.c_str(), 0);
            }
            CrashPoint("files-recover");
        }
    }
    if (!row.scratch.empty()) {
        DWORD error = 0;
        Fd parent = OpenFolderBelow(driveC, row.scratch.parent_path(), false, &error);
        if (parent) RemoveTree(parent.Get(), row.scratch.filename().string());
    }
}

// Inside a write transaction: the sets whose owners are dead, recovered and forgotten.
size_t RecoverDead(Store& db, const fs::path& driveC, int64_t except) {
    size_t n = 0;
    for (const auto& row : ReadRows(db)) {
        if (row.id == except || OwnerAlive(row.pid, row.started)) continue;
        RecoverSet(driveC, row);
        db.Prepare("DELETE FROM file_changes WHERE id=?").Bind(1, row.id).Run();
        ++n;
    }
    return n;
}

}  // namespace

// ---- A set of changes -----------------------------------------------------------------

std::unique_ptr<FileChanges> FileChanges::Begin(Store& db, const std::vector<fs::path>& folders, DWORD* error,
                                                const char* scratchPrefix) {
    if (db.InTransaction()) {
        // Its row could not be committed before its files are made.
        *error = ERROR_INVALID_FUNCTION;
        return nullptr;
    }
    std::vector<fs::path> relative;
    for (const auto& f : folders) {
        auto r = OnDriveC(f);
        if (!r) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        relative.push_back(*r);
    }
    std::string token = RandomToken();
    fs::path scratch;
    if (scratchPrefix) scratch = fs::path("Windows") / "Temp" / (std::string(scratchPrefix) + "-" + token);
    int64_t id = 0;
    try {
        db.Write([&] {
            db.Exec(kTableSql);
            db.Prepare("INSERT INTO file_changes(token, pid, started, folders, scratch) VALUES(?, ?, ?, ?, ?)")
                .Bind(1, token)
                .Bind(2, static_cast<int64_t>(getpid()))
                .Bind(3, OwnStart())
                .Bind(4, JoinLines(relative))
                .Bind(5, scratch.string())
                .Run();
            id = db.LastInsertId();
        });
    } catch (const StoreError&) {
        *error = ERROR_REGISTRY_CORRUPT;
        return nullptr;
    }
    CrashPoint("files-journal");
    std::unique_ptr<FileChanges> set(new FileChanges(db, id, token));
    for (const auto& f : folders) {
        auto folder = std::make_unique<Folder>();
        folder->host = f.lexically_normal();
        set->m_folders.emplace(folder->host, std::move(folder));
    }
    if (!scratch.empty()) set->m_scratch = DriveCFolder() / scratch;
    return set;
}

FileChanges::~FileChanges() {
    if (m_committed) {
        for (const auto& c : m_changes) {
            if (c.done == Done::Replaced || c.done == Done::Removed)
                unlinkat(c.folder->fd.Get(), Suffixed(c.name, "old").c_str(), 0);
            else if (c.done == Done::Added)
                unlinkat(c.folder->fd.Get(), Suffixed(c.name, "new").c_str(), 0);
            CrashPoint("files-clean");
        }
    } else {
        UndoApplied();
        for (const auto& c : m_changes) Unstage(c);
    }
    if (!m_scratch.empty() && m_scratchFd) {
        DWORD error = 0;
        Fd parent = OpenFolderNoFollow(m_scratch.parent_path(), false, &error);
        if (parent) RemoveTree(parent.Get(), m_scratch.filename().string());
    }
    CrashPoint("files-forget");
    try {
        m_db.Write([&] { m_db.Prepare("DELETE FROM file_changes WHERE id=?").Bind(1, m_id).Run(); });
    } catch (const StoreError&) {
        // The row stays; whoever opens the machine after this process finishes it.
    }
}

FileChanges* FileChanges::Current(Store& db) { return db.JoinedPart<FileChanges>(); }

void FileChanges::Join() { m_db.Join(*this); }

std::string FileChanges::Suffixed(const std::string& name, const char* kind) const {
    return name + ".~" + m_token + "." + kind;
}

void FileChanges::Fail(DWORD error, std::string text) {
    m_error = error;
    m_errorText = std::move(text);
}

FileChanges::Folder* FileChanges::FolderOf(const fs::path& target, DWORD* error) {
    auto it = m_folders.find(target.parent_path().lexically_normal());
    if (it == m_folders.end()) {
        *error = ERROR_ACCESS_DENIED;  // not a folder this set journalled
        return nullptr;
    }
    Folder& f = *it->second;
    if (!f.opened) {
        f.fd = OpenFolderNoFollow(f.host, true, error);
        if (!f.fd) return nullptr;
        f.names = FolderNames(f.fd.Get());
        f.opened = true;
    }
    return &f;
}

std::optional<fs::path> FileChanges::CopyToScratch(const fs::path& source, const std::string& name, DWORD* error) {
    if (m_scratch.empty() || name.empty() || name == "." || name == ".." ||
        name.find('/') != std::string::npos) {
        *error = ERROR_INVALID_NAME;
        return std::nullopt;
    }
    if (!m_scratchFd) {
        Fd temp = OpenFolderNoFollow(m_scratch.parent_path(), false, error);
        if (!temp) return std::nullopt;
        std::string folder = m_scratch.filename().string();
        // Made here and nowhere else: a name someone made before us is not used.
        if (mkdirat(temp.Get(), folder.c_str(), 0700) != 0) {
            *error = errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno, true);
            return std::nullopt;
        }
        m_scratchFd = Fd(openat(temp.Get(), folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!m_scratchFd) {
            *error = ErrorFromErrno(errno);
            return std::nullopt;
        }
    }
    Fd in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in || fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = !in && errno == ELOOP ? kErrorStoppedOnSymlink : !in ? ErrorFromErrno(errno) : ERROR_ACCESS_DENIED;
        return std::nullopt;
    }
    Fd out(openat(m_scratchFd.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) {
        *error = ErrorFromErrno(errno);
        return std::nullopt;
    }
    if (DWORD e = CopyFileContents(in.Get(), out.Get())) {
        *error = e;
        return std::nullopt;
    }
    return m_scratch / name;
}

std::optional<struct stat> FileChanges::Existing(const fs::path& target) {
    DWORD error = 0;
    Folder* f = FolderOf(target, &error);
    if (!f) return std::nullopt;
    auto name = f->names.Find(ToUtf16(target.filename().string()));
    struct stat st {};
    if (!name || fstatat(f->fd.Get(), name->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

DWORD FileChanges::Put(const fs::path& source, const fs::path& target) {
    if (m_committed || !m_db.InWriteTransaction()) return ERROR_INVALID_FUNCTION;
    Join();
    DWORD error = 0;
    Folder* f = FolderOf(target, &error);
    if (!f) return error;
    std::string wanted = target.filename().string();
    std::string name = f->names.Find(ToUtf16(wanted)).value_or(wanted);
    if (name.size() + kSuffixLength > kNameMax) return ERROR_FILENAME_EXCED_RANGE;

    Fd in(open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in) return errno == ELOOP ? kErrorStoppedOnSymlink : ErrorFromErrno(errno, true);
    struct stat st {};
    if (fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;

    // Staged before in this transaction: the new copy takes the place of the first.
    auto known = f->staged.find(name);
    Change* change = known != f->staged.end() ? &m_changes[known->second] : nullptr;
    std::string staged = Suffixed(name, "new");
    if (change) Unstage(*change);
    Fd out(openat(f->fd.Get(), staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) return ErrorFromErrno(errno);
    struct stat made {};
    DWORD e = CopyFileContents(in.Get(), out.Get());
    if (!e && fstat(out.Get(), &made) != 0) e = ErrorFromErrno(errno);
    if (e) {
        unlinkat(f->fd.Get(), staged.c_str(), 0);
        if (change) change->withdrawn = true;  // its earlier copy is gone too
        return e;
    }
    if (!change) {
        f->staged.emplace(name, m_changes.size());
        m_changes.push_back({f, name, Kind::Put});
        change = &m_changes.back();
    }
    change->kind = Kind::Put;
    change->withdrawn = false;
    change->staged = made.st_ino;
    f->names.Add(name);
    CrashPoint("files-stage");
    return ERROR_SUCCESS;
}

DWORD FileChanges::Remove(const fs::path& target) {
    if (m_committed || !m_db.InWriteTransaction()) return ERROR_INVALID_FUNCTION;
    Join();
    DWORD error = 0;
    Folder* f = FolderOf(target, &error);
    if (!f) return error;
    auto name = f->names.Find(ToUtf16(target.filename().string()));
    if (!name) return ERROR_SUCCESS;
    if (name->size() + kSuffixLength > kNameMax) return ERROR_FILENAME_EXCED_RANGE;
    f->staged.erase(*name);
    m_changes.push_back({f, *name, Kind::Remove});
    f->names.Remove(ToUtf16(*name));
    return ERROR_SUCCESS;
}

void FileChanges::DropFrom(size_t count) {
    while (m_changes.size() > count) {
        Change& c = m_changes.back();
        Unstage(c);
        if (auto it = c.folder->staged.find(c.name); it != c.folder->staged.end() && it->second == m_changes.size() - 1)
            c.folder->staged.erase(it);
        m_changes.pop_back();
    }
}

void FileChanges::Unstage(const Change& c) noexcept {
    if (c.kind == Kind::Put && !c.withdrawn && c.folder->fd)
        unlinkat(c.folder->fd.Get(), Suffixed(c.name, "new").c_str(), 0);
}

void FileChanges::ApplyOne(Change& c) {
    if (c.withdrawn) return;  // a copy that failed
    int fd = c.folder->fd.Get();
    const char* name = c.name.c_str();
    std::string staged = Suffixed(c.name, "new"), old = Suffixed(c.name, "old");
    struct stat at {};
    bool exists = fstatat(fd, name, &at, AT_SYMLINK_NOFOLLOW) == 0;
    auto fail = [&](const char* what) {
        int e = errno;
        Fail(ErrorFromErrno(e), std::string(what) + " " + (c.folder->host / c.name).string() + ": " + std::strerror(e));
        throw StoreError{SQLITE_ABORT, m_errorText};
    };
    if (exists && S_ISDIR(at.st_mode)) {
        errno = EISDIR;
        fail(c.kind == Kind::Put ? "cannot replace the folder" : "cannot remove the folder");
    }
    if (c.kind == Kind::Remove) {
        if (!exists) return;
        if (renameat(fd, name, fd, old.c_str()) != 0) fail("cannot remove");
        c.done = Done::Removed;
    } else if (exists) {
        if (linkat(fd, name, fd, old.c_str(), 0) != 0) fail("cannot keep the file before");
        c.done = Done::Replaced;  // from here on the undo puts .old back
        if (renameat(fd, staged.c_str(), fd, name) != 0) fail("cannot replace");
    } else {
        if (linkat(fd, staged.c_str(), fd, name, 0) != 0) fail("cannot make");
        c.done = Done::Added;
    }
}

void FileChanges::Prepare(Store& db) {
    RecoverDead(db, DriveCFolder(), m_id);
    try {
        for (auto& c : m_changes) {
            ApplyOne(c);
            CrashPoint("files-apply");
        }
    } catch (const StoreError&) {
        UndoApplied();
        throw;
    }
    db.Prepare("UPDATE file_changes SET committed=1 WHERE id=?").Bind(1, m_id).Run();
}

void FileChanges::UndoApplied() noexcept {
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it) {
        Change& c = *it;
        if (c.done == Done::Nothing) continue;
        int fd = c.folder->fd.Get();
        std::string old = Suffixed(c.name, "old");
        struct stat at {}, st {};
        bool placed = fstatat(fd, c.name.c_str(), &at, AT_SYMLINK_NOFOLLOW) == 0;
        switch (c.done) {
            case Done::Nothing: break;
            case Done::Replaced:
            case Done::Removed:
                if (fstatat(fd, old.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    if (placed && SameFile(at, st))
                        unlinkat(fd, old.c_str(), 0);
                    else
                        renameat(fd, old.c_str(), fd, c.name.c_str());
                }
                // The staged copy was renamed into place and is gone with the undo.
                if (c.done == Done::Replaced) c.withdrawn = true;
                break;
            case Done::Added:
                if (placed && at.st_ino == c.staged) unlinkat(fd, c.name.c_str(), 0);
                break;
        }
        c.done = Done::Nothing;
    }
}

void FileChanges::Ended(bool committed) noexcept {
    if (committed) {
        m_committed = true;
        CrashPoint("files-commit");
        return;
    }
    // Rolled back: what Prepare did is undone while the store is still held, and the
    // staged copies go; a body that runs again stages again.
    UndoApplied();
    DropFrom(0);
    // Other processes may change the folders before the body runs again.
    for (auto& [host, f] : m_folders) {
        f->staged.clear();
        if (f->opened) f->names = FolderNames(f->fd.Get());
    }
}

// ---- The machine's journal ------------------------------------------------------------

size_t RecoverFileChanges(Store& db, const fs::path& driveC) {
    bool table = false;
    bool dead = false;
    db.Read([&] {
        table = HasTable(db);
        if (!table) return;
        for (const auto& row : ReadRows(db)) dead = dead || !OwnerAlive(row.pid, row.started);
    });
    if (!table) db.Write([&] { db.Exec(kTableSql); });
    if (!dead) return 0;
    return db.Write([&] { return RecoverDead(db, driveC, 0); });
}

std::vector<FileChangeSet> ListFileChanges(Store& db) {
    std::vector<FileChangeSet> out;
    db.Read([&] {
        if (!HasTable(db)) return;
        for (const auto& row : ReadRows(db)) out.push_back({row.token, row.committed, OwnerAlive(row.pid, row.started)});
    });
    return out;
}

}  // namespace sim
