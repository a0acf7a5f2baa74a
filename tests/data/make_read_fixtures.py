#!/usr/bin/python3
"""Writes the small workbooks the reader tests use (read_*.xlsx, read_*.xls, ...).

Run with Debian's python3 (python3-openpyxl) from this folder; the .xls files
are converted by LibreOffice (soffice) from xlsx written here, and a few .xls
files are assembled byte by byte (compound file + BIFF8 records) to reach
records LibreOffice never writes.
    /usr/bin/python3 make_read_fixtures.py
"""
import datetime
import os
import shutil
import struct
import subprocess
import tempfile
import zipfile

import openpyxl
from openpyxl.cell.cell import Cell

HERE = os.path.dirname(os.path.abspath(__file__))


def out(name):
    return os.path.join(HERE, name)


# ---------------------------------------------------------------------------
# openpyxl: every kind of cell value, dates by number format, tabs, data past G

def make_kinds(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Kinds"
    ws.append(["text", "number", "date", "time", "bool", "error", "tab"])
    ws.append(["abc", 12.5, datetime.datetime(2024, 5, 2), datetime.time(11, 0, 0), True, None, "a\tb"])
    ws["F2"] = "#N/A"
    ws["F2"].data_type = "e"
    ws.append(["000123", 123, datetime.datetime(2009, 5, 7, 11, 1, 2), datetime.time(0, 0, 0), False, None, "\tx\t"])
    ws["B3"].number_format = "00000"  # leading zeros are display only
    ws.append([" spaced ", 123456789012345678, 45413.999999999, 0.5, None, None, None])
    ws["C4"].number_format = 'yyyy"年"m"月"d"日"'
    ws["D4"].number_format = "[h]:mm:ss"
    ws.append(["多行\n文本", -0.0, 0.1 + 0.2, 1e-05, None, None, None, None, None, "past G"])
    ws["C5"].number_format = "[Red]0.00"
    ws.append([None, 69.99, 45000, 45000, 1.5, None, None])
    ws["C6"].number_format = "0.00E+00"
    ws["D6"].number_format = '"Date: "0'
    ws["E6"].number_format = "mm:ss"
    ws.append([None] * 9 + ["only past G"])  # row 7: a value, but none in A..G
    wb.save(path)


def make_blank_top(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["B3"] = "first"
    ws["C5"] = 5
    ws["A4"].number_format = "0.00"  # formatted, no value
    ws["A9"].number_format = "0.00"
    wb.save(path)


def make_empty(path):
    wb = openpyxl.Workbook()
    wb.active["C7"].number_format = "0.00"  # a styled cell without a value
    wb.save(path)


def make_header_only(path):
    wb = openpyxl.Workbook()
    wb.active.append(["日期", "时间", "编号", "姓名", "部门", "金额", "类别"])
    wb.save(path)


def make_1904(path):
    wb = openpyxl.Workbook()
    wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    ws = wb.active
    ws["A1"] = datetime.datetime(2024, 5, 2, 8, 30, 0)
    ws["A2"] = 0
    ws["A2"].number_format = "yyyy/m/d"
    wb.save(path)


# ---------------------------------------------------------------------------
# Hand-written packages: the XML forms other writers produce

CT = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
      'content-types"><Default Extension="xml" ContentType="application/xml"/></Types>')
NS = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
RNS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
RT = RNS


def rels(items):
    body = "".join('<Relationship Id="%s" Type="%s/%s" Target="%s"/>' % i for i in items)
    return ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/'
            'package/2006/relationships">%s</Relationships>' % body)


def write_zip(path, parts, stored=False):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED) as z:
        for name, text in parts:
            z.writestr(name, text)


