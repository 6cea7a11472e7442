// The program's resources by ID, registered from static initialisers (res/dialog_template.h).
#include <mutex>
#include <vector>

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
const BitmapResource* FindBitmap(int id) { return Find<BitmapResource>(id); }
const IconResource* FindIcon(int id) { return Find<IconResource>(id); }
bool RegisterDialogTemplate(const DialogTemplate* t) { return Add(t); }
bool RegisterBitmap(const BitmapResource* b) { return Add(b); }
bool RegisterIcon(const IconResource* i) { return Add(i); }

}  // namespace drovan::res
