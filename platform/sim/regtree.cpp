#include "regtree.h"

#include "machine.h"
#include "text.h"

namespace sim::reg {
namespace {

std::string FoldKey(std::u16string_view name) { return ToUtf8(Fold(name)); }

}  // namespace

std::optional<std::vector<std::u16string>> SplitPath(std::u16string_view path) {
    std::vector<std::u16string> parts;
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    if (path.empty()) return parts;
    if (path.front() == u'\\') return std::nullopt;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view part = path.substr(start, end == std::u16string_view::npos
                                                          ? std::u16string_view::npos
                                                          : end - start);
        if (part.empty() || part.size() > 255) return std::nullopt;
        parts.emplace_back(part);
        if (end == std::u16string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

bool KeyExists(Store& db, int64_t id) {
    auto s = db.Prepare("SELECT 1 FROM keys WHERE id=?");
    s.Bind(1, id);
    return s.Step();
}

int64_t FindChild(Store& db, int64_t parent, std::u16string_view name) {
    auto s = db.Prepare("SELECT id FROM keys WHERE parent=? AND fold=?");
    s.Bind(1, parent).Bind(2, FoldKey(name));
    return s.Step() ? s.Int(0) : 0;
}

int64_t FindPath(Store& db, int64_t parent, const std::vector<std::u16string>& parts) {
    int64_t id = parent;
    for (const auto& part : parts) {
        id = FindChild(db, id, part);
        if (!id) return 0;
    }
    return id;
}

int64_t CreatePath(Store& db, int64_t parent, const std::vector<std::u16string>& parts,
                   bool* created) {
    int64_t id = parent;
    bool made = false;
    for (const auto& part : parts) {
        int64_t child = FindChild(db, id, part);
        made = false;
        if (!child) {
            auto s = db.Prepare("INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
            s.Bind(1, id).Bind(2, ToUtf8(part)).Bind(3, FoldKey(part)).Run();
            child = db.LastInsertId();
            made = true;
            CrashPoint("reg-create-key");
        }
        id = child;
    }
    if (created) *created = made;
    return id;
}

std::u16string KeyName(Store& db, int64_t id) {
    auto s = db.Prepare("SELECT name FROM keys WHERE id=?");
    s.Bind(1, id);
    return s.Step() ? ToUtf16(s.Text(0)) : std::u16string();
}

std::u16string KeyPath(Store& db, int64_t id) {
    std::u16string path;
    while (id) {
        auto s = db.Prepare("SELECT parent, name FROM keys WHERE id=?");
        s.Bind(1, id);
        if (!s.Step()) break;
        std::u16string name = ToUtf16(s.Text(1));
        path = path.empty() ? name : name + u"\\" + path;
        id = s.Int(0);
    }
    return path;
}

std::vector<std::u16string> SubKeys(Store& db, int64_t id) {
    std::vector<std::u16string> out;
    auto s = db.Prepare("SELECT name FROM keys WHERE parent=? ORDER BY fold");
    s.Bind(1, id);
    while (s.Step()) out.push_back(ToUtf16(s.Text(0)));
    return out;
}

std::optional<std::u16string> SubKeyAt(Store& db, int64_t id, uint32_t index) {
    auto s = db.Prepare("SELECT name FROM keys WHERE parent=? ORDER BY fold LIMIT 1 OFFSET ?");
    s.Bind(1, id).Bind(2, index);
    if (!s.Step()) return std::nullopt;
    return ToUtf16(s.Text(0));
}

size_t SubKeyCount(Store& db, int64_t id) {
    auto s = db.Prepare("SELECT count(*) FROM keys WHERE parent=?");
    s.Bind(1, id);
    return s.Step() ? static_cast<size_t>(s.Int(0)) : 0;
}

std::vector<Value> Values(Store& db, int64_t id) {
    std::vector<Value> out;
    auto s = db.Prepare("SELECT name, type, data FROM vals WHERE key=? ORDER BY id");
    s.Bind(1, id);
    while (s.Step())
        out.push_back({ToUtf16(s.Text(0)), static_cast<uint32_t>(s.Int(1)), std::string(s.Blob(2))});
    return out;
}

std::optional<Value> ValueAt(Store& db, int64_t id, uint32_t index) {
    auto s = db.Prepare("SELECT name, type, data FROM vals WHERE key=? ORDER BY id LIMIT 1 OFFSET ?");
    s.Bind(1, id).Bind(2, index);
    if (!s.Step()) return std::nullopt;
    return Value{ToUtf16(s.Text(0)), static_cast<uint32_t>(s.Int(1)), std::string(s.Blob(2))};
}

std::optional<Value> GetValue(Store& db, int64_t key, std::u16string_view name) {
    auto s = db.Prepare("SELECT name, type, data FROM vals WHERE key=? AND fold=?");
    s.Bind(1, key).Bind(2, FoldKey(name));
    if (!s.Step()) return std::nullopt;
    return Value{ToUtf16(s.Text(0)), static_cast<uint32_t>(s.Int(1)), std::string(s.Blob(2))};
}

void SetValue(Store& db, int64_t key, std::u16string_view name, uint32_t type,
              std::string_view data) {
    // An update keeps the value's place in the enumeration order, as on Windows.
    auto s = db.Prepare(
        "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?) "
        "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data");
    s.Bind(1, key).Bind(2, ToUtf8(name)).Bind(3, FoldKey(name)).Bind(4, type);
    s.BindBlob(5, data.data(), data.size());
    s.Run();
}

bool DeleteValue(Store& db, int64_t key, std::u16string_view name) {
    auto s = db.Prepare("DELETE FROM vals WHERE key=? AND fold=?");
    s.Bind(1, key).Bind(2, FoldKey(name)).Run();
    return db.Changes() > 0;
}

bool DeleteLeafKey(Store& db, int64_t id) {
    if (SubKeyCount(db, id) > 0) return false;
    db.Prepare("DELETE FROM vals WHERE key=?").Bind(1, id).Run();
    CrashPoint("reg-delete-key");
    db.Prepare("DELETE FROM keys WHERE id=?").Bind(1, id).Run();
    return true;
}

void DeleteTree(Store& db, int64_t id) {
    std::vector<int64_t> children;
    {
        auto s = db.Prepare("SELECT id FROM keys WHERE parent=?");
        s.Bind(1, id);
        while (s.Step()) children.push_back(s.Int(0));
    }
    for (int64_t child : children) DeleteTree(db, child);
    DeleteLeafKey(db, id);
}

std::optional<std::pair<int64_t, std::u16string>> ParseRootedPath(std::u16string_view path) {
    size_t cut = path.find(u'\\');
    std::u16string root = Fold(path.substr(0, cut));
    std::u16string rest(cut == std::u16string_view::npos ? u"" : path.substr(cut + 1));
    if (root == u"HKLM" || root == u"HKEY_LOCAL_MACHINE") return std::pair{kLocalMachine, rest};
    if (root == u"HKCU" || root == u"HKEY_CURRENT_USER") return std::pair{kCurrentUser, rest};
    if (root == u"HKU" || root == u"HKEY_USERS") return std::pair{kUsers, rest};
    if (root == u"HKCR" || root == u"HKEY_CLASSES_ROOT")
        return std::pair{kLocalMachine, u"SOFTWARE\\Classes" + (rest.empty() ? u"" : u"\\" + rest)};
    return std::nullopt;
}

void SetString(Store& db, int64_t key, std::u16string_view name, std::u16string_view text) {
    std::u16string withNul(text);
    withNul.push_back(0);
    SetValue(db, key, name, 1,
             std::string_view(reinterpret_cast<const char*>(withNul.data()), withNul.size() * 2));
}

void SetDword(Store& db, int64_t key, std::u16string_view name, uint32_t value) {
    SetValue(db, key, name, 4, std::string_view(reinterpret_cast<const char*>(&value), 4));
}

}  // namespace sim::reg
