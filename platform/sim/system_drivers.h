// The printer drivers that come with the simulated Windows, kept where Windows keeps them:
//
//   C:\Windows\INF\ntprint.inf       the printer class's own INF, which vendor packages
//                                    name with Include= and Needs= (our own text, with
//                                    the sections Windows documents for vendor INFs)
//   C:\Windows\System32\DriverStore\FileRepository\ntprint.inf_<id>
//       the INF's package: ntprint.inf, and the folders I386, Amd64 and ARM64 with the
//       core driver files (Unidrv, PScript, the XPS driver, the PJL language monitor,
//       the sRGB profile)
//
// The core driver files are stand-ins: text that says what it stands for, not code. The
// store holds them for every architecture the machine can be set to, so that changing a
// machine's architecture needs no new files.
#pragma once

#include <filesystem>
#include <string>

namespace sim {

inline constexpr const char16_t* kSystemInfFolder = u"C:\\Windows\\INF";
inline constexpr const char16_t* kDriverStoreFolder =
    u"C:\\Windows\\System32\\DriverStore\\FileRepository";

// The text of the machine's ntprint.inf.
const std::string& NtprintInfText();

// Writes ntprint.inf and its driver store package into a machine's drive C:, unless
// either is there already (machines made before they existed gain them on opening).
void WriteSystemDrivers(const std::filesystem::path& driveC);

}  // namespace sim
