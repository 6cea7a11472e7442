#include "system_infs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32.h"
#include "printui_host.h"

namespace fs = std::filesystem;

namespace printui {
namespace {

constexpr std::uintmax_t kMaxInfBytes = 16 * 1024 * 1024;

std::optional<std::string> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::u16string NameOf(const fs::path& path) {
    std::u8string name = path.filename().u8string();
    return ToUtf16(std::string(name.begin(), name.end()));
}

// The entries of a machine folder, by their names, sorted; none when it is missing.
std::vector<std::u16string> Entries(const std::u16string& folder, bool folders) {
    std::vector<std::u16string> out;
    DWORD error = 0;
    auto host = HostPath(folder, &error);
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec)) return out;
    for (auto it = fs::directory_iterator(*host, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) == folders) out.push_back(NameOf(it->path()));
    std::sort(out.begin(), out.end());
    return out;
}

bool Exists(const std::u16string& path) {
    DWORD error = 0;
    auto host = HostPath(path, &error);
    std::error_code ec;
    return host && fs::is_regular_file(*host, ec);
}

}  // namespace

std::optional<InfFile> LoadInf(const std::u16string& infPath, Failure* failure) {
    auto fail = [&](DWORD code, const std::string& why) {
        *failure = {code, "the INF file \"" + ToUtf8(infPath) + "\" " + why};
        return std::nullopt;
    };
    DWORD error = 0;
    auto host = HostPath(infPath, &error);
    if (!host) return fail(error, "cannot be found");
    std::error_code ec;
    if (!fs::is_regular_file(*host, ec))
        return fail(fs::is_directory(host->parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND,
                    "cannot be found");
    if (fs::file_size(*host, ec) > kMaxInfBytes) return fail(kErrorGeneralSyntax, "is too large");
    auto bytes = ReadWhole(*host);
    if (!bytes) return fail(ERROR_ACCESS_DENIED, "cannot be read");
    std::u16string text;
    std::string why;
    if (!DecodeInfText(*bytes, GetACP(), &text, &why)) return fail(kErrorGeneralSyntax, ": " + why);
    InfSyntaxError syntax;
    auto inf = InfFile::Parse(text, &syntax);
    if (!inf) return fail(kErrorGeneralSyntax, ", line " + std::to_string(syntax.line) + ": " + syntax.message);
    return inf;
}

std::string MachineInfs::Where() const { return ToUtf8(SystemInfFolder()); }

const InfSource* MachineInfs::Load(const std::u16string& fileName) {
    for (const auto& s : m_loaded)
        if (EqualsNoCase(s->name, fileName)) return s.get();
    Failure ignored;
    const std::u16string folder = SystemInfFolder();
    auto inf = LoadInf(folder + u"\\" + fileName, &ignored);
    if (!inf) return nullptr;
    // The INF's package in the driver store holds its files; an INF without one has
    // them beside it.
    std::u16string root = folder;
    const std::u16string store = DriverStoreFolder();
    for (const auto& package : Entries(store, true)) {
        if (package.size() <= fileName.size() + 1 || package[fileName.size()] != u'_' ||
            !EqualsNoCase(package.substr(0, fileName.size()), fileName))
            continue;
        if (Exists(store + u"\\" + package + u"\\" + fileName)) {
            root = store + u"\\" + package;
            break;
        }
    }
    m_loaded.push_back(std::make_unique<InfSource>(InfSource{fileName, std::move(*inf), root}));
    return m_loaded.back().get();
}

const InfSource* MachineInfs::Find(std::u16string_view name) {
    if (name.find_first_of(u"\\/:") != std::u16string_view::npos) return nullptr;  // a name, not a path
    for (const auto& file : Entries(SystemInfFolder(), false))
        if (EqualsNoCase(file, name)) return Load(file);
    return nullptr;
}

const InfSource* MachineInfs::CoreDriver(std::u16string_view guid) {
    if (!m_scanned) {
        m_scanned = true;
        for (const auto& file : Entries(SystemInfFolder(), false))
            if (file.size() > 4 && EqualsNoCase(std::u16string_view(file).substr(file.size() - 4), u".inf"))
                Load(file);
    }
    for (const auto& s : m_loaded)
        if (OffersId(s->inf, guid)) return s.get();
    return nullptr;
}

}  // namespace printui
