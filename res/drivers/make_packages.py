#!/usr/bin/env python3
"""Writes the driver packages that ship beside the installer: for each model one INF file
per processor architecture (the names the installer's model catalogue asks for) and the
model's GPD.

The packages are Unidrv minidrivers. Windows' own universal printer driver (Unidrv, which
the INF takes from the system's ntprint.inf) drives the printer; the model's GPD, ours,
tells it the paper, the resolution and the printer's commands. No file of a package is
program code.

Half of the INF files are written as UTF-16LE with a byte-order mark and half as ANSI, as
both kinds occur in the field. Edit the packages here and run the script again (it only
rewrites the files); tests/printui checks what the files hold, with a GPD checker of our
own and by installing every package on the simulated machine."""

import os
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))
DPI = 203
VERSION = "06/01/2024,2.0.0.0"


def dots(mm=None, inches=None):
    """A length in printer dots at 203 dots per inch."""
    return round(inches * DPI) if inches is not None else round(mm * DPI / 25.4)


@dataclass
class Paper:
    option: str      # the GPD option name
    name: str        # what the user sees
    width: int       # dots
    length: int      # dots
    size_text: str   # the size in the GPD's comment


@dataclass
class Model:
    code: str             # catalogue code: the INF names are CODE.inf and CODE_x64.inf
    name: str             # printer and driver model name, as the catalogue has it
    mdl: str              # MDL of the printer's IEEE 1284 device ID
    kind: str             # "receipt" or "label"
    description: str
    head_mm: int          # width of the print head
    head_dots: int        # dots across the head: 8 a millimetre, whole bytes of raster
    papers: list
    cutter: bool
    encodings: tuple      # of the x86 and the x64 INF: "ansi" or "utf16"
    extra: dict = field(default_factory=dict)

    @property
    def gpd(self):
        return self.code.lower() + ".gpd"

    @property
    def article(self):
        return "an" if self.description[0] in "8aeiou" else "a"

    @property
    def hardware_id(self):
        """The ID Windows' USB printing support gives the printer: the 1284 device ID's
        manufacturer and model joined, spaces made underscores, cut to 20 characters, and
        a four-digit checksum of the two (CRC-16, as we compute it; Microsoft advises
        taking the final value from setupapi.dev.log with a production unit)."""
        text = "Drovan" + self.mdl
        crc = 0
        for byte in text.encode("ascii"):
            crc ^= byte
            for _ in range(8):
                crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        return text.replace(" ", "_")[:20] + format(crc, "04X")


def roll(width_mm, length_mm):
    return Paper(f"Roll{width_mm}x{length_mm}", f"Roll paper {width_mm} x {length_mm} mm",
                 dots(width_mm), dots(length_mm), f"{width_mm} x {length_mm} mm")


def label_mm(width_mm, length_mm):
    return Paper(f"Label{width_mm}x{length_mm}mm", f"Label {width_mm} x {length_mm} mm",
                 dots(width_mm), dots(length_mm), f"{width_mm} x {length_mm} mm")


def label_in(width_in, length_in):
    return Paper(f"Label{width_in}x{length_in}in", f"Label {width_in} x {length_in} in",
                 dots(inches=width_in), dots(inches=length_in), f"{width_in} x {length_in} in")


MODELS = [
    Model("MR2A", "QB410 Printer", "QB410", "receipt",
          "80 mm thermal receipt printer with an automatic cutter", 72, 576,
          [roll(80, 297), roll(80, 3276)], cutter=True, encodings=("ansi", "utf16")),
    Model("MR3A", "QD530 Printer", "QD530", "receipt",
          "58 mm thermal receipt printer with a tear bar", 48, 384,
          [roll(58, 297), roll(58, 3276)], cutter=False, encodings=("utf16", "ansi")),
    Model("MR5A", "KELV MR5A Printer", "KELV MR5A", "label",
          "4-inch thermal label printer", 104, 832,
          [label_in(4, 6), label_mm(100, 150), label_mm(100, 100), label_mm(100, 50)],
          cutter=False, encodings=("ansi", "utf16")),
    Model("MR6A", "KELV MR6A Printer", "KELV MR6A", "label",
          "2-inch thermal label printer", 56, 448,
          [label_mm(50, 30), label_mm(40, 30), label_mm(50, 25)],
          cutter=False, encodings=("utf16", "ansi")),
]

LANGUAGE = {"receipt": "ESC/POS", "label": "ZPL II"}