def make_handmade(path):
    """Inline, rich and phonetic text, escapes, formula results, no r=, x: prefixes,
    a chart sheet listed first, a worksheet part not named sheet1.xml, absolute targets."""
    workbook = ('<x:workbook xmlns:x="%s" xmlns:r="%s"><x:workbookPr/><x:sheets>'
                '<x:sheet name="Chart" sheetId="1" r:id="rId9"/>'
                '<x:sheet name="Data" sheetId="7" r:id="rId2"/>'
                '<x:sheet name="Other" sheetId="2" r:id="rId1"/></x:sheets></x:workbook>' % (NS, RNS))
    wbrels = rels([("rId1", RT, "worksheet", "worksheets/sheet1.xml"),
                   ("rId2", RT, "worksheet", "/XL/Worksheets/Daten.XML"),
                   ("rId9", RT, "chartsheet", "chartsheets/sheet1.xml"),
                   ("rId3", RT, "sharedStrings", "sharedStrings.xml"),
                   ("rId4", RT, "styles", "styles.xml")])
    sst = ('<sst xmlns="%s"><si><t>shared</t></si>'
           '<si><r><t>rich </t></r><r><rPr><b/></rPr><t xml:space="preserve">text </t></r></si>'
           '<si><t>漢字</t><rPh sb="0" eb="2"><t>カンジ</t></rPh></si>'
           '<si><t>line_x000D_break_x005F_x</t></si><si><t></t></si></sst>' % NS)
    styles = ('<styleSheet xmlns="%s"><numFmts><numFmt numFmtId="164" formatCode="yyyy-mm-dd hh:mm"/>'
              '</numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/>'
              '<xf numFmtId="31"/></cellXfs></styleSheet>' % NS)
    sheet = ('<x:worksheet xmlns:x="%s"><x:dimension ref="A1:B2"/><x:sheetData>'
             '<x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c t="s"><x:v>1</x:v></x:c>'
             '<x:c t="s"><x:v>2</x:v></x:c><x:c t="s"><x:v>3</x:v></x:c><x:c t="s"><x:v>4</x:v></x:c></x:row>'
             '<x:row><x:c t="inlineStr"><x:is><x:t xml:space="preserve"> in line </x:t></x:is></x:c>'
             '<x:c t="inlineStr"><x:is><x:r><x:t>a</x:t></x:r><x:r><x:t>b</x:t></x:r></x:is></x:c>'
             '<x:c t="str"><x:f>A1&amp;"!"</x:f><x:v>shared!</x:v></x:c>'
             '<x:c><x:f>1+1</x:f></x:c>'
             '<x:c t="e"><x:f>1/0</x:f><x:v>#DIV/0!</x:v></x:c>'
             '<x:c t="b"><x:v>1</x:v></x:c><x:c t="b"><x:v>0</x:v></x:c></x:row>'
             '<x:row r="4"><x:c r="A4" s="1"><x:v>45413.5</x:v></x:c><x:c r="C4" s="2"><x:v>60</x:v></x:c>'
             '<x:c s="3"><x:v>45413</x:v></x:c><x:c t="d"><x:v>2021-01-01T10:10:10</x:v></x:c>'
             '<x:c s="2"><x:v>59</x:v></x:c><x:c s="2"><x:v>-1</x:v></x:c></x:row>'
             '<x:row r="6"><x:c r="H6"><x:v></x:v></x:c><x:c r="Z6" t="s"><x:v>4</x:v></x:c></x:row>'
             '</x:sheetData></x:worksheet>' % NS)
    other = ('<worksheet xmlns="%s"><sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>'
             '</worksheet>' % NS)
    write_zip(path, [("[Content_Types].xml", CT),
                     ("_rels/.rels", rels([("rId1", RT, "officeDocument", "xl/workbook.xml")])),
                     ("xl/workbook.xml", workbook), ("xl/_rels/workbook.xml.rels", wbrels),
                     ("xl/sharedStrings.xml", sst), ("xl/styles.xml", styles),
                     ("xl/worksheets/daten.xml", sheet), ("xl/worksheets/sheet1.xml", other)])


def make_minimal(path, sheet_xml, workbook_pr="", stored=False):
    """A package with no sharedStrings.xml and no styles.xml."""
    workbook = ('<workbook xmlns="%s" xmlns:r="%s">%s<sheets><sheet name="S" sheetId="1" r:id="rId1"/>'
                '</sheets></workbook>' % (NS, RNS, workbook_pr))
    write_zip(path, [("[Content_Types].xml", CT),
                     ("_rels/.rels", rels([("rId1", RT, "officeDocument", "xl/workbook.xml")])),
                     ("xl/workbook.xml", workbook),
                     ("xl/_rels/workbook.xml.rels", rels([("rId1", RT, "worksheet", "worksheets/sheet1.xml")])),
                     ("xl/worksheets/sheet1.xml", sheet_xml)], stored)


def sheet(rows_xml):
    return '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (NS, rows_xml)


# ---------------------------------------------------------------------------
# Compound files written by hand (no mini stream: streams padded to 4096 bytes)

