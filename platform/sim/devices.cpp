#include "devices.h"

#include <set>

#include "regtree.h"
#include "spooler_store.h"
#include "text.h"

namespace sim::devices {
namespace {

using Parts = std::vector<std::u16string>;

Parts ClassKey(std::u16string_view controlSet, std::u16string_view classGuid) {
    return {u"SYSTEM", std::u16string(controlSet), u"Control", u"DeviceClasses", std::u16string(classGuid)};
}

std::u16string InterfaceKeyName(std::u16string_view id, std::u16string_view serial, std::u16string_view classGuid) {
    return u"##?#USB#" + std::u16string(id) + u"#" + std::u16string(serial) + u"#" + std::u16string(classGuid);
}

int64_t Create(Store& db, Parts parts) {
    bool created = false;
    return reg::CreatePath(db, reg::kLocalMachine, parts, &created);
}

// The spooler's name for the port of a USB printer: the system formats the port number
// with three digits (port 10 is USB010).
std::u16string UsbPortName(uint32_t number) {
    std::u16string digits;
    for (uint32_t n = number; n > 0 || digits.empty(); n /= 10) digits.insert(digits.begin(), char16_t(u'0' + n % 10));
    while (digits.size() < 3) digits.insert(digits.begin(), u'0');
    return u"USB" + digits;
}

Parts Append(Parts parts, std::initializer_list<std::u16string> more) {
    parts.insert(parts.end(), more);
    return parts;
}

}  // namespace

std::vector<UsbDevice> Interfaces(Store& db, std::u16string_view classGuid) {
    std::vector<UsbDevice> out;
    int64_t key = reg::FindPath(db, reg::kLocalMachine, ClassKey(u"CurrentControlSet", classGuid));
    if (!key) return out;
    for (const auto& name : reg::SubKeys(db, key)) {
        int64_t iface = reg::FindChild(db, key, name);
        int64_t hash = iface ? reg::FindChild(db, iface, u"#") : 0;
        if (!hash) continue;
        UsbDevice d;
        d.path = spool::ReadString(db, hash, u"SymbolicLink");
        if (d.path.empty()) continue;
        int64_t control = reg::FindChild(db, hash, u"Control");
        d.present = control && spool::ReadDword(db, control, u"Linked") == 1;
        // ##?#USB#<id>#<serial>#{class}
        std::u16string instance = spool::ReadString(db, iface, u"DeviceInstance");  // USB\<id>\<serial>
        size_t a = instance.find(u'\\'), b = instance.rfind(u'\\');
        if (a != std::u16string::npos && b != a) {
            d.id = instance.substr(a + 1, b - a - 1);
            d.serial = instance.substr(b + 1);
        }
        int64_t params = reg::FindPath(db, reg::kLocalMachine,
                                       Append(ClassKey(u"ControlSet001", kUsbPrintClass),
                                              {InterfaceKeyName(d.id, d.serial, kUsbPrintClass), u"#",
                                               u"Device Parameters"}));
        if (params && reg::GetValue(db, params, u"Port Number"))
            d.portNumber = spool::ReadDword(db, params, u"Port Number");
        out.push_back(std::move(d));
    }
    return out;
}

uint32_t AttachUsbPrinter(Store& db, std::u16string_view id, std::u16string_view serial, uint32_t portNumber) {
    for (const auto& d : Interfaces(db, kUsbDeviceClass)) {
        if (EqualsNoCase(d.serial, serial) && d.portNumber) {
            portNumber = *d.portNumber;
            break;
        }
    }
    if (portNumber == 0) {
        std::set<std::u16string> used;
        for (const auto& p : spool::Ports(db)) used.insert(Fold(p.name));
        portNumber = 1;
        while (used.count(Fold(UsbPortName(portNumber)))) ++portNumber;
    }

    const std::u16string iface = InterfaceKeyName(id, serial, kUsbDeviceClass);
    int64_t key = Create(db, Append(ClassKey(u"CurrentControlSet", kUsbDeviceClass), {iface}));
    reg::SetString(db, key, u"DeviceInstance", u"USB\\" + std::u16string(id) + u"\\" + std::u16string(serial));
    int64_t hash = Create(db, Append(ClassKey(u"CurrentControlSet", kUsbDeviceClass), {iface, u"#"}));
    reg::SetString(db, hash, u"SymbolicLink",
                   u"\\\\?\\usb#" + std::u16string(id) + u"#" + std::u16string(serial) + u"#" + kUsbDeviceClass);
    int64_t control = Create(db, Append(ClassKey(u"CurrentControlSet", kUsbDeviceClass), {iface, u"#", u"Control"}));
    reg::SetDword(db, control, u"Linked", 1);

    int64_t params = Create(db, Append(ClassKey(u"ControlSet001", kUsbPrintClass),
                                       {InterfaceKeyName(id, serial, kUsbPrintClass), u"#", u"Device Parameters"}));
    reg::SetDword(db, params, u"Port Number", portNumber);

    const std::u16string port = UsbPortName(portNumber);
    bool listed = false;
    for (const auto& p : spool::Ports(db)) listed |= EqualsNoCase(p.name, port);
    if (!listed) spool::AddPort(db, port, spool::Monitor::Usb);
    return portNumber;
}

bool DetachUsb(Store& db, std::u16string_view serial) {
    int64_t key = reg::FindPath(db, reg::kLocalMachine, ClassKey(u"CurrentControlSet", kUsbDeviceClass));
    if (!key) return false;
    for (const auto& d : Interfaces(db, kUsbDeviceClass)) {
        if (!EqualsNoCase(d.serial, serial)) continue;
        int64_t control = reg::FindPath(db, key, {InterfaceKeyName(d.id, d.serial, kUsbDeviceClass), u"#", u"Control"});
        if (control) reg::SetDword(db, control, u"Linked", 0);
        return true;
    }
    return false;
}

}  // namespace sim::devices
