#!/usr/bin/env python3
"""The Windows program as it ships, read back from its files on the build machine.

    check_release.py --exe RELEASE_EXE --linked LINKED_EXE --debug-file FILE --machine x86_64|i686
                     --zip ZIP --expect LIST --icon ICO --version X.Y.Z --nm NM
                     [--cert CERT --osslsigncode PATH]

RELEASE_EXE is drovan.exe as packaged (stripped, maybe signed), LINKED_EXE the same program as
linked (with its symbols), LIST the names the zip must hold, one a line, ICO the icon art.
Every check prints one line; the exit code is the number of failed checks.
"""
import argparse
import hashlib
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

failures = 0


def check(ok, what, detail=""):
    global failures
    print(("ok      " if ok else "FAILED  ") + what + (": " + detail if detail else ""))
    if not ok:
        failures += 1


class PE:
    """The parts of a PE file this check reads: headers, sections, data directories."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(path + ": not an MZ executable")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(path + ": no PE signature")
        (self.machine, nsections, _, self.symtab, self.nsymbols, optsize, _) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        self.is64 = magic == 0x20B
        self.image_base = struct.unpack_from("<Q" if self.is64 else "<I", d, opt + (24 if self.is64 else 28))[0]
        self.subsystem = struct.unpack_from("<H", d, opt + 68)[0]
        dirs = opt + (112 if self.is64 else 96)
        ndirs = struct.unpack_from("<I", d, dirs - 4)[0]
        self.dirs = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(ndirs)]
        self.sections = []
        table = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, table + 40 * i)
            name = name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/"):  # a long name, in the COFF string table
                strtab = self.symtab + 18 * self.nsymbols
                start = strtab + int(name[1:])
                name = d[start:d.index(b"\0", start)].decode("latin-1")
            self.sections.append((name, va, max(vsize, rawsize), rawptr, min(vsize, rawsize) if vsize else rawsize))

    def offset(self, rva):
        for _, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise ValueError("RVA %#x lies in no file data" % rva)
                return rawptr + rva - va
        raise ValueError("RVA %#x is in no section" % rva)

    def cstr(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")

    def section(self, name):
        for n, va, size, rawptr, rawsize in self.sections:
            if n == name:
                return self.data[rawptr:rawptr + rawsize]
        return None

    def imports(self):
        rva, size = self.dirs[1]
        names = []
        while rva and size:
            ilt, _, _, name, iat = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not name:
                break
            names.append(self.cstr(name))
            rva += 20
        return names

    def delay_import(self, va):
        """The DLL name of the delay-import descriptor at VA. GNU ld leaves the delay-import
        directory empty, so descriptors are found by their symbols in the linked program."""
        attrs, name = struct.unpack_from("<II", self.data, self.offset(va - self.image_base))
        return self.cstr(name) if attrs & 1 else self.cstr(name - self.image_base)

    def tls_callbacks(self):
        rva, size = self.dirs[9]
        if not rva:
            return []
        fmt = "<Q" if self.is64 else "<I"
        step = 8 if self.is64 else 4
        callbacks_va = struct.unpack_from(fmt, self.data, self.offset(rva) + 3 * step)[0]
        found = []
        o = self.offset(callbacks_va - self.image_base)
        while True:
            va = struct.unpack_from(fmt, self.data, o)[0]
            if not va:
                return found
            found.append(va)
            o += step

    def resources(self):
        """{(type, name): [(language, bytes)]} for numbered types and names."""
        rva, _ = self.dirs[2]
        base = self.offset(rva)
        d = self.data
        out = {}

        def entries(at):
            named, ids = struct.unpack_from("<HH", d, at + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", d, at + 16 + 8 * i)
                yield ident, target

        for rtype, t in entries(base):
            for name, n in entries(base + (t & 0x7FFFFFFF)):
                for lang, leaf in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", d, base + leaf)
                    o = self.offset(data_rva)
                    out.setdefault((rtype, name), []).append((lang, d[o:o + size]))
        return out


def version_blocks(data, at=0, end=None):
    """The children of a VS_VERSIONINFO block: (key, value bytes, value type, children)."""
    end = len(data) if end is None else end
    blocks = []
    while at + 6 <= end:
        length, vlen, vtype = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        k = at + 6
        key_end = k
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[k:key_end].decode("utf-16-le")
        v = (key_end + 2 + 3) & ~3
        vbytes = vlen * 2 if vtype == 1 else vlen
        value = data[v:v + vbytes]
        c = (v + vbytes + 3) & ~3
        blocks.append((key, value, vtype, (c, at + length)))
        at = (at + length + 3) & ~3
    return blocks


def check_version(res, version):
    entry = res.get((16, 1))
    check(entry is not None, "version resource present")
    if not entry:
        return
    data = entry[0][1]
    (root_key, fixed, _, (c, e)), = version_blocks(data)[:1]
    sig, _, fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<IIIIII", fixed)
    want = [int(x) for x in version.split(".")] + [0]
    file_version = [fv_ms >> 16, fv_ms & 0xFFFF, fv_ls >> 16, fv_ls & 0xFFFF]
    product_version = [pv_ms >> 16, pv_ms & 0xFFFF, pv_ls >> 16, pv_ls & 0xFFFF]
    check(sig == 0xFEEF04BD and file_version == want and product_version == want,
          "fixed file and product version", ".".join(map(str, file_version)))
    tables, translations = {}, []
    for key, value, _, (cc, ce) in version_blocks(data, c, e):
        if key == "StringFileInfo":
            for lang, _, _, (sc, se) in version_blocks(data, cc, ce):
                tables[lang.upper()] = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _, _ in version_blocks(data, sc, se)}
        elif key == "VarFileInfo":
            for k, v, _, _ in version_blocks(data, cc, ce):
                if k == "Translation":
                    translations = ["%04X%04X" % struct.unpack_from("<HH", v, i) for i in range(0, len(v), 4)]
    check(sorted(tables) == sorted(translations) and translations, "a string table for each translation promised",
          "tables %s, translations %s" % (sorted(tables), translations))
    check(set(translations) == {"040904B0", "080404B0"}, "English and Simplified Chinese", ", ".join(translations))
    for lang, table in sorted(tables.items()):
        for key in ("CompanyName", "FileDescription", "ProductName", "LegalCopyright", "InternalName"):
            check(bool(table.get(key)), "%s %s" % (lang, key), table.get(key, "missing"))
        check(table.get("FileVersion") == version and table.get("ProductVersion") == version,
              "%s file and product version text" % lang, "%s / %s" % (table.get("FileVersion"), table.get("ProductVersion")))
        check(table.get("OriginalFilename") == "drovan.exe", "%s OriginalFilename" % lang, table.get("OriginalFilename", "missing"))
    chinese = tables.get("080404B0", {}).get("FileDescription", "")
    check(any("\u4e00" <= ch <= "\u9fff" for ch in chinese), "the Chinese table is in Chinese", chinese)


def ico_images(ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    out = {}
    for i in range(count):
        w, h, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        out[w or 256] = ico[offset:offset + size]
    return out


# The 16 and 32 pixel images of the application icon as they were first drawn: a bigger icon
# adds sizes, it does not redraw these.
ORIGINAL_ICON_IMAGES = {
    16: "5ed538decd133c9310f0208549224c251b43da01c34a2e678864716a3fa6c437",
    32: "ad7e662756001aad041d65e5560d5372b63231bd98cba88aff89a038ea11a90f",
}


def check_icon(res, art):
    group = res.get((14, 128))
    check(group is not None, "group icon 128 present")
    if not group:
        return
    g = group[0][1]
    count = struct.unpack_from("<H", g, 4)[0]
    images = {}
    for i in range(count):
        w, h, _, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH", g, 6 + 14 * i)
        icon = res.get((3, ident))
        images[w or 256] = icon[0][1] if icon else None
    check(sorted(images) == [16, 32, 48, 256], "icon sizes 16, 32, 48, 256", str(sorted(images)))
    big = images.get(256) or b""
    is_png = big[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack_from(">II", big, 16) == (256, 256)
    check(is_png, "the 256-pixel image is a 256 x 256 PNG")
    art_images = ico_images(art)
    for size in (16, 32, 48, 256):
        check(images.get(size) is not None and images.get(size) == art_images.get(size),
              "icon image %d is the program's art" % size)
    for size, digest in ORIGINAL_ICON_IMAGES.items():
        got = hashlib.sha256(images.get(size) or b"").hexdigest()
        check(got == digest, "icon image %d unchanged" % size, got)


def main():
    p = argparse.ArgumentParser()
    for name in ("exe", "linked", "debug-file", "machine", "zip", "expect", "icon", "version", "nm"):
        p.add_argument("--" + name, required=True)
    p.add_argument("--cert")
    p.add_argument("--osslsigncode")
    a = p.parse_args()

    exe = PE(a.exe)
    linked = PE(a.linked)
    machine = {"x86_64": 0x8664, "i686": 0x14C}[a.machine]
    check(exe.machine == machine, "machine type", "%#x" % exe.machine)
    check(exe.subsystem == 2, "Windows GUI subsystem", str(exe.subsystem))

    res = exe.resources()
    manifest = res.get((24, 1), [(0, b"")])[0][1].decode("utf-8", "replace")
    for needle in ('level="requireAdministrator"', 'uiAccess="false"',
                   'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', ">true</dpiAware>"):
        check(needle in manifest, "manifest: " + needle)
    for rtype, name, what in ((14, 128, "group icon 128"), (2, 141, "bitmap 141"), (2, 150, "bitmap 150"),
                              (2, 154, "bitmap 154")):
        check((rtype, name) in res, what)
    check_version(res, a.version)
    with open(a.icon, "rb") as f:
        check_icon(res, f.read())

    # Only KnownDLLs are bound before the program's first instruction; the rest wait for it.
    # The linked program's symbols say where things are in the release one: the same code.
    same = exe.section(".text") == linked.section(".text") and exe.section(".text") is not None
    check(same, "the release program is the linked one, stripped", "" if same else "their code differs: a stale build?")
    if not same:
        return min(failures, 100)
    nm = subprocess.run([a.nm, "-C", a.linked], capture_output=True, text=True, check=True).stdout
    imports = exe.imports()
    delayed = [exe.delay_import(int(line.split()[0], 16)) for line in nm.splitlines()
               if "_DELAY_IMPORT_DESCRIPTOR_" in line]
    print("        imports: " + ", ".join(imports))
    print("        delay-loaded: " + ", ".join(delayed))
    check(sorted(n.lower() for n in imports) == ["kernel32.dll", "msvcrt.dll"], "imported at start: KERNEL32 and msvcrt only")
    check("winspool.drv" in [n.lower() for n in delayed], "WINSPOOL.DRV delay-loaded")
    # (32-bit: a stdcall name, with "@12" after it.)
    restrict = [int(line.split()[0], 16) for line in nm.splitlines()
                if re.search(r"RestrictDllSearch\(void\*, unsigned long, void\*\)(@\d+)?$", line)]
    callbacks = exe.tls_callbacks()
    check(len(restrict) == 1 and callbacks[:1] == restrict, "the first TLS callback restricts the DLL search",
          "callbacks %s, RestrictDllSearch %s" % ([hex(c) for c in callbacks], [hex(r) for r in restrict]))

    # Stripped, with the debug information beside it.
    debug_sections = [s[0] for s in exe.sections if s[0].startswith(".debug")]
    check(exe.nsymbols == 0 and not debug_sections, "stripped", "%d symbols, %s" % (exe.nsymbols, debug_sections))
    with open(a.debug_file, "rb") as f:
        debug = f.read()
    link = exe.section(".gnu_debuglink") or b""
    link_name = link[:link.index(b"\0")].decode() if b"\0" in link else ""
    crc_at = (len(link_name) + 1 + 3) & ~3
    link_crc = struct.unpack_from("<I", link, crc_at)[0] if len(link) >= crc_at + 4 else None
    check(link_name == "drovan.exe.debug" and link_crc == zlib.crc32(debug), "debug link to " + a.debug_file,
          "%s, crc %s" % (link_name, link_crc))
    check(any(s[0] == ".debug_info" for s in PE(a.debug_file).sections), "the debug file holds .debug_info")

    # The zip: exactly the expected names, the program in it the release one.
    with open(a.expect, encoding="utf-8") as f:
        expected = sorted(line.strip() for line in f if line.strip())
    with zipfile.ZipFile(a.zip) as z:
        names = [n for n in z.namelist() if not n.endswith("/")]
        tops = {n.split("/")[0] for n in z.namelist()}
        top = a.zip.rsplit("/", 1)[-1][:-len(".zip")]
        listed = sorted(n[len(top) + 1:] for n in names)
        check(tops == {top} and all(n.count("/") == 1 for n in names), "one top folder " + top, str(sorted(tops)))
        missing = sorted(set(expected) - set(listed))
        extra = sorted(set(listed) - set(expected))
        check(listed == expected, "zip holds exactly the %d expected files" % len(expected),
              "missing %s, not expected %s" % (missing, extra))
        shipped = z.read(top + "/drovan.exe") if top + "/drovan.exe" in names else b""
    check(shipped == exe.data, "the zip's drovan.exe is the release program")

    # Signed when a certificate was given, else not signed at all.
    signed = len(exe.dirs) > 4 and exe.dirs[4][1] > 0
    if a.cert:
        check(signed, "Authenticode signature present")
        verify = [a.osslsigncode, "verify", "-CAfile", a.cert, "-in"]
        r = subprocess.run(verify + [a.exe], capture_output=True, text=True)
        check(r.returncode == 0, "signature verifies against " + a.cert, " ".join((r.stdout + r.stderr).strip().splitlines()[-1:]))
        with tempfile.NamedTemporaryFile(suffix=".exe") as tampered:
            data = bytearray(exe.data)
            code = exe.offset(exe.sections[0][1])  # a byte of the first section's code
            data[code + 16] ^= 0xFF
            tampered.write(data)
            tampered.flush()
            r = subprocess.run(verify + [tampered.name], capture_output=True, text=True)
            check(r.returncode != 0, "a changed byte breaks the signature")
    else:
        check(not signed, "unsigned when no certificate is given")

    print("%d check(s) failed" % failures if failures else "all checks passed")
    return min(failures, 100)


if __name__ == "__main__":
    sys.exit(main())
