#include "paths.h"

#include "machine.h"
#include "text.h"
#include "win32/errors.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

// The entry of dir whose name equals name case-insensitively; name itself if none does
// (the path names something to be created).
fs::path MatchEntry(const fs::path& dir, const std::u16string& name) {
    std::error_code ec;
    fs::path exact = dir / ToUtf8(name);
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (EqualsNoCase(ToUtf16(entry.path().filename().string()), name)) return entry.path();
    }
    return exact;
}

}  // namespace

std::optional<fs::path> HostPath(std::u16string_view path, DWORD* error) {
    DWORD ignored;
    if (!error) error = &ignored;
    if (path.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    std::u16string p(path);
    for (auto& c : p)
        if (c == u'/') c = u'\\';
    if (p.rfind(u"\\\\", 0) == 0) {  // UNC and device paths are not served here
        *error = ERROR_BAD_PATHNAME;
        return std::nullopt;
    }
    fs::path base;
    std::u16string rest;
    if (p.size() >= 2 && p[1] == u':') {
        char16_t drive = FoldChar(p[0]);
        if (drive == u'C') {
            base = SelectedMachineFolder() / "drive_c";  // no need to open the store
        } else if (drive == u'Z') {
            base = "/";
        } else {
            *error = ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        }
        rest = p.substr(2);
        // "C:name" is relative to the drive's current directory; the root serves for it.
    } else if (!p.empty() && p[0] == u'\\') {
        std::u16string cwd = WindowsPath(fs::current_path());
        return HostPath(cwd.substr(0, 2) + p, error);
    } else {
        base = fs::current_path();
        rest = p;
    }
    fs::path out = base;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(u'\\', start);
        if (end == std::u16string::npos) end = rest.size();
        std::u16string part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (out != base) out = out.parent_path();
            continue;
        }
        for (char16_t c : part) {
            if (c < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' ||
                c == u'*' || c == u':') {
                *error = ERROR_INVALID_NAME;
                return std::nullopt;
            }
        }
        out = MatchEntry(out, part);
    }
    return out;
}

std::u16string WindowsPath(const fs::path& hostPath) {
    std::error_code ec;
    fs::path abs = fs::absolute(hostPath, ec).lexically_normal();
    fs::path driveC = (SelectedMachineFolder() / "drive_c").lexically_normal();
    std::string a = abs.string(), c = driveC.string();
    while (c.size() > 1 && c.back() == '/') c.pop_back();
    std::u16string out;
    if (a == c || (a.size() > c.size() && a.compare(0, c.size(), c) == 0 && a[c.size()] == '/')) {
        out = u"C:" + ToUtf16(a.substr(c.size()));
        if (out.size() == 2) out += u'\\';
    } else {
        out = u"Z:" + ToUtf16(a);
    }
    for (auto& ch : out)
        if (ch == u'/') ch = u'\\';
    return out;
}

}  // namespace sim
