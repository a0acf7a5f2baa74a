#!/usr/bin/python3
"""Writes the small workbooks of the import tests (run with Debian's python3-openpyxl)."""
import datetime
import openpyxl

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "消费"
ws.append(["消费日期", "时间", "编号", "姓名", "部门", "金额", "类别", "备注"])
ws.append([datetime.date(2020, 3, 13), "9:05:07", "10\t01", "张\t三", "食\t堂", 12.5, "早\t餐", "H"])
ws.append([datetime.date(2020, 3, 14), "12:00:00", 1002, "李四", "后勤", 8, "午餐", "H"])
ws.append([datetime.date(2020, 3, 15), "18:30:00", "001003", "王五", None, 10, "晚餐"])
wb.save("import_month.xlsx")

wb = openpyxl.Workbook()
ws = wb.active
ws.append(["编号", "姓名", "部门", "卡类别", "E列"])
ws.append(["10\t01", "张\t三", "食堂", "A", "x"])
ws.append(["1002", "李四", "后勤", "B"])
wb.save("import_register.xlsx")
