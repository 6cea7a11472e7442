// Changes to the files of drive C: that take effect with a write transaction of the
// machine's store, so that a record and the files it names come and go together: after a
// kill at any moment, the next process to open the machine finds the old record with its
// old files or the new record with its new files, and nothing else; and two processes
// changing the same files at once never touch what the other wrote.
//
// The journal. A set of changes is a row of the store's file_changes table, committed in a
// transaction of its own before the set makes any file: an unguessable token, the owner
// (process id and start time), the folders the set may write into, its scratch folder if
// any, and whether the transaction it belongs to committed. Every name the set makes in
// those folders carries its token:
//   NAME.~TOKEN.new   a staged copy, beside the file it will replace or become
//   NAME.~TOKEN.old   the file it replaced or removed, kept until its commit is done
// and its scratch folder is C:\Windows\Temp\PREFIX-TOKEN.
//
// Staging (Put, Remove) happens inside the write transaction, so that what is needed is
// decided under the same lock that records it. As the transaction's last step (Prepare),
// still under the store's write lock:
//   - sets whose owners died are finished or undone first (below), so that nothing is
//     renamed over a file whose owner's work is half done;
//   - a file to replace is linked to its .old name, then its .new is renamed over it (the
//     name is never missing); a new file is linked into place from its .new, which stays
//     as the mark that the file is this set's; a file to remove is renamed to its .old;
//   - the row is marked committed, in the same transaction.
// After the commit the .old and .new names and the scratch folder go, then the row. A
// rollback undoes the renames before the store lets go of the machine.
//
// Recovery of a set whose owner is dead: committed, its .old and .new names go; not
// committed, each .old goes back to its name, each name that is its .new's file goes,
// then the .new names. Then its scratch folder and its row go. Every step can be run
// again after a kill halfway. It runs whenever a process opens the machine, and in every
// set's Prepare.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "files.h"
#include "store.h"

namespace sim {

class FileChanges final : public TransactionPart {
public:
    // Journals a set of changes to files of these folders (host paths on drive C:) and,
    // with scratchPrefix, a scratch folder in C:\Windows\Temp. Outside any transaction of
    // this thread. Null with the Win32 error when the store or the paths refuse.
    static std::unique_ptr<FileChanges> Begin(Store& db, const std::vector<std::filesystem::path>& folders,
                                              DWORD* error, const char* scratchPrefix = nullptr);
    // Whatever did not commit goes; a committed set's leftovers go; then its row.
    ~FileChanges();
    FileChanges(const FileChanges&) = delete;
    FileChanges& operator=(const FileChanges&) = delete;

    // The set that takes part in this thread's current transaction of db, or null.
    static FileChanges* Current(Store& db);
    // Takes part in db's current write transaction.
    void Join();

    // Copies source (a host file; a link is refused) into the scratch folder as name, made
    // on first use. Outside or inside a transaction. The copy's host path, or nullopt.
    std::optional<std::filesystem::path> CopyToScratch(const std::filesystem::path& source, const std::string& name,
                                                       DWORD* error);

    // Inside a write transaction (joined): target (on drive C:, in one of the set's
    // folders, its name matched case-insensitively) becomes a copy of source (a file, not
    // a link) at the commit, or goes. ERROR_SUCCESS or the Win32 error.
    DWORD Put(const std::filesystem::path& source, const std::filesystem::path& target);
    DWORD Remove(const std::filesystem::path& target);

    // The file at target as it is now (its name matched case-insensitively), or nullopt.
    std::optional<struct stat> Existing(const std::filesystem::path& target);

    // Changes staged so far, and dropping the ones after such a count: what a caller staged
    // before failing goes without taking the rest of the transaction with it.
    size_t Staged() const { return m_changes.size(); }
    void DropFrom(size_t count);

    // Why Prepare failed (ERROR_SUCCESS when it did not).
    DWORD Error() const { return m_error; }
    const std::string& ErrorText() const { return m_errorText; }

    void Prepare(Store& db) override;
    void Ended(bool committed) noexcept override;

private:
    struct Folder {
        std::filesystem::path host;
        Fd fd;
        bool opened = false;
        FolderNames names;
        std::unordered_map<std::string, size_t> staged;  // name -> its Put among the changes
    };
    enum class Kind { Put, Remove };
    enum class Done { Nothing, Replaced, Added, Removed };
    struct Change {
        Folder* folder;
        std::string name;  // as it is spelt in the folder
        Kind kind;
        Done done = Done::Nothing;
        ino_t staged = 0;        // the .new copy's inode
        bool withdrawn = false;  // its copy is gone (a failed copy, or undone)
    };

    FileChanges(Store& db, int64_t id, std::string token) : m_db(db), m_id(id), m_token(std::move(token)) {}
    Folder* FolderOf(const std::filesystem::path& target, DWORD* error);
    std::string Suffixed(const std::string& name, const char* kind) const;
    void ApplyOne(Change& c);
    void UndoApplied() noexcept;
    void Unstage(const Change& c) noexcept;
    void Fail(DWORD error, std::string text);

    Store& m_db;
    int64_t m_id;
    std::string m_token;
    std::map<std::filesystem::path, std::unique_ptr<Folder>> m_folders;
    std::filesystem::path m_scratch;
    Fd m_scratchFd;
    std::vector<Change> m_changes;
    bool m_committed = false;
    DWORD m_error = 0;
    std::string m_errorText;
};

// Creates the journal's table on a machine without one, and finishes or undoes the sets
// of processes that died (see above). Run when a process opens the machine; outside any
// transaction. driveC: the machine's drive C: folder. Returns how many dead sets it found.
size_t RecoverFileChanges(Store& db, const std::filesystem::path& driveC);

// The journal's sets, for tests and drovan-machine: their tokens, whether committed and
// whether their owner still runs.
struct FileChangeSet {
    std::string token;
    bool committed = false;
    bool ownerAlive = false;
};
std::vector<FileChangeSet> ListFileChanges(Store& db);

}  // namespace sim
