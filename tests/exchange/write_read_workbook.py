#!/usr/bin/env python3
"""Reads an exported workbook with a real reader and prints what it found as
JSON, so the export tests can check values and formatting.

usage: write_read_workbook.py xlsx|xls FILE
       write_read_workbook.py stream FILE NAME   (a compound file's stream: size and MD5)
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


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "stream":
        json.dump(read_stream(path, sys.argv[3]), sys.stdout)
        return
    data = read_xlsx(path) if kind == "xlsx" else read_xls(path)
    json.dump(data, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