def cfb(streams):
    """streams: list of (name, bytes). Returns a version 3 compound file."""
    sec = 512
    data_secs = []
    chains = []
    for name, body in streams:
        body = body + b"\0" * (max(4096, len(body)) - len(body))
        n = (len(body) + sec - 1) // sec
        body = body + b"\0" * (n * sec - len(body))
        start = len(data_secs)
        data_secs += [body[i * sec:(i + 1) * sec] for i in range(n)]
        chains.append((start, n))
    dir_start = len(data_secs)
    n_dir = (len(streams) + 1 + 3) // 4
    fat_start = dir_start + n_dir
    total = fat_start + 1
    n_fat = (total + 127) // 128
    total = fat_start + n_fat
    fat = [0xFFFFFFFF] * (n_fat * 128)
    for start, n in chains:
        for i in range(n):
            fat[start + i] = start + i + 1 if i + 1 < n else 0xFFFFFFFE
    for i in range(n_dir):
        fat[dir_start + i] = dir_start + i + 1 if i + 1 < n_dir else 0xFFFFFFFE
    for i in range(n_fat):
        fat[fat_start + i] = 0xFFFFFFFD

    def entry(name, typ, start, size, child=0xFFFFFFFF, right=0xFFFFFFFF):
        u = name.encode("utf-16-le") + b"\0\0"
        return (u + b"\0" * (64 - len(u)) + struct.pack("<HBB", len(u), typ, 1) +
                struct.pack("<III", 0xFFFFFFFF, right, child) + b"\0" * 16 + b"\0" * 4 + b"\0" * 16 +
                struct.pack("<IIIxxxx", start, size & 0xFFFFFFFF, 0)[:12] + b"\0" * 0)[:128].ljust(128, b"\0")

    ents = [entry("Root Entry", 5, 0xFFFFFFFE, 0, child=1)]
    for i, ((name, body), (start, n)) in enumerate(zip(streams, chains)):
        ents.append(entry(name, 2, start, max(4096, len(body)),
                          right=(i + 2) if i + 1 < len(streams) else 0xFFFFFFFF))
    dir_bytes = b"".join(ents).ljust(n_dir * sec, b"\0")
    difat = list(range(fat_start, fat_start + n_fat)) + [0xFFFFFFFF] * (109 - n_fat)
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) +
              b"\0" * 6 + struct.pack("<IIIIIIIII", 0, n_fat, dir_start, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0) +
              struct.pack("<109I", *difat))
    fat_bytes = struct.pack("<%dI" % len(fat), *fat)
    return header + b"".join(data_secs) + dir_bytes + fat_bytes


def rec(typ, body):
    return struct.pack("<HH", typ, len(body)) + body


def xlstr16(s):  # BIFF8 unicode string, 16-bit characters, 2-byte count
    return struct.pack("<HB", len(s), 1) + s.encode("utf-16-le")


def biff8_book(sheet_records, globals_extra=b"", sst=None):
    bof_globals = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0005, 0, 0, 0, 0))
    xfs = b"".join(rec(0x00E0, struct.pack("<HHH", 0, fmt, 0) + b"\0" * 14) for fmt in (0, 14, 164, 22))
    fmt = rec(0x041E, struct.pack("<H", 164) + xlstr16('yyyy"年"m"月"'))
    sst_bytes = sst or b""
    bs_len = 4 + 8 + len("Sheet1")
    head = bof_globals + globals_extra + fmt + xfs
    bound_pos = len(head)
    eof = rec(0x000A, b"")
    sheet_off = bound_pos + bs_len + len(sst_bytes) + len(eof)
    bound = rec(0x0085, struct.pack("<IBBBB", sheet_off, 0, 0, 6, 0) + b"Sheet1")
    sheet_stream = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0010, 0, 0, 0, 0)) + sheet_records + eof
    return head + bound + sst_bytes + eof + sheet_stream


