#!/usr/bin/env python3
"""Reads an exported workbook with a real reader and prints what it found as
JSON, so the export tests can check values and formatting.

usage: write_read_workbook.py xlsx|xls FILE
       write_read_workbook.py stream FILE NAME   (a compound file's stream: size and MD5)
       write_read_workbook.py xls-index FILE     (checks the sheet's INDEX and DBCELL records)
Exit status 3 when the reader module is missing."""
import json
import sys


def rgb_hex(value):
    return None if value is None else "%06X" % value


def read_xlsx(path):
    try:
        import openpyxl
    except ImportError:
        sys.exit(3)
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    out = {"rows": [], "cells": [], "columnWidths": [], "rowHeights": []}
    default_height = sheet.sheet_format.defaultRowHeight
    for r, row in enumerate(sheet.iter_rows(), start=1):
        out["rows"].append([c.value if c.value is not None else "" for c in row])
        out["rowHeights"].append(sheet.row_dimensions[r].height or default_height)
        cells = []
        for c in row:
            def colour(x):
                return None if x is None or x.rgb is None else str(x.rgb)[-6:]
            fill = colour(c.fill.fgColor) if c.fill.fill_type == "solid" else None
            sides = [c.border.left, c.border.right, c.border.top, c.border.bottom]
            cells.append({
                "type": "text" if c.data_type == "s" or c.value is None else c.data_type,
                "font": [c.font.name, float(c.font.sz), colour(c.font.color)],
                "fill": fill,
                "align": [c.alignment.horizontal, c.alignment.vertical],
                "borders": [s.style for s in sides],
                "borderColours": [colour(s.color) for s in sides],
            })
        out["cells"].append(cells)
    widths = {}
    for dim in sheet.column_dimensions.values():
        if dim.customWidth and dim.min is not None:
            for c in range(dim.min, dim.max + 1):
                widths[c] = dim.width
    out["columnWidths"] = [widths.get(c) for c in range(1, sheet.max_column + 1)]
    return out


def read_xls(path):
    try:
        import xlrd
    except ImportError:
        sys.exit(3)
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    out = {"rows": [], "cells": [], "columnWidths": [], "rowHeights": []}
    align_h = {0: "general", 1: "left", 2: "center", 3: "right"}
    align_v = {0: "top", 1: "center", 2: "bottom"}
    line = {0: None, 1: "thin", 2: "medium"}

    def colour(index):
        rgb = book.colour_map.get(index)
        return None if rgb is None else "%02X%02X%02X" % rgb

    for r in range(sheet.nrows):
        out["rows"].append([str(v) for v in sheet.row_values(r)])
        info = sheet.rowinfo_map.get(r)
        out["rowHeights"].append(info.height / 20.0 if info else None)
        cells = []
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            xf = book.xf_list[cell.xf_index]
            font = book.font_list[xf.font_index]
            b = xf.border
            fill = colour(xf.background.pattern_colour_index) if xf.background.fill_pattern == 1 else None
            cells.append({
                "type": "text" if cell.ctype in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)
                        else str(cell.ctype),
                "font": [font.name, font.height / 20.0, colour(font.colour_index)],
                "fill": fill,
                "align": [align_h.get(xf.alignment.hor_align), align_v.get(xf.alignment.vert_align)],
                "borders": [line.get(b.left_line_style), line.get(b.right_line_style),
                            line.get(b.top_line_style), line.get(b.bottom_line_style)],
                "borderColours": [colour(b.left_colour_index), colour(b.right_colour_index),
                                  colour(b.top_colour_index), colour(b.bottom_colour_index)],
            })
        out["cells"].append(cells)
    for c in range(sheet.ncols):
        info = sheet.colinfo_map.get(c)
        out["columnWidths"].append(info.width / 256.0 if info else None)
    return out


def read_stream(path, name):
    try:
        import hashlib
        from xlrd import compdoc
    except ImportError:
        sys.exit(3)
    with open(path, "rb") as f:
        doc = compdoc.CompDoc(f.read(), logfile=sys.stderr)
    data = doc.get_named_stream(name)
    return {"size": len(data), "md5": hashlib.md5(data).hexdigest()}


def check_xls_index(path):
    """Follows the worksheet's INDEX to every DBCELL and each DBCELL to its
    rows' first cells; returns the blocks seen and the problems found."""
    import struct
    try:
        from xlrd import compdoc
    except ImportError:
        sys.exit(3)
    with open(path, "rb") as f:
        data = compdoc.CompDoc(f.read(), logfile=sys.stderr).get_named_stream("Workbook")
    records = {}
    pos = 0
    while pos + 4 <= len(data):
        rtype, size = struct.unpack_from("<HH", data, pos)
        records[pos] = (rtype, data[pos + 4:pos + 4 + size])
        pos += 4 + size
        if rtype == 0x000A and pos > 0 and any(t == 0x0809 and struct.unpack_from("<H", b, 2)[0] == 0x10
                                               for t, b in records.values()):
            break
    problems = []
    index = [(p, b) for p, (t, b) in records.items() if t == 0x020B]
    if len(index) != 1:
        return {"blocks": 0, "problems": ["INDEX records: %d" % len(index)]}
    body = index[0][1]
    rw_mic, rw_mac, ib_xf = struct.unpack_from("<III", body, 4)
    if records.get(ib_xf, (None,))[0] != 0x0055:
        problems.append("ibXF does not point at DEFCOLWIDTH")
    dbcells = struct.unpack_from("<%dI" % ((len(body) - 16) // 4), body, 16)
    rows_seen = 0
    for at in dbcells:
        rtype, db = records.get(at, (None, b""))
        if rtype != 0x00D7:
            problems.append("INDEX entry %d is not a DBCELL" % at)
            continue
        first_row = at - struct.unpack_from("<I", db, 0)[0]
        if records.get(first_row, (None,))[0] != 0x0208:
            problems.append("DBCELL at %d: dbRtrw does not point at a ROW" % at)
            continue
        offsets = struct.unpack_from("<%dH" % ((len(db) - 4) // 2), db, 4)
        cell = first_row + 20
        for i, off in enumerate(offsets):
            cell += off
            rtype, cb = records.get(cell, (None, b""))
            if rtype not in (0x00FD, 0x0201):
                problems.append("DBCELL at %d, row %d: offset misses the first cell" % (at, i))
                break
            row_of_cell = struct.unpack_from("<H", cb, 0)[0]
            row_record = records[first_row + 20 * i][1]
            if row_of_cell != struct.unpack_from("<H", row_record, 0)[0]:
                problems.append("DBCELL at %d, row %d: cell of another row" % (at, i))
            rows_seen += 1
    if rows_seen != rw_mac - rw_mic:
        problems.append("rows reached %d, INDEX says %d" % (rows_seen, rw_mac - rw_mic))
    return {"blocks": len(dbcells), "problems": problems}


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "xls-index":
        json.dump(check_xls_index(path), sys.stdout)
        return
    if kind == "stream":
        json.dump(read_stream(path, sys.argv[3]), sys.stdout)
        return
    data = read_xlsx(path) if kind == "xlsx" else read_xls(path)
    json.dump(data, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
