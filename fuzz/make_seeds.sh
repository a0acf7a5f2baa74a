#!/usr/bin/env bash
# Seed inputs for the fuzz targets: the test fixtures, plus every xlsx fixture
# re-packed with stored (uncompressed) parts so mutations reach the XML.
set -euo pipefail
out=${1:?usage: make_seeds.sh DIR}
data=$(cd "$(dirname "$0")/../tests/data" && pwd)
mkdir -p "$out/xlsx" "$out/xls"
cp "$data"/*.xls "$out/xls/"
cp "$data"/*.xlsx "$out/xlsx/"
/usr/bin/python3 - "$data" "$out/xlsx" <<'PY'
import os, sys, zipfile
src, dst = sys.argv[1], sys.argv[2]
for name in os.listdir(src):
    if not name.endswith(".xlsx"):
        continue
    try:
        with zipfile.ZipFile(os.path.join(src, name)) as zin, \
             zipfile.ZipFile(os.path.join(dst, "stored_" + name), "w", zipfile.ZIP_STORED) as zout:
            for info in zin.infolist():
                zout.writestr(info.filename, zin.read(info.filename))
    except (zipfile.BadZipFile, OSError):
        pass
PY