def make_biff_records(path):
    """SST across CONTINUE (switching 8/16-bit mid-string), LABELSST, RK forms, MULRK,
    NUMBER with date formats, BOOLERR, FORMULA with STRING, bool and error results."""
    s1 = "short"
    s2 = "x" * 20 + "中文"  # split after 10 characters: 8-bit part, then a 16-bit part
    part1 = struct.pack("<II", 3, 3) + struct.pack("<HB", len(s1), 0) + s1.encode()
    part1 += struct.pack("<HB", len(s2), 0) + b"x" * 10
    part2 = struct.pack("<B", 1) + ("x" * 10 + "中文").encode("utf-16-le")
    part2 += struct.pack("<HB", 0, 0)  # an empty string
    sst = rec(0x00FC, part1) + rec(0x003C, part2)
    r = b""
    r += rec(0x00FD, struct.pack("<HHHI", 0, 0, 0, 0))
    r += rec(0x00FD, struct.pack("<HHHI", 0, 1, 0, 1))
    r += rec(0x00FD, struct.pack("<HHHI", 0, 2, 0, 2))  # empty string: no value
    r += rec(0x027E, struct.pack("<HHHI", 1, 0, 0, (1234 << 2) | 2))          # integer RK
    r += rec(0x027E, struct.pack("<HHHI", 1, 1, 0, (1250 << 2) | 3))          # integer x100 -> 12.5
    hi = struct.unpack("<Q", struct.pack("<d", 3.5))[0] >> 32
    r += rec(0x027E, struct.pack("<HHHI", 1, 2, 0, hi & 0xFFFFFFFC))           # float RK
    r += rec(0x00BD, struct.pack("<HH", 2, 0) + struct.pack("<HI", 1, (45413 << 2) | 2) +
             struct.pack("<HI", 0, (-7 << 2 | 2) & 0xFFFFFFFF) + struct.pack("<H", 1))  # MULRK A3:B3
    r += rec(0x0203, struct.pack("<HHHd", 2, 2, 3, 45413.5))                   # date-time format 22
    r += rec(0x0203, struct.pack("<HHHd", 2, 3, 2, 45413.25))                  # custom date format 164
    r += rec(0x0203, struct.pack("<HHHd", 2, 4, 0, 0.1 + 0.2))
    r += rec(0x0205, struct.pack("<HHHBB", 3, 0, 0, 1, 0))                     # TRUE
    r += rec(0x0205, struct.pack("<HHHBB", 3, 1, 0, 0x2A, 1))                  # #N/A
    r += rec(0x0006, struct.pack("<HHH", 3, 2, 0) + struct.pack("<BBBBBBH", 0, 0, 0, 0, 0, 0, 0xFFFF) +
             struct.pack("<HI", 0, 0) + b"\x03\x00\x1e\x01\x00")                 # string result
    r += rec(0x0207, xlstr16("公式"))
    r += rec(0x0006, struct.pack("<HHH", 3, 3, 0) + struct.pack("<BBBBBBH", 1, 0, 0, 0, 0, 0, 0xFFFF) +
             struct.pack("<HI", 0, 0) + b"\x00\x00")                             # boolean FALSE result
    r += rec(0x0006, struct.pack("<HHH", 3, 4, 0) + struct.pack("<d", 99.5) + struct.pack("<HI", 0, 0) +
             b"\x00\x00")                                                        # number result
    r += rec(0x0201, struct.pack("<HHH", 5, 0, 0))                             # BLANK at A6: no value
    r += rec(0x0203, struct.pack("<HHHd", 4, 9, 0, 1.0))                        # J5: past G
    with open(path, "wb") as f:
        f.write(cfb([("Workbook", biff8_book(r, sst=sst))]))


def make_xls_encrypted(path):
    filepass = rec(0x002F, struct.pack("<HHH", 1, 1, 1) + b"\0" * 48)
    with open(path, "wb") as f:
        f.write(cfb([("Workbook", biff8_book(b"", globals_extra=filepass))]))


def make_xlsx_encrypted(path):
    with open(path, "wb") as f:
        f.write(cfb([("EncryptionInfo", b"\x04\x00\x04\x00\x40\x00\x00\x00"),
                     ("EncryptedPackage", b"\x10\x00\x00\x00\x00\x00\x00\x00" + os.urandom(16))]))


