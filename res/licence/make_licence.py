#!/usr/bin/env python3
"""Writes the licence texts the wizard shows, as the program reads them: UTF-16
little-endian with a byte-order mark, Windows line ends. Edit the texts here, one
paragraph a line; this script breaks them into lines that fit the licence box.

The box (control 1000 of dialog 102: 199 dialog units wide, a border and a vertical
scroll bar, the dialog's 9-point 宋体) does not wrap its lines, so a line wider than the
box needs horizontal scrolling. Every line must fit in each of the program's homes:

- Windows, where 宋体 is SimSun: its Latin letters are half a cell (6 px at 9 points,
  96 dpi) and Chinese ones a full cell (12 px). Its dialog base unit is 6 px, so the box
  is 298 px; the 3-D border (2 px a side) and the scroll bar (17 px) leave 277 px, of
  which the edit control's margins take a few: a line may be 264 px, 44 half cells.
- The Qt backend and Wine, where 宋体 is WenQuanYi Micro Hei: measured here from the
  font's own advance widths, rounded per glyph as the hinted font lays them out (the sums
  equal Qt's QFontMetrics). Its base unit is 7 px, so the box is 348 px; Qt's frame and
  scroll bar leave a 332 px viewport with a 1 px document margin a side, 330 px for text;
  Wine's border and scroll bar leave 327 px before its margins. A line may be 320 px.

Run it in this folder: python3 make_licence.py (--check: compare with the files here)."""

import struct
import sys
import unicodedata

EN = """Drovan Setup - Software Licence Agreement

Please read this agreement carefully before you install the printer driver.

1. Licence. Drovan grants you the right to install and use this printer driver and its setup program on any number of computers that you own or control, for use with printers of the Drovan family.

2. Restrictions. You may not sell, rent or lend the driver, nor distribute modified copies of it. You may copy it for backup and for installation on your own computers.

3. Ownership. The driver and its documentation remain the property of Drovan. This agreement grants you no rights in Drovan's names or trademarks.

4. No warranty. The software is provided "as is". Drovan does not promise that it is free of errors or that it will work without interruption, and gives no warranty of fitness for a particular purpose.

5. Limitation of liability. Drovan is not liable for lost data, lost profits or any indirect damage arising from the use of the software, as far as the law allows.

6. Termination. This licence ends if you break its terms. You must then remove every copy of the software.

By ticking "I agree" and pressing Next you accept this agreement.
"""

CN = """Drovan 打印机驱动程序安装 - 软件许可协议

安装打印机驱动程序之前，请仔细阅读本协议。

一、许可。Drovan 授予您在您拥有或管理的任意数量的计算机上安装和使用本打印机驱动程序及其安装程序的权利，供 Drovan 系列打印机使用。

二、限制。您不得出售、出租或出借本驱动程序，也不得分发经修改的副本。您可以为备份以及在您自己的计算机上安装而复制本软件。

三、所有权。本驱动程序及其文档的所有权归 Drovan 所有。本协议不授予您使用 Drovan 名称或商标的任何权利。

四、不提供担保。本软件按"现状"提供。Drovan 不保证其没有错误或不间断运行，也不提供适用于特定用途的任何担保。

五、责任限制。在法律允许的范围内，Drovan 不对因使用本软件而造成的数据丢失、利润损失或任何间接损失承担责任。

六、终止。如您违反本协议条款，本许可即告终止，您必须删除本软件的全部副本。

勾选"接受许可协议条款"并单击"下一步"，即表示您接受本协议。
"""

FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"  # Debian's fonts-wqy-microhei
FONT_PIXELS = 12  # 9 points at 96 dpi
SIMSUN_CELL = 6  # a half-width cell of SimSun at that size
WINDOWS_LIMIT = 264
QT_LIMIT = 320

# Chinese punctuation that must not begin a line, and that which must not end one.
NO_START = set("，。、；：？！）」』”’》")
NO_END = set("（「『“‘《")


