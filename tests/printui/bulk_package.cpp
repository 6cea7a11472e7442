#include "bulk_package.h"

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

std::string BulkPackage::FileName(size_t i) {
    char name[32];
    std::snprintf(name, sizeof name, "bulk%06zu.dat", i);
    return name;
}

std::string BulkPackage::Content(size_t i) const {
    std::string text = "edition " + edition + " of " + FileName(i) + "\n";
    if (i < large) {
        std::string out;
        out.reserve(largeBytes);
        while (out.size() < largeBytes) out += text;
        out.resize(largeBytes);
        return out;
    }
    return text;
}

void BulkPackage::Write(const fs::path& folder) const {
    fs::create_directories(folder);
    std::ofstream out(folder / inf, std::ios::binary | std::ios::trunc);
    out << "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
           "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Maker%\r\n"
           "DriverVer=06/01/2024,2.0.0.0\r\n\r\n"
           "[Manufacturer]\r\n%Maker%=Maker,NTamd64\r\n\r\n"
           "[Maker.NTamd64]\r\n\"" << model << "\"=BULK\r\n\r\n"
           "[BULK]\r\nCopyFiles=@" << GpdName() << ",BULK_FILES\r\nDataFile=" << GpdName() << "\r\n"
           "DataSection=UNIDRV_DATA\r\nInclude=ntprint.inf\r\nNeeds=UNIDRV.OEM\r\n\r\n"
           "[DestinationDirs]\r\nDefaultDestDir=66000\r\n\r\n"
           "[SourceDisksNames]\r\n1=%Disk%,,,\r\n\r\n[BULK_FILES]\r\n";
    auto source = [&](size_t i) { return renameFirst && i == 0 ? SourceName(i) : FileName(i); };
    for (size_t i = 0; i < count; ++i) out << FileName(i) << (source(i) != FileName(i) ? "," + source(i) : "") << "\r\n";
    out << "\r\n[SourceDisksFiles]\r\n" << GpdName() << "=1\r\n";
    for (size_t i = 0; i < count; ++i) out << source(i) << "=1\r\n";
    out << "\r\n[Strings]\r\nMaker=\"Drovan\"\r\nDisk=\"Bulk driver package\"\r\n";
    out.close();
    if (!withFiles) return;
    std::ofstream(folder / GpdName(), std::ios::binary | std::ios::trunc)
        << "*GPDFileVersion: \"1.0\"\r\n*% edition " << edition << "\r\n";
    for (size_t i = 0; i < count; ++i)
        std::ofstream(folder / source(i), std::ios::binary | std::ios::trunc) << Content(i);
}
