#!/usr/bin/env python3
"""Writes the driver packages that ship beside the installer: one INF file per model and
processor architecture, and the small driver files they name. The files are our own
stand-ins (text, not programs): the simulated machine's print UI copies them into the
driver directory as Windows copies a real driver's files. Half of the INF files are ANSI
and half UTF-16LE with a byte-order mark, as both kinds occur. Edit the packages here and
run the script again."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))

# code: (printer and driver model name, hardware id, encoding of the x86 INF, of the x64 INF)
MODELS = {
    "MR2A": ("QB410 Printer", "DROVAN_QB410", "ansi", "utf16"),
    "MR3A": ("QD530 Printer", "DROVAN_QD530", "utf16", "ansi"),
    "MR5A": ("KELV MR5A Printer", "DROVAN_MR5A", "ansi", "utf16"),
    "MR6A": ("KELV MR6A Printer", "DROVAN_MR6A", "utf16", "ansi"),
}

ARCHS = {
    # suffix of the INF name, TargetOS decoration, suffix of the binary stand-ins
    "x86": ("", "NTx86", "", "32-bit x86"),
    "x64": ("_x64", "NTamd64", "64", "64-bit x64"),
}


def inf_text(code, model, hwid, arch):
    inf_suffix, decoration, bin_suffix, arch_text = ARCHS[arch]
    low = code.lower()
    drv, ui = f"dv{low}{bin_suffix}.dll", f"dv{low}ui{bin_suffix}.dll"
    return f"""; {code}{inf_suffix}.inf - Drovan printer driver package for the {model},
; {arch_text} Windows. Our own package: the driver files are small stand-ins.

[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={{4D36E979-E325-11CE-BFC1-08002BE10318}}
Provider=%Provider%
DriverVer=06/01/2024,1.0.0.0
CatalogFile={low}{bin_suffix}.cat

[Manufacturer]
%Manufacturer% = Drovan, {decoration}   ; models for {arch_text} Windows only

[Drovan.{decoration}]
"{model}" = {code}_Install, {hwid}

[{code}_Install]
; the printer class installer's own sections; this package needs none of them
Include = ntprint.inf
Needs = TTFONTS, UNIDRV_BIDI
CopyFiles = {code}_Files, @{low}.ini
DriverFile = {drv}
ConfigFile = {ui}
DataFile   = {low}.dat
HelpFile   = {low}.hlp

[{code}_Files]
{drv}
{ui}
{low}.dat
{low}.hlp
{low}_lang.txt, \\
    {low}_lang_src.txt

[DestinationDirs]
DefaultDestDir = 66000       ; the printer driver directory

[SourceDisksNames]
1 = %Disk%,,,

[SourceDisksFiles]
{drv} = 1
{ui} = 1
{low}.dat = 1
{low}.hlp = 1
{low}.ini = 1
{low}_lang_src.txt = 1

[Strings]
Provider = "Drovan"
Manufacturer = "Drovan"
Disk = "Drovan ""{code}"" driver disk; 100%% our own"
"""


def write_text(name, text, encoding):
    data = text.replace("\n", "\r\n")
    with open(os.path.join(HERE, name), "wb") as f:
        if encoding == "utf16":
            f.write(b"\xff\xfe" + data.encode("utf-16-le"))
        else:
            f.write(data.encode("cp1252"))


def driver_files(code, model):
    low = code.lower()
    files = {}
    for arch, (_, _, bin_suffix, arch_text) in ARCHS.items():
        files[f"dv{low}{bin_suffix}.dll"] = (
            f"Drovan {model} driver module stand-in for {arch_text} Windows.\n"
            "The simulated machine installs this file; it holds no code.\n")
        files[f"dv{low}ui{bin_suffix}.dll"] = (
            f"Drovan {model} printer settings module stand-in for {arch_text} Windows.\n")
    files[f"{low}.dat"] = (
        f"; Drovan {model} printer description\n"
        "Model=" + model + "\nResolution=203dpi\nPaperWidths=58mm,80mm\nInterface=serial,usb\n")
    files[f"{low}.hlp"] = f"Drovan {model} help.\nChoose the paper width in the printer's settings.\n"
    files[f"{low}.ini"] = f"[{code}]\nCutter=1\nDrawer=0\n"
    files[f"{low}_lang_src.txt"] = "en=English\nzh-CN=Simplified Chinese\n"
    return files


def main():
    for code, (model, hwid, enc86, enc64) in MODELS.items():
        for arch, enc in (("x86", enc86), ("x64", enc64)):
            write_text(f"{code}{ARCHS[arch][0]}.inf", inf_text(code, model, hwid, arch), enc)
        for name, text in driver_files(code, model).items():
            write_text(name, text, "ansi")


if __name__ == "__main__":
    main()
