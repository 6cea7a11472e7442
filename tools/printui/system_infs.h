// INF files on the simulated machine: reading one by its Windows path, and the system's
// own, which packages name with Include= and by core driver GUID. The system's INF files
// are those of C:\Windows\INF; each one's files lie in its package in the driver store
// (C:\Windows\System32\DriverStore\FileRepository\<name>_<id>\), else beside it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver_package.h"

namespace printui {

// Reads and parses an INF file given by its Windows path.
std::optional<InfFile> LoadInf(const std::u16string& infPath, Failure* failure);

class MachineInfs : public SystemInfs {
public:
    const InfSource* Find(std::u16string_view name) override;
    const InfSource* CoreDriver(std::u16string_view guid) override;
    std::string Where() const override;

private:
    const InfSource* Load(const std::u16string& fileName);

    std::vector<std::unique_ptr<InfSource>> m_loaded;
    bool m_scanned = false;
};

}  // namespace printui