ARCHS = {
    # INF name suffix, TargetOS decorations, what the file serves
    "x86": ("", ["NTx86", "NTarm64"],
            "For 32-bit x86 Windows, and for Windows on ARM64: there the installer runs as a\n"
            "; 32-bit program and picks this file, and Unidrv exists on ARM64 as well."),
    "x64": ("_x64", ["NTamd64"], "For 64-bit x64 Windows."),
}


def inf_text(m, arch):
    suffix, decorations, serves = ARCHS[arch]
    hwid = m.hardware_id
    models = "\n".join(f"[Drovan.{d}]\n\"{m.name}\"={m.code},USBPRINT\\{hwid},{hwid}\n"
                       for d in decorations)
    return f"""; {m.code}{suffix}.inf - driver package of the Drovan {m.name},
; {m.article} {m.description}.
; {serves}
;
; Windows' own universal printer driver (Unidrv) prints for this model: Include and Needs
; take it from the system's ntprint.inf, and its data section names the driver
; (UNIDRV.DLL), the settings module (UNIDRVUI.DLL) and the help (UNIDRV.HLP). This
; package adds the model's description, {m.gpd}, whose commands are in the printer's
; language, {LANGUAGE[m.kind]}. Nothing here is program code.
;
; Signing: a release adds "CatalogFile={m.code}{suffix}.cat" to [Version] and ships that
; signed catalog beside this file (README, "Driver packages"). No catalog is named here
; until one ships.

[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={{4D36E979-E325-11CE-BFC1-08002BE10318}}
Provider=%Drovan%
DriverVer={VERSION}

[Manufacturer]
%Drovan%=Drovan,{",".join(decorations)}

; Plug and Play: Windows' USB printing support names a plugged-in printer after the IEEE
; 1284 device ID it reports (MFG:Drovan;MDL:{m.mdl};CMD:{LANGUAGE[m.kind]};CLS:PRINTER;):
; USBPRINT\\ followed by maker and model and a four-digit checksum. The second ID is the
; same printer found on another bus. The USB device itself (vendor 0483, product 5720)
; stays with Windows' USB printing support, which is why its USB\\VID_0483&PID_5720 ID
; is not listed here.
{models}
; The universal printer driver with this model's GPD as the driver's data file. The
; printers answer no PJL, so the bidirectional variant (UNIDRV_BIDI, with the PJL
; language monitor) is not used: its PJL job header would be printed as text.
[{m.code}]
CopyFiles=@{m.gpd}
DataFile={m.gpd}
DataSection=UNIDRV_DATA
Include=ntprint.inf
Needs=UNIDRV.OEM

[DestinationDirs]
DefaultDestDir=66000

[SourceDisksNames]
1=%Disk%,,,

[SourceDisksFiles]
{m.gpd}=1

[Strings]
Drovan="Drovan"
Disk="Drovan {m.name} driver package"
"""


# ---- GPD ------------------------------------------------------------------------------

def gpd_header(m, what):
    head = m.head_dots
    return f"""*GPDSpecVersion: "1.0"
*%
*% {m.gpd}: the description of the Drovan {m.name} for Windows' universal printer
*% driver (Unidrv). Written by us from Microsoft's GPD documentation.
*%
*% The printer: {m.article} {m.description}.
*% It prints 203 dots per inch with a print head {m.head_mm} mm wide ({head} dots).
{what}
*% The driver sends every page as raster graphics, 1 bit per dot; no printer font is used.
*% Master units are the printer's dots (203 per inch, so 1 mm is about 8 dots).
*%
*% Every command below says which bytes it sends and why.
*%
*GPDFileName: "{m.gpd}"
*GPDFileVersion: "2.0"
*Include: "StdNames.gpd"
*ModelName: "{m.name}"
*MasterUnits: PAIR(203, 203)
*ResourceDLL: "unires.dll"
"""


def feature_orientation():
    return """
*% The printer prints in one direction; for landscape pages the driver turns the page.
*Feature: Orientation
{
    *rcNameID: =ORIENTATION_DISPLAY
    *DefaultOption: PORTRAIT
    *Option: PORTRAIT
    {
        *rcNameID: =PORTRAIT_DISPLAY
    }
    *Option: LANDSCAPE_CC270
    {
        *rcNameID: =LANDSCAPE_DISPLAY
    }
}
"""


def feature_resolution():
    return """
*Feature: Resolution
{
    *rcNameID: =RESOLUTION_DISPLAY
    *DefaultOption: Dpi203
    *Option: Dpi203
    {
        *Name: "203 x 203 " =DOTS_PER_INCH
        *DPI: PAIR(203, 203)
        *TextDPI: PAIR(203, 203)
        *SpotDiameter: 100
    }
}
"""


