// Plugged-in USB devices of the simulated machine, kept in the registry where Windows keeps
// their device interfaces:
//
//   HKLM\SYSTEM\CurrentControlSet\Control\DeviceClasses\{a5dcbf10-6530-11d2-901f-00c04fb951ed}
//     ##?#USB#<id>#<serial>#{a5dcbf10-...}   DeviceInstance = USB\<id>\<serial>
//       #                                    SymbolicLink = \\?\usb#<id>#<serial>#{a5dcbf10-...}
//         Control                            Linked = 1 while the device is plugged in
//   HKLM\SYSTEM\ControlSet001\Control\DeviceClasses\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}
//     ##?#USB#<id>#<serial>#{28d78fad-...}\#\Device Parameters   Port Number = n (USB00n)
//
// <id> is "vid_XXXX&pid_XXXX" in the case it was given. The machine has no registry links,
// so the printer class's key is written under ControlSet001, the control set that Windows
// shows as CurrentControlSet on a machine that has booted normally. A plugged-in printer
// also has its spooler port (USB001, ...) of the USB monitor; unplugging keeps the port, as
// the spooler keeps it.
// Every function here runs inside the caller's transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store.h"

namespace sim::devices {

inline constexpr char16_t kUsbDeviceClass[] = u"{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline constexpr char16_t kUsbPrintClass[] = u"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

struct UsbDevice {
    std::u16string id;      // vid_XXXX&pid_XXXX
    std::u16string serial;  // the instance identifier
    std::u16string path;    // the interface path SetupAPI reports
    bool present = false;
    std::optional<uint32_t> portNumber;  // from ControlSet001
};

// The interfaces of a class (a GUID in braces, any case), in the registry's order.
std::vector<UsbDevice> Interfaces(Store& db, std::u16string_view classGuid);

// Plugs a device in: its interface keys, its printer port number (0 picks the lowest
// unused) and its spooler port. Plugging in a known device again just marks it present.
// Returns the port number.
uint32_t AttachUsbPrinter(Store& db, std::u16string_view id, std::u16string_view serial, uint32_t portNumber);
// Marks the device unplugged; false when there is none of that serial.
bool DetachUsb(Store& db, std::u16string_view serial);

}  // namespace sim::devices