class Face:
    """The advance widths of the first font of a TrueType collection, by character."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        if self.data[:4] != b"ttcf":
            raise SystemExit(path + " is not a font collection")
        offset = self.u32(12)  # the first font: WenQuanYi Micro Hei (the second is Mono)
        tables = {}
        for i in range(self.u16(offset + 4)):
            entry = offset + 12 + 16 * i
            tables[self.data[entry:entry + 4].decode("latin-1")] = self.u32(entry + 8)
        self.units_per_em = self.u16(tables["head"] + 18)
        metrics = self.u16(tables["hhea"] + 34)
        self.advances = [self.u16(tables["hmtx"] + 4 * i) for i in range(metrics)]
        self.glyphs = self.read_cmap(tables["cmap"])

    def u16(self, at):
        return struct.unpack(">H", self.data[at:at + 2])[0]

    def u32(self, at):
        return struct.unpack(">I", self.data[at:at + 4])[0]

    def read_cmap(self, cmap):
        for i in range(self.u16(cmap + 2)):
            platform, encoding = self.u16(cmap + 4 + 8 * i), self.u16(cmap + 6 + 8 * i)
            table = cmap + self.u32(cmap + 8 + 8 * i)
            if platform == 3 and encoding == 1 and self.u16(table) == 4:
                return self.read_format4(table)
        raise SystemExit("the font has no Unicode character map")

    def read_format4(self, table):
        segments = self.u16(table + 6) // 2
        ends = table + 14
        starts = ends + 2 * segments + 2
        deltas = starts + 2 * segments
        ranges = deltas + 2 * segments
        glyphs = {}
        for k in range(segments):
            first, last = self.u16(starts + 2 * k), self.u16(ends + 2 * k)
            delta, offset = self.u16(deltas + 2 * k), self.u16(ranges + 2 * k)
            for code in range(first, min(last, 0xFFFE) + 1):
                if offset == 0:
                    glyphs[code] = (code + delta) & 0xFFFF
                else:
                    glyph = self.u16(ranges + 2 * k + offset + 2 * (code - first))
                    glyphs[code] = (glyph + delta) & 0xFFFF if glyph else 0
        return glyphs

    def width(self, text):
        total = 0
        for ch in text:
            glyph = self.glyphs.get(ord(ch), 0)
            advance = self.advances[min(glyph, len(self.advances) - 1)]
            total += int(advance * FONT_PIXELS / self.units_per_em + 0.5)
        return total


def simsun_width(text):
    return sum(2 * SIMSUN_CELL if is_wide(ch) else SIMSUN_CELL for ch in text)


def fits(face, line):
    return simsun_width(line) <= WINDOWS_LIMIT and face.width(line) <= QT_LIMIT


def is_wide(ch):
    return unicodedata.east_asian_width(ch) in "WF"


def pieces(paragraph):
    """The paragraph as pieces a line may break between: words with the punctuation
    that belongs to them, single Chinese characters (with a mark that may not begin or
    end a line kept beside its neighbour), and the blanks between them."""
    out = []
    glue = False  # the next character goes with the last piece: it follows an opening mark
    quotes = 0
    for ch in paragraph:
        if ch == " ":
            out.append(ch)
            glue = False
            continue
        last = out[-1] if out and out[-1] != " " else None
        opening = ch in NO_END or (ch == '"' and quotes % 2 == 0)
        closing = ch in NO_START or (ch == '"' and quotes % 2 == 1)
        if ch == '"':
            quotes += 1  # straight quotes alternate, opening then closing
        if last is not None and (glue or closing or (not is_wide(ch) and not is_wide(last[-1]) and not opening)):
            out[-1] += ch
            glue = False
        else:
            out.append(ch)
            glue = opening
    return out


def wrap(face, paragraph):
    lines, line = [], ""
    for piece in pieces(paragraph):
        if piece == " ":
            if line:
                line += " "
            continue
        if not line or fits(face, line + piece):
            line += piece
            continue
        lines.append(line.rstrip())
        line = piece
    if line or not lines:
        lines.append(line.rstrip())
    for done in lines:
        if not fits(face, done):
            raise SystemExit("cannot fit: " + done)
    return lines


def lay_out(face, text):
    lines = []
    for paragraph in text.rstrip("\n").split("\n"):
        lines.extend(wrap(face, paragraph))
    return "\r\n".join(lines) + "\r\n"


def main():
    face = Face(FONT_FILE)
    check = "--check" in sys.argv[1:]
    stale = []
    for name, text in (("ReadMe_en.txt", EN), ("ReadMe_cn.txt", CN)):
        data = b"\xff\xfe" + lay_out(face, text).encode("utf-16-le")
        if check:
            if open(name, "rb").read() != data:
                stale.append(name)
        else:
            with open(name, "wb") as f:
                f.write(data)
    if stale:
        raise SystemExit("not as this script writes them: " + ", ".join(stale))


if __name__ == "__main__":
    main()