def make_biff5(path):
    """BIFF5 in a "Book" stream, 8-bit text in code page 1251 (LibreOffice no longer writes BIFF5)."""
    bof = lambda kind: rec(0x0809, struct.pack("<HHHH", 0x0500, kind, 0, 0))
    cp = rec(0x0042, struct.pack("<H", 1251))
    fmt_text = 'ДД.ММ.ГГГГ'.encode("cp1251")
    fmt = rec(0x041E, struct.pack("<HB", 164, len(fmt_text)) + fmt_text)
    xfs = b"".join(rec(0x00E0, struct.pack("<HHH", 0, f, 0) + b"\0" * 10) for f in (0, 164, 14))
    name = "Лист1".encode("cp1251")
    eof = rec(0x000A, b"")
    head = bof(0x0005) + cp + fmt + xfs
    bs_len = 4 + 6 + 1 + len(name)
    bound = rec(0x0085, struct.pack("<IBBB", len(head) + bs_len + len(eof), 0, 0, len(name)) + name)
    label = lambda r, c, t: rec(0x0204, struct.pack("<HHHH", r, c, 0, len(t.encode("cp1251"))) + t.encode("cp1251"))
    sheet = bof(0x0010)
    sheet += label(0, 0, "Привет") + label(0, 1, "мир")
    sheet += rec(0x0203, struct.pack("<HHHd", 1, 0, 0, 12.5))
    sheet += rec(0x0203, struct.pack("<HHHd", 1, 1, 2, 45413.0))
    sheet += rec(0x0006, struct.pack("<HHH", 1, 2, 0) + struct.pack("<BBBBBBH", 0, 0, 0, 0, 0, 0, 0xFFFF) +
                 struct.pack("<HI", 0, 0) + b"\x00\x00")
    t = "ответ".encode("cp1251")
    sheet += rec(0x0207, struct.pack("<H", len(t)) + t)
    sheet += eof
    with open(path, "wb") as f:
        f.write(cfb([("Book", head + bound + eof + sheet)]))


def soffice_convert(src, filt, dest):
    tmp = tempfile.mkdtemp()
    subprocess.run(["soffice", "--headless", "-env:UserInstallation=file://" + tmp + "/profile",
                    "--convert-to", "xls:" + filt, "--outdir", tmp, src],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.move(os.path.join(tmp, os.path.splitext(os.path.basename(src))[0] + ".xls"), dest)
    shutil.rmtree(tmp, ignore_errors=True)


def main():
    make_kinds(out("read_kinds.xlsx"))
    make_blank_top(out("read_blank_top.xlsx"))
    make_empty(out("read_empty.xlsx"))
    make_header_only(out("read_header_only.xlsx"))
    make_1904(out("read_1904.xlsx"))
    make_handmade(out("read_handmade.xlsx"))
    make_minimal(out("read_no_r.xlsx"), sheet(
        '<row><c><v>1</v></c><c t="inlineStr"><is><t>b</t></is></c></row><row/><row>'
        '<c/><c><v>2</v></c></row><row r="5"><c r="D5"><v>4</v></c><c><v>5</v></c></row>'))
    make_minimal(out("read_backwards.xlsx"), sheet('<row r="3"><c><v>1</v></c></row><row r="2"><c><v>1</v></c></row>'))
    make_minimal(out("read_bad_sst_index.xlsx"), sheet('<row r="1"><c t="s"><v>0</v></c></row>'))
    make_minimal(out("read_malformed.xlsx"), sheet('<row r="1"><c><v>1</v></row>'))
    make_minimal(out("read_deep.xlsx"), sheet('<row r="1"><c><v>1</v></c></row>' + "<x>" * 300 + "</x>" * 300))
    make_minimal(out("read_doctype.xlsx"), '<!DOCTYPE w [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]>' +
                 sheet('<row r="1"><c t="inlineStr"><is><t>&b;</t></is></c></row>'))
    make_minimal(out("read_stored.xlsx"), sheet('<row r="2"><c r="B2"><v>7</v></c></row>'), stored=True)
    with open(out("read_kinds.xlsx"), "rb") as f:
        data = f.read()
    with open(out("read_truncated.xlsx"), "wb") as f:
        f.write(data[: len(data) // 2])
    with open(out("read_text.xls"), "w") as f:
        f.write("name\tnumber\nthis is not a workbook\n")
    with open(out("read_random.xlsx"), "wb") as f:
        f.write(bytes((i * 7919 + 13) % 251 for i in range(700)))
    make_biff_records(out("read_records.xls"))
    make_xls_encrypted(out("read_encrypted.xls"))
    make_xlsx_encrypted(out("read_encrypted.xlsx"))
    soffice_convert(out("read_kinds.xlsx"), "MS Excel 97", out("read_kinds.xls"))
    make_biff5(out("read_biff5.xls"))
    soffice_convert(out("read_blank_top.xlsx"), "MS Excel 97", out("read_blank_top.xls"))
    soffice_convert(out("read_1904.xlsx"), "MS Excel 97", out("read_1904.xls"))


if __name__ == "__main__":
    main()
