// KERNEL32's file calls and the C runtime's Windows-path calls, on the machine's drives.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>

#include "faults.h"
#include "handles.h"
#include "machine.h"
#include "paths.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/registry.h"

namespace fs = std::filesystem;

namespace sim {

DWORD ErrorFromErrno(int e, bool parentMissing) {
    switch (e) {
        case ENOENT: return parentMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ELOOP: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case ENOSPC: return 112;  // ERROR_DISK_FULL
        default: return ERROR_ACCESS_DENIED;
    }
}

void Fd::Reset() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

fs::path DriveCFolder() { return (SelectedMachineFolder() / "drive_c").lexically_normal(); }

std::optional<fs::path> OnDriveC(const fs::path& host) {
    fs::path relative = host.lexically_normal().lexically_relative(DriveCFolder());
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return relative;
}

Fd OpenFolderNoFollow(const fs::path& host, bool create, DWORD* error) {
    auto relative = OnDriveC(host);
    if (!relative) {
        *error = ERROR_PATH_NOT_FOUND;
        return Fd();
    }
    return OpenFolderBelow(DriveCFolder(), *relative, create, error);
}

Fd OpenFolderBelow(const fs::path& root, const fs::path& relative, bool create, DWORD* error) {
    // The drive's own folder is the machine's, chosen by whoever runs it: trusted.
    Fd folder(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        *error = ErrorFromErrno(errno, true);
        return Fd();
    }
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    for (const auto& part : relative) {
        std::string name = part.string();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            *error = ERROR_PATH_NOT_FOUND;
            return Fd();
        }
        int fd = openat(folder.Get(), name.c_str(), kFlags);
        if (fd < 0 && errno == ENOENT && create) {
            if (mkdirat(folder.Get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
                *error = ErrorFromErrno(errno, true);
                return Fd();
            }
            fd = openat(folder.Get(), name.c_str(), kFlags);
        }
        if (fd < 0) {
            int e = errno;
            struct stat st {};
            if (fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                *error = kErrorStoppedOnSymlink;
            else
                *error = e == ENOENT || e == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(e);
            return Fd();
        }
        folder = Fd(fd);
    }
    return folder;
}

std::optional<Place> PlaceToWrite(const fs::path& host, bool createFolders, DWORD* error) {
    Place place;
    place.name = host.filename().string();
    if (place.name.empty() || place.name == "." || place.name == "..") {
        *error = ERROR_ACCESS_DENIED;  // a drive's root or a path ending in a separator
        return std::nullopt;
    }
    if (OnDriveC(host)) {
        place.folder = OpenFolderNoFollow(host.parent_path(), createFolders, error);
    } else {
        std::error_code ec;
        if (createFolders) fs::create_directories(host.parent_path(), ec);
        place.folder = Fd(open(host.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!place.folder) *error = errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno);
    }
    if (!place.folder) return std::nullopt;
    return place;
}

FolderNames::FolderNames(int folderFd) {
    int fd = dup(folderFd);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) close(fd);
        return;
    }
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") Add(name);
    }
    closedir(dir);
}

std::optional<std::string> FolderNames::Find(std::u16string_view name) const {
    auto it = m_names.find(Fold(name));
    if (it == m_names.end()) return std::nullopt;
    return it->second;
}

void FolderNames::Add(const std::string& name) { m_names.emplace(Fold(ToUtf16(name)), name); }
void FolderNames::Remove(std::u16string_view name) { m_names.erase(Fold(name)); }

DWORD CopyFileContents(int from, int to) {
    struct stat st {};
    if (fstat(from, &st) != 0) return ErrorFromErrno(errno);
    for (;;) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) break;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return ErrorFromErrno(errno);
        // File systems that cannot copy in the kernel: read and write.
        char buf[1 << 16];
        for (;;) {
            ssize_t r = read(from, buf, sizeof buf);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return ErrorFromErrno(errno);
            if (r == 0) break;
            for (ssize_t done = 0; done < r;) {
                ssize_t w = write(to, buf + done, static_cast<size_t>(r - done));
                if (w < 0 && errno == EINTR) continue;
                if (w < 0) return ErrorFromErrno(errno);
                done += w;
            }
        }
        break;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(to, times);
    return ERROR_SUCCESS;
}

namespace {

int ErrnoFromError(DWORD e) {
    switch (e) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
        default: return EACCES;
    }
}

bool ParentMissing(const fs::path& p) {
    std::error_code ec;
    return !fs::is_directory(p.parent_path(), ec);
}

