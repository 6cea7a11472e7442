// The program's resources by ID, registered from static initialisers (res/dialog_template.h).
#include <map>
#include <memory>
#include <mutex>
#include <vector>
#include <cstring>

#include "res/dialog_template.h"

namespace drovan::res {

namespace {
template <typename T>
struct Table {
    std::mutex mutex;
    // Registered before their own initialisers have run: IDs are read at lookup time.
    std::vector<const T*> entries;
};

template <typename T>
Table<T>& TableOf() {
    static Table<T> table;
    return table;
}

template <typename T>
bool Add(const T* r) {
    auto& t = TableOf<T>();
    std::lock_guard lock(t.mutex);
    t.entries.push_back(r);
    return true;
}

template <typename T>
const T* Find(int id) {
    auto& t = TableOf<T>();
    std::lock_guard lock(t.mutex);
    for (const T* r : t.entries)
        if (r->id == id) return r;
    return nullptr;
}
}  // namespace

const DialogTemplate* FindDialogTemplate(int id) { return Find<DialogTemplate>(id); }
#ifdef _WIN32
// On Windows the pictures are in the program's resource script, not registered from code:
// they are read from the module once and kept in the shapes the registered ones have (a BMP
// file, an .ico file), so that callers see one kind of resource in both homes.
namespace {
std::vector<BYTE> ModuleResource(int id, LPCWSTR type) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

template <typename T>
struct Loaded {
    std::vector<BYTE> bytes;
    T resource;
};

std::vector<BYTE> BitmapFileOf(int id) {
    std::vector<BYTE> dib = ModuleResource(id, MAKEINTRESOURCEW(2));  // RT_BITMAP
    if (dib.size() < sizeof(BITMAPINFOHEADER)) return {};
    const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
    DWORD colours = info->biClrUsed;
    if (!colours && info->biBitCount <= 8) colours = 1u << info->biBitCount;
    DWORD masks = info->biCompression == BI_BITFIELDS && info->biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(sizeof file + dib.size());
    file.bfOffBits = static_cast<DWORD>(sizeof file + info->biSize + masks + colours * sizeof(RGBQUAD));
    std::vector<BYTE> out(reinterpret_cast<const BYTE*>(&file), reinterpret_cast<const BYTE*>(&file) + sizeof file);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

#pragma pack(push, 2)
struct GroupIconEntry {  // RT_GROUP_ICON's entry: an .ico entry with a resource ID for the offset
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

std::vector<BYTE> IconFileOf(int id) {
    std::vector<BYTE> group = ModuleResource(id, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    if (group.size() < 6) return {};
    WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    if (group.size() < 6 + count * sizeof(GroupIconEntry)) return {};
    std::vector<std::vector<BYTE>> images;
    std::vector<BYTE> out(group.begin(), group.begin() + 6);
    DWORD offset = 6 + 16u * count;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, group.data() + 6 + i * sizeof e, sizeof e);
        images.push_back(ModuleResource(e.id, MAKEINTRESOURCEW(3)));  // RT_ICON
        BYTE entry[16] = {e.width, e.height, e.colours, e.reserved};
        DWORD size = static_cast<DWORD>(images.back().size());
        std::memcpy(entry + 4, &e.planes, 2);
        std::memcpy(entry + 6, &e.bitCount, 2);
        std::memcpy(entry + 8, &size, 4);
        std::memcpy(entry + 12, &offset, 4);
        out.insert(out.end(), entry, entry + 16);
        offset += size;
    }
    for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

template <typename T>
const T* FromModule(int id, std::vector<BYTE> (*read)(int)) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<Loaded<T>>> cache;
    std::lock_guard lock(mutex);
    auto& slot = cache[id];
    if (!slot) {
        std::vector<BYTE> bytes = read(id);
        if (bytes.empty()) return nullptr;
        slot = std::make_unique<Loaded<T>>();
        slot->bytes = std::move(bytes);
        slot->resource = T{id, slot->bytes.data(), slot->bytes.size()};
    }
    return &slot->resource;
}
}  // namespace

const BitmapResource* FindBitmap(int id) {
    if (const auto* b = Find<BitmapResource>(id)) return b;
    return FromModule<BitmapResource>(id, &BitmapFileOf);
}
const IconResource* FindIcon(int id) {
    if (const auto* i = Find<IconResource>(id)) return i;
    return FromModule<IconResource>(id, &IconFileOf);
}
#else
const BitmapResource* FindBitmap(int id) { return Find<BitmapResource>(id); }
const IconResource* FindIcon(int id) { return Find<IconResource>(id); }
#endif
bool RegisterDialogTemplate(const DialogTemplate* t) { return Add(t); }
bool RegisterBitmap(const BitmapResource* b) { return Add(b); }
bool RegisterIcon(const IconResource* i) { return Add(i); }

}  // namespace drovan::res
