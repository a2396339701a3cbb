#!/usr/bin/env bash
# Writes the zip64 seeds of fuzz_zip_directory's corpus, each from another writer.
# Needs Info-ZIP's zip and python3. The seeds are committed; run this only to change them.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/zip_directory"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/Pkg"
printf '[DSP upload]\r\nCategory=Grids\r\n' > "$work/tree/Pkg/pkg.inf"
printf 'unit Unit1;\r\nend.\r\n' > "$work/tree/Unit1.pas"

# Info-ZIP with zip64 forced: both end records and an extra field per member.
(cd "$work/tree" && zip -q -X -fz "$work/infozip_fz.zip" Pkg/pkg.inf Unit1.pas)
# Info-ZIP reading its member from a pipe.
printf 'piped\n' | (cd "$work/tree" && zip -q -X - -) > "$work/infozip_stdin.zip"
# A program in front of a zip64 archive, its offsets not adjusted.
{ printf 'MZ self-extractor stub\n'; cat "$work/infozip_fz.zip"; } > "$work/stub_zip64.zip"

python3 - "$work" <<'PY'
import sys, zipfile
work = sys.argv[1]
when = (2001, 2, 3, 4, 5, 6)
# With the limits lowered, zipfile writes the zip64 form of everything: markers in the
# headers, sizes and offsets in extra fields, both end records.
zipfile.ZIP64_LIMIT = 1
zipfile.ZIP_FILECOUNT_LIMIT = 1
with zipfile.ZipFile(f"{work}/python_zip64_all.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr(zipfile.ZipInfo("Pkg/pkg.inf", when), "[DSP upload]\r\nCategory=Grids\r\n")
    z.writestr(zipfile.ZipInfo("Unit1.pas", when), "unit Unit1;\r\nend.\r\n")
PY
cp "$work"/*.zip "$out/"
