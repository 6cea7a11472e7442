// Modules: the executable's own path, and the system libraries with their exports.
#include <unistd.h>

#include <mutex>

#include "exports.h"
#include "handles.h"
#include "paths.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

struct ModuleObject final : Object {
    static constexpr Kind kKind = Kind::Module;
    Kind kind() const override { return kKind; }
    const Library* library = nullptr;
};

// One handle per library for the life of the process, as loaded DLLs stay mapped.
HMODULE HandleFor(const Library& lib) {
    static std::mutex mutex;
    static std::vector<std::pair<const Library*, HMODULE>> loaded;
    std::lock_guard lock(mutex);
    for (auto& [l, h] : loaded)
        if (l == &lib) return h;
    auto m = std::make_shared<ModuleObject>();
    m->library = &lib;
    HMODULE h = static_cast<HMODULE>(InsertHandle(m));
    loaded.emplace_back(&lib, h);
    return h;
}

const Library* FindLibrary(std::u16string_view name) {
    // Only the file name counts; the system directory is the only place libraries live.
    size_t cut = name.find_last_of(u"\\/");
    if (cut != std::u16string_view::npos) name.remove_prefix(cut + 1);
    std::u16string folded = Fold(name);
    for (const auto& lib : KnownLibraries()) {
        std::u16string libName = Fold(lib.name);
        if (folded == libName) return &lib;
        // "winspool" finds winspool.drv's library only with its extension; a bare name
        // means .dll.
        if (folded + u".DLL" == libName) return &lib;
    }
    return nullptr;
}

}  // namespace
}  // namespace sim

using namespace sim;

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::u16string path;
    if (!hModule) {
        std::error_code ec;
        path = WindowsPath(fs::read_symlink("/proc/self/exe", ec));
    } else if (auto m = Lookup<ModuleObject>(hModule)) {
        path = std::u16string(u"C:\\Windows\\system32\\") + m->library->name;
    } else {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (nSize == 0 || !lpFilename) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > nSize) {
        // Vista and later: truncated, terminated, the full buffer size returned.
        std::copy(path.begin(), path.begin() + (nSize - 1), lpFilename);
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::copy(path.begin(), path.end(), lpFilename);
    lpFilename[path.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName) return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
    const Library* lib = FindLibrary(View(lpModuleName));
    if (!lib) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return HandleFor(*lib);
}

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Library* lib = FindLibrary(View(lpLibFileName));
    if (!lib) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return HandleFor(*lib);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    auto m = Lookup<ModuleObject>(hModule);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bool byOrdinal = IS_INTRESOURCE(lpProcName);
    for (const auto& e : m->library->exports) {
        if (byOrdinal ? (e.ordinal && e.ordinal == LOWORD(lpProcName))
                      : (e.name && std::string_view(e.name) == lpProcName))
            return e.proc;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE hLibModule) {
    if (!Lookup<ModuleObject>(hLibModule)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;  // system libraries stay loaded
}