std::u16string FromAnsi(const char* s) {
    if (!s) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::u16string out(n > 0 ? n : 0, u'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, -1, out.data(), n);
    if (!out.empty()) out.pop_back();
    return out;
}

// Open files of this process, by host file identity, for Windows' share modes.
struct OpenFile {
    DWORD access;
    DWORD share;
};
struct ShareTable {
    std::mutex mutex;
    std::multimap<std::pair<dev_t, ino_t>, OpenFile*> open;
};
ShareTable& Shares() {
    static ShareTable* t = new ShareTable;
    return *t;
}

struct FileObject final : Object {
    static constexpr Kind kKind = Kind::File;
    Kind kind() const override { return kKind; }
    ~FileObject() override {
        if (registered) {
            std::lock_guard lock(Shares().mutex);
            auto range = Shares().open.equal_range(id);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second == &mode) {
                    Shares().open.erase(it);
                    break;
                }
            }
        }
        if (fd >= 0) close(fd);
    }
    int fd = -1;
    std::pair<dev_t, ino_t> id{};
    OpenFile mode{};
    bool registered = false;
};

bool Wants(DWORD access, DWORD bit) { return (access & bit) != 0; }

DWORD AttributesOf(const fs::path& p) {
    struct stat ls {};
    if (lstat(p.c_str(), &ls) != 0) return INVALID_FILE_ATTRIBUTES;
    DWORD attrs = 0;
    if (S_ISLNK(ls.st_mode)) {
        attrs |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat st {};
        if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) attrs |= FILE_ATTRIBUTE_DIRECTORY;
        return attrs;
    }
    if (S_ISDIR(ls.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    attrs |= FILE_ATTRIBUTE_ARCHIVE;
    if (!(ls.st_mode & S_IWUSR)) attrs |= FILE_ATTRIBUTE_READONLY;
    return attrs;
}

// Where a call works on a path: on drive C:, when it may write there, inside the path's
// folder opened without following links (PlaceToWrite); otherwise the path as it stands.
struct Target {
    Fd folder;
    std::string name;
    int Dir() const { return folder ? folder.Get() : AT_FDCWD; }
    const char* Name() const { return name.c_str(); }
};

std::optional<Target> TargetOf(const fs::path& path, bool writes, DWORD* error) {
    Target t;
    if (writes && OnDriveC(path)) {
        auto place = PlaceToWrite(path, false, error);
        if (!place) return std::nullopt;
        t.folder = std::move(place->folder);
        t.name = std::move(place->name);
    } else {
        t.name = path.string();
    }
    return t;
}

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes, (void)hTemplateFile;
    if (!lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DWORD fault = 0;
    if (TakeFault("CreateFileW", &fault)) {
        SetLastError(fault);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = 0;
    auto path = HostPath(View(lpFileName), &error);
    if (!path) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    DWORD access = dwDesiredAccess;
    if (access & GENERIC_ALL) access |= GENERIC_READ | GENERIC_WRITE;
    bool read = Wants(access, GENERIC_READ) || Wants(access, 0x0001 /*FILE_READ_DATA*/);
    bool write = Wants(access, GENERIC_WRITE) || Wants(access, 0x0002 /*FILE_WRITE_DATA*/);

    bool creates = dwCreationDisposition != OPEN_EXISTING;
    bool noFollow = dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT;
    auto target = TargetOf(*path, write || creates, &error);
    if (!target) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    bool existed = fstatat(target->Dir(), target->Name(), &st, AT_SYMLINK_NOFOLLOW) == 0;

    int flags = O_CLOEXEC;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (dwCreationDisposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING:
            if (!write) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            flags |= O_TRUNC;
            break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    if (noFollow) flags |= O_NOFOLLOW;
    bool isDir = fstatat(target->Dir(), target->Name(), &st, noFollow ? AT_SYMLINK_NOFOLLOW : 0) == 0 &&
                 S_ISDIR(st.st_mode);
    if (isDir) {
        if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || write) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    }
    int fd = openat(target->Dir(), target->Name(), flags, 0666);
    if (fd < 0 && errno == ELOOP && noFollow)
        fd = openat(target->Dir(), target->Name(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno, ParentMissing(*path)));
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    fstat(fd, &st);
    file->id = {st.st_dev, st.st_ino};
    file->mode = {(read ? GENERIC_READ : 0u) | (write ? GENERIC_WRITE : 0u), dwShareMode};
    {
        std::lock_guard lock(Shares().mutex);
        auto range = Shares().open.equal_range(file->id);
        for (auto it = range.first; it != range.second; ++it) {
            const OpenFile& other = *it->second;
            bool clash = (read && !(other.share & FILE_SHARE_READ)) ||
                         (write && !(other.share & FILE_SHARE_WRITE)) ||
                         ((other.access & GENERIC_READ) && !(dwShareMode & FILE_SHARE_READ)) ||
                         ((other.access & GENERIC_WRITE) && !(dwShareMode & FILE_SHARE_WRITE));
            if (clash) {
                file->id = {};
                SetLastError(ERROR_SHARING_VIOLATION);
                return INVALID_HANDLE_VALUE;  // the object closes the descriptor
            }
        }
        Shares().open.emplace(file->id, &file->mode);
        file->registered = true;
    }
    bool reportExisting = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                      dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return InsertHandle(file);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPVOID lpOverlapped) {
    (void)lpOverlapped;
    auto f = Lookup<FileObject>(hFile);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->mode.access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD total = 0;
    auto* out = static_cast<char*>(lpBuffer);
    while (total < nNumberOfBytesToRead) {
        ssize_t n = read(f->fd, out + total, nNumberOfBytesToRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPVOID lpOverlapped) {
    (void)lpOverlapped;
    auto f = Lookup<FileObject>(hFile);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->mode.access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD total = 0;
    auto* in = static_cast<const char*>(lpBuffer);
    while (total < nNumberOfBytesToWrite) {
        ssize_t n = write(f->fd, in + total, nNumberOfBytesToWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
            SetLastError(errno == ENOSPC ? 112 /*ERROR_DISK_FULL*/ : ErrorFromErrno(errno));
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto f = Lookup<FileObject>(hFile);
    struct stat st {};
    if (!f || fstat(f->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
    auto f = Lookup<FileObject>(hFile);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance = lpDistanceToMoveHigh
                           ? (static_cast<int64_t>(*lpDistanceToMoveHigh) << 32) |
                                 static_cast<uint32_t>(lDistanceToMove)
                           : lDistanceToMove;
    int whence = dwMoveMethod == FILE_CURRENT ? SEEK_CUR : dwMoveMethod == FILE_END ? SEEK_END
                                                                                    : SEEK_SET;
    off_t pos = lseek(f->fd, distance, whence);
    if (pos < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(pos >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(pos);
}

BOOL SetEndOfFile(HANDLE hFile) {
    auto f = Lookup<FileObject>(hFile);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->mode.access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t pos = lseek(f->fd, 0, SEEK_CUR);
    if (pos < 0 || ftruncate(f->fd, pos) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION info) {
    auto f = Lookup<FileObject>(hFile);
    struct stat st {};
    if (!f || fstat(f->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *info = BY_HANDLE_FILE_INFORMATION{};
    info->dwFileAttributes = S_ISDIR(st.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                             : S_ISLNK(st.st_mode) ? FILE_ATTRIBUTE_REPARSE_POINT
                                                   : FILE_ATTRIBUTE_ARCHIVE;
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    info->nFileSizeLow = static_cast<DWORD>(st.st_size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    DWORD error = 0;
    auto path = lpFileName ? HostPath(View(lpFileName), &error) : std::nullopt;
    if (!path) {
        SetLastError(lpFileName ? error : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attrs = AttributesOf(*path);
    if (attrs == INVALID_FILE_ATTRIBUTES)
        SetLastError(ParentMissing(*path) ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return attrs;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    std::u16string wide = FromAnsi(lpFileName);
    return GetFileAttributesW(lpFileName ? wide.c_str() : nullptr);
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    DWORD error = 0;
    if (TakeFault("CreateDirectoryW", &error)) {
        SetLastError(error);
        return FALSE;
    }
    auto path = lpPathName ? HostPath(View(lpPathName), &error) : std::nullopt;
    auto target = path ? TargetOf(*path, true, &error) : std::nullopt;
    if (!target) {
        SetLastError(lpPathName ? error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (mkdirat(target->Dir(), target->Name(), 0777) != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS
                                     : ErrorFromErrno(errno, ParentMissing(*path)));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    std::u16string wide = FromAnsi(lpPathName);
    return CreateDirectoryW(lpPathName ? wide.c_str() : nullptr, lpSecurityAttributes);
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
    DWORD error = 0;
    auto path = lpFileName ? HostPath(View(lpFileName), &error) : std::nullopt;
    auto target = path ? TargetOf(*path, true, &error) : std::nullopt;
    if (!target) {
        SetLastError(lpFileName ? error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st {};
    if (fstatat(target->Dir(), target->Name(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlinkat(target->Dir(), target->Name(), 0) != 0) {
        SetLastError(ErrorFromErrno(errno, ParentMissing(*path)));
        return FALSE;
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    DWORD error = 0;
    auto from = lpExistingFileName ? HostPath(View(lpExistingFileName), &error) : std::nullopt;
    auto to = from && lpNewFileName ? HostPath(View(lpNewFileName), &error) : std::nullopt;
    auto target = to ? TargetOf(*to, true, &error) : std::nullopt;
    if (!from || !target) {
        SetLastError(error ? error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    Fd in(open(from->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (bFailIfExists ? O_EXCL : O_TRUNC);
    Fd out(openat(target->Dir(), target->Name(), flags, 0666));
    if (!out) {
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno, ParentMissing(*to)));
        return FALSE;
    }
    if (DWORD e = CopyFileContents(in.Get(), out.Get())) {
        SetLastError(e);
        return FALSE;
    }
    return TRUE;
}

int _waccess(const WCHAR* path, int mode) {
    DWORD error = 0;
    auto host = path ? HostPath(View(path), &error) : std::nullopt;
    if (!host) {
        errno = ENOENT;
        return -1;
    }
    int amode = F_OK;
    if (mode & 2) amode |= W_OK;
    if (mode & 4) amode |= R_OK;
    return access(host->c_str(), amode) == 0 ? 0 : -1;
}

int _access(const char* path, int mode) {
    std::u16string wide = FromAnsi(path);
    return _waccess(path ? wide.c_str() : nullptr, mode);
}

errno_t _wfopen_s(FILE** file, const WCHAR* path, const WCHAR* mode) {
    if (!file) return EINVAL;
    *file = nullptr;
    if (!path || !mode) return EINVAL;
    DWORD error = 0;
    if (TakeFault("fopen", &error)) return ErrnoFromError(error);
    auto host = HostPath(View(path), &error);
    if (!host) return ErrnoFromError(error);
    std::string m;
    for (const WCHAR* p = mode; *p && *p != u','; ++p)
        if (*p == u'r' || *p == u'w' || *p == u'a' || *p == u'+' || *p == u'b' || *p == u'x')
            m += static_cast<char>(*p);
    if (m.empty()) return EINVAL;
    bool plus = m.find('+') != std::string::npos;
    int flags = O_CLOEXEC;
    switch (m[0]) {
        case 'r': flags |= plus ? O_RDWR : O_RDONLY; break;
        case 'w': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
        case 'a': flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
        default: return EINVAL;
    }
    if (m.find('x') != std::string::npos) flags |= O_EXCL;
    auto target = TargetOf(*host, m[0] != 'r' || plus, &error);
    if (!target) return ErrnoFromError(error);
    int fd = openat(target->Dir(), target->Name(), flags, 0666);
    if (fd < 0) return errno;
    std::string fdMode = m;
    fdMode.erase(std::remove(fdMode.begin(), fdMode.end(), 'x'), fdMode.end());
    *file = fdopen(fd, fdMode.c_str());
    if (!*file) {
        int e = errno;
        close(fd);
        return e;
    }
    return 0;
}

FILE* _wfopen(const WCHAR* path, const WCHAR* mode) {
    FILE* f = nullptr;
    errno_t e = _wfopen_s(&f, path, mode);
    if (e) errno = e;
    return f;
}

errno_t fopen_s(FILE** file, const char* path, const char* mode) {
    if (!file) return EINVAL;
    std::u16string wpath = FromAnsi(path), wmode = FromAnsi(mode);
    return _wfopen_s(file, path ? wpath.c_str() : nullptr, mode ? wmode.c_str() : nullptr);
}

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    std::error_code ec;
    std::u16string cwd = WindowsPath(fs::current_path(ec));
    if (nBufferLength < cwd.size() + 1 || !lpBuffer) return static_cast<DWORD>(cwd.size() + 1);
    std::copy(cwd.begin(), cwd.end(), lpBuffer);
    lpBuffer[cwd.size()] = 0;
    return static_cast<DWORD>(cwd.size());
}

BOOL SetCurrentDirectoryW(LPCWSTR lpPathName) {
    DWORD error = 0;
    auto path = lpPathName ? HostPath(View(lpPathName), &error) : std::nullopt;
    if (!path || chdir(path->c_str()) != 0) {
        SetLastError(path ? ErrorFromErrno(errno, true) : error);
        return FALSE;
    }
    return TRUE;
}

namespace {
UINT CopyOut(std::u16string_view text, LPWSTR out, UINT size) {
    if (!out || size < text.size() + 1) return static_cast<UINT>(text.size() + 1);
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return static_cast<UINT>(text.size());
}
}  // namespace

UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyOut(u"C:\\Windows\\system32", lpBuffer, uSize);
}
UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return CopyOut(u"C:\\Windows", lpBuffer, uSize);
}