def feature_halftone():
    return """
*% Pictures (a logo, a photograph) are dithered to black and white.
*Feature: Halftone
{
    *rcNameID: =HALFTONING_DISPLAY
    *DefaultOption: HT_PATSIZE_AUTO
    *Option: HT_PATSIZE_AUTO
    {
        *rcNameID: =HT_AUTO_SELECT_DISPLAY
    }
    *Option: HT_PATSIZE_SUPERCELL_M
    {
        *rcNameID: =HT_SUPERCELL_DISPLAY
    }
    *Option: HT_PATSIZE_8x8_M
    {
        *rcNameID: =HT_DITHER8X8_DISPLAY
    }
}
"""


def feature_input_bin(option, name):
    return f"""
*Feature: InputBin
{{
    *rcNameID: =PAPER_SOURCE_DISPLAY
    *DefaultOption: {option}
    *Option: {option}
    {{
        *Name: "{name}"
    }}
}}
"""


def receipt_gpd(m):
    head = m.head_dots
    bytes_per_row = head // 8
    papers = []
    for p in m.papers:
        origin = (p.width - head) // 2
        papers.append(f"""    *Option: {p.option}
    {{
        *Name: "{p.name}"
        *% {p.size_text} is {p.width} x {p.length} dots; the head covers the middle {head} dots,
        *% {origin} dots in from the left edge of the paper.
        *PageDimensions: PAIR({p.width}, {p.length})
        *PrintableArea: PAIR({head}, {p.length})
        *PrintableOrigin: PAIR({origin}, 0)
        *CursorOrigin: PAIR({origin}, 0)
    }}""")
    if m.cutter:
        job_end = """
*% The printer has a cutter: the job ends with a cut, unless the user asks for none.
*Feature: PaperCut
{
    *FeatureType: DOC_PROPERTY
    *Name: "Cut the paper"
    *DefaultOption: AtJobEnd
    *Option: AtJobEnd
    {
        *Name: "At the end of the job"
        *Command: CmdSelect
        {
            *Order: JOB_FINISH.10
            *% 1D 56 42 00 (GS V 66 0): feed the paper until the last printed line has
            *% passed the cutter, then cut it, leaving a small bridge (a partial cut) so
            *% that the receipt waits to be torn off instead of falling.
            *Cmd: "<1D564200>"
        }
    }
    *Option: Never
    {
        *Name: "Never"
        *Command: CmdSelect
        {
            *Order: JOB_FINISH.10
            *% 1B 64 05 (ESC d 5): print what is left in the buffer and feed five lines,
            *% so that the last printed line clears the cover to be torn off by hand.
            *Cmd: "<1B6405>"
        }
    }
}
"""
    else:
        job_end = """
*% No cutter: the job ends by bringing the last line to the tear bar.
*Command: CmdEndJob
{
    *Order: JOB_FINISH.10
    *% 1B 64 05 (ESC d 5): print what is left in the buffer and feed five lines, so that
    *% the last printed line passes the tear bar and the receipt can be torn off.
    *Cmd: "<1B6405>"
}
"""
    what = (f"*% The printer's language: the thermal receipt command set ({LANGUAGE['receipt']}). Roll paper\n"
            "*% runs forward only, so the pages of a job follow each other on the roll and\n"
            "*% blank lines are fed, not sent.")
    return gpd_header(m, what) + f"""*PrinterType: SERIAL
*Personality: "{LANGUAGE['receipt']}"
*MaxCopies: 1

*Command: CmdStartJob
{{
    *Order: JOB_SETUP.1
    *% 1B 40 (ESC @): initialise the printer. It empties the print buffer of anything a
    *% previous job left and resets the modes (line spacing, alignment, upside-down
    *% printing) so that the raster below prints as drawn.
    *Cmd: "<1B40>"
}}
{feature_orientation()}{feature_resolution()}
*Feature: PaperSize
{{
    *rcNameID: =PAPER_SIZE_DISPLAY
    *DefaultOption: {m.papers[0].option}
{chr(10).join(papers)}
}}
{feature_input_bin("Roll", "Roll paper")}{feature_halftone()}{job_end}
*% ---- Moving on the paper ---------------------------------------------------------------
*% The paper moves forward only, in dots; the head needs no horizontal moves, since every
*% raster line starts at its left end.
*YMoveUnit: 203
*MaxLineSpacing: 255
*CursorXAfterCR: AT_CURSOR_X_ORIGIN
*Command: CmdCR
{{
    *% No bytes: raster lines always start at the left end of the head. A CR byte would
    *% feed a line on printers set to treat CR as a line feed.
    *Cmd: ""
}}
*Command: CmdSetLineSpacing
{{
    *% 1B 33 n (ESC 3 n): set the line spacing to n dots, for the line feeds below.
    *Cmd: "<1B33>" %c[0,255]{{LinefeedSpacing}}
}}
*Command: CmdLF
{{
    *% 0A (LF): print the buffer and feed one line of the spacing set by ESC 3.
    *Cmd: "<0A>"
}}
*Command: CmdYMoveRelDown
{{
    *% 1B 4A n (ESC J n): print the buffer and feed the paper n dots. Longer moves repeat
    *% the command (at most 255 dots each), so blank space costs three bytes per 31 mm.
    *Cmd: "<1B4A>" %c[0,255]{{max_repeat(DestYRel)}}
}}
*Command: CmdFF
{{
    *% No bytes: roll paper has no sheet to eject; the next page goes on below this one,
    *% and the end of the job (cut or feed) is sent once, at the end.
    *Cmd: ""
}}

*% ---- Raster graphics ---------------------------------------------------------------
*% Blocks of whole rows, {bytes_per_row} bytes each ({head} dots), the leftmost dot in the high bit, 1 for
*% a black dot: the layout of the printer's raster image command. Blank rows are not
*% sent but fed (ESC J above), so a receipt ends where its content does. A block holds
*% at most 256 rows, well within what the printer buffers.
*OutputDataFormat: H_BYTE
*OptimizeLeftBound?: FALSE
*RasterSendAllData?: FALSE
*SendMultipleRows?: TRUE
*MaxMultipleRowBytes: {bytes_per_row * 256}
*CursorXAfterSendBlockData: AT_GRXDATA_ORIGIN
*CursorYAfterSendBlockData: AUTO_INCREMENT
*Command: CmdSendBlockData
{{
    *% 1D 76 30 00 xL xH yL yH (GS v 0, mode 0): print a raster image x bytes wide and
    *% y dots high at normal size; x and y go low byte first, and the image's x * y
    *% bytes follow. The printer feeds the paper past the image as it prints it.
    *Cmd: "<1D763000>" %l{{RasterDataWidthInBytes}} %l{{RasterDataHeightInPixels}}
}}
"""


