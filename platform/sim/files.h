// The simulated file layer's own tools, shared by KERNEL32's file calls, the spooler's
// driver files and the print UI.
//
// Drive C: is the machine's: the programs that write there (the installer runs elevated,
// the print UI and the spooler as the system) must not be turned into writing somewhere
// else by a link that someone planted on the way. So every folder that is written into on
// drive C: is opened from the drive's root down, one name at a time, never through a link
// (openat with O_NOFOLLOW), and the file is then made or opened inside that folder's open
// descriptor: a link swapped in after the check changes nothing. The last name follows
// Windows' rules (a link there is followed unless the caller asks to open the link itself);
// the folders on the way are stricter than Windows, which follows junctions there.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

#include "win32/types.h"

namespace sim {

// ERROR_STOPPED_ON_SYMLINK: a link stood where a folder was to be written into.
inline constexpr DWORD kErrorStoppedOnSymlink = 681;

DWORD ErrorFromErrno(int e, bool parentMissing = false);

// A host file descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = other.Release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset();

private:
    int m_fd = -1;
};

// The host folder of the machine's drive C:.
std::filesystem::path DriveCFolder();

// host relative to drive C:'s folder, or nullopt when it lies elsewhere (Z:).
std::optional<std::filesystem::path> OnDriveC(const std::filesystem::path& host);

// Opens a folder on drive C: from the drive's root down without following a link; with
// create, missing folders on the way are made. Fails with kErrorStoppedOnSymlink at a
// link, ERROR_PATH_NOT_FOUND at a missing folder or a file where a folder should be.
Fd OpenFolderNoFollow(const std::filesystem::path& host, bool create, DWORD* error);
// The same below a root of the caller's (a machine's drive C: that is not this process's).
Fd OpenFolderBelow(const std::filesystem::path& root, const std::filesystem::path& relative, bool create,
                   DWORD* error);

// The open folder of a path that is about to be written, and its last name: on drive C:
// opened as above, elsewhere as the host opens it.
struct Place {
    Fd folder;
    std::string name;
};
std::optional<Place> PlaceToWrite(const std::filesystem::path& host, bool createFolders, DWORD* error);

// Copies the whole of one open file into another, with its last-write time, as Windows'
// CopyFile does. ERROR_SUCCESS or the Win32 error.
DWORD CopyFileContents(int from, int to);

// The names of one folder, found by their folded (Windows) form: a folder of a hundred
// thousand files is read once, not once per name looked for.
class FolderNames {
public:
    // Reads the folder's entries; an unreadable or missing folder has none.
    explicit FolderNames(int folderFd);
    FolderNames() = default;
    // The entry whose name equals name case-insensitively, as it is spelt there.
    std::optional<std::string> Find(std::u16string_view name) const;
    void Add(const std::string& name);
    void Remove(std::u16string_view name);

private:
    std::unordered_map<std::u16string, std::string> m_names;
};

}  // namespace sim
