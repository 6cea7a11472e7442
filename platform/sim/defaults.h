// What a new machine holds before anyone has used it: the registry keys a fresh Windows
// installation has that the installer touches, and the folders of drive C:.
#pragma once

#include <filesystem>

#include "store.h"

namespace sim {

void PopulateDefaultRegistry(Store& db);  // inside the caller's write transaction
void PopulateDefaultFiles(const std::filesystem::path& driveC);

}  // namespace sim