def label_gpd(m):
    head = m.head_dots
    papers = []
    for p in m.papers:
        papers.append(f"""    *Option: {p.option}
    {{
        *Name: "{p.name}"
        *% {p.size_text} is {p.width} x {p.length} dots, printed edge to edge.
        *PageDimensions: PAIR({p.width}, {p.length})
        *PrintableArea: PAIR({p.width}, {p.length})
        *PrintableOrigin: PAIR(0, 0)
        *CursorOrigin: PAIR(0, 0)
        *Command: CmdSelect
        {{
            *Order: PAGE_SETUP.5
            *% ^PW{p.width}^LL{p.length}: the label's print width and length in dots, so
            *% that the printer knows where this label ends.
            *Cmd: "^PW{p.width}^LL{p.length}"
        }}
    }}""")
    media = []
    for option, name, code, why in (
            ("GapLabels", "Labels with gaps", "Y", "labels separated by gaps, found by the gap sensor"),
            ("MarkLabels", "Labels with black marks", "M", "labels marked by a black mark on the back"),
            ("Continuous", "Continuous paper", "N", "continuous stock, cut to the label length ^LL")):
        media.append(f"""    *Option: {option}
    {{
        *Name: "{name}"
        *Command: CmdSelect
        {{
            *Order: PAGE_SETUP.3
            *% ^MN{code}: media tracking for {why}.
            *Cmd: "^MN{code}"
        }}
    }}""")
    darkness = []
    for option, name, level in (("Light", "Light", 10), ("Normal", "Normal", 15), ("Dark", "Dark", 20)):
        darkness.append(f"""    *Option: {option}
    {{
        *Name: "{name}"
        *Command: CmdSelect
        {{
            *Order: JOB_SETUP.10
            *% ~SD{level}: heat of the print head, {level} on the printer's scale of 0 to 30.
            *Cmd: "~SD{level}"
        }}
    }}""")
    what = (f"*% The printer's language: the label command language {LANGUAGE['label']}. Each page is one\n"
            "*% label format (^XA ... ^XZ) holding the page's graphics as binary graphic fields\n"
            "*% (^GF), each placed by its field origin (^FO). Its commands are ASCII text; the\n"
            "*% comments give that text.")
    return gpd_header(m, what) + f"""*PrinterType: PAGE
*Personality: "{LANGUAGE['label']}"
*MaxCopies: 9999
{feature_orientation()}{feature_resolution()}
*Feature: PaperSize
{{
    *rcNameID: =PAPER_SIZE_DISPLAY
    *DefaultOption: {m.papers[0].option}
{chr(10).join(papers)}
}}
{feature_input_bin("LabelRoll", "Label roll")}
*Feature: MediaType
{{
    *rcNameID: =MEDIA_TYPE_DISPLAY
    *DefaultOption: GapLabels
{chr(10).join(media)}
}}

*Feature: PrintDarkness
{{
    *FeatureType: DOC_PROPERTY
    *Name: "Print darkness"
    *DefaultOption: Normal
{chr(10).join(darkness)}
}}
{feature_halftone()}
*% ---- Pages -----------------------------------------------------------------------
*Command: CmdStartPage
{{
    *Order: PAGE_SETUP.1
    *% ^XA: start a label format. ^MMT: tear-off mode, the printer stops the printed
    *% label at the tear bar. ^FO0,0: the first graphic field starts at the top left
    *% corner of the label, where the driver's cursor starts.
    *Cmd: "^XA^MMT^FO0,0"
}}
*Command: CmdCopies
{{
    *Order: PAGE_SETUP.20
    *% ^PQn: print the label n times; the printer makes the copies.
    *Cmd: "^PQ" %d[1,9999]{{NumOfCopies}}
}}
*Command: CmdEndPage
{{
    *Order: PAGE_FINISH.1
    *% ^XZ: end of the label format; the printer prints the label.
    *Cmd: "^XZ"
}}

*% ---- Moving on the label ---------------------------------------------------------
*% A label format has no cursor: every field names its origin. A move down is the origin
*% of the next graphic field; fields always start at the left edge.
*YMoveUnit: 203
*CursorXAfterCR: AT_CURSOR_X_ORIGIN
*Command: CmdYMoveAbsolute
{{
    *% ^FO0,y: the next graphic field starts at the left edge, y dots below the top of
    *% the label.
    *Cmd: "^FO0," %d{{DestY}}
}}
*Command: CmdCR
{{
    *% No bytes: every field starts at the left edge.
    *Cmd: ""
}}
*Command: CmdLF
{{
    *% No bytes: the language has no line feed; the driver moves with field origins.
    *Cmd: ""
}}
*Command: CmdFF
{{
    *% No bytes: the label is ended, and printed, by ^XZ at the end of the page.
    *Cmd: ""
}}

*% ---- Raster graphics ---------------------------------------------------------------
*% Blocks of whole rows, the leftmost dot in the high bit, 1 for a black dot: the binary
*% form of a graphic field. Blank rows are not sent; the next block's field origin skips
*% them. The cursor stays at a block's top, so every later block gets its own origin.
*OutputDataFormat: H_BYTE
*OptimizeLeftBound?: FALSE
*RasterSendAllData?: FALSE
*SendMultipleRows?: TRUE
*CursorXAfterSendBlockData: AT_GRXDATA_ORIGIN
*CursorYAfterSendBlockData: NO_MOVE
*Command: CmdSendBlockData
{{
    *% ^GFB,n,n,w,: a graphic field of n bytes in binary form, w bytes to a row; the n
    *% bytes of the image follow.
    *Cmd: "^GFB," %d{{NumOfDataBytes}} "," %d{{NumOfDataBytes}} "," %d{{RasterDataWidthInBytes}} ","
}}
*Command: CmdEndBlockData
{{
    *% ^FS: end of the graphic field.
    *Cmd: "^FS"
}}
"""


def write_text(name, text, encoding):
    data = text.replace("\n", "\r\n")
    with open(os.path.join(HERE, name), "wb") as f:
        if encoding == "utf16":
            f.write(b"\xff\xfe" + data.encode("utf-16-le"))
        else:
            f.write(data.encode("cp1252"))


def main():
    for m in MODELS:
        for arch, encoding in zip(("x86", "x64"), m.encodings):
            write_text(m.code + ARCHS[arch][0] + ".inf", inf_text(m, arch), encoding)
        gpd = receipt_gpd(m) if m.kind == "receipt" else label_gpd(m)
        write_text(m.gpd, gpd, "ansi")


if __name__ == "__main__":
    main()
