#!/usr/bin/env bash
# Re-creates the small archives beside this script, each from a different zip writer,
# so the tests read real-world layouts and not only the ones they build themselves.
# Needs Info-ZIP's zip and python3. The archives are committed; run this only to change them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/tree/Pkg/Info" "$work/tree/source"
printf '[DSP upload]\r\nVersion=1.2\r\nCategory=Grids\r\n' > "$work/tree/Pkg/Info/MyPkg.INF"
printf 'Read me first.\r\n%.0s' {1..40} > "$work/tree/Pkg/Readme.txt"
printf 'unit Unit1;\r\ninterface\r\nimplementation\r\nend.\r\n' > "$work/tree/source/Unit1.pas"
find "$work/tree" -exec touch -d '2001-02-03 04:05:06' {} +

# Info-ZIP, deflated, with its extra fields (time stamps, Unix ids).
(cd "$work/tree" && zip -q -r "$work/infozip_deflated.zip" Pkg source)
# Info-ZIP, stored (no compression), without extra fields.
(cd "$work/tree" && zip -q -0 -X -r "$work/infozip_stored.zip" Pkg source)

python3 - "$work" <<'PY'
import sys, zipfile
work = sys.argv[1]
when = (2001, 2, 3, 4, 5, 6)

# Written to a pipe, zipfile cannot seek back and puts a data descriptor after each member.
class Pipe:
    def __init__(self, f): self.f = f; self.n = 0
    def write(self, b): self.n += len(b); return self.f.write(b)
    def tell(self): raise OSError("not seekable")
    def seek(self, *a): raise OSError("not seekable")
    def flush(self): self.f.flush()
with open(f"{work}/python_descriptor.zip", "wb") as raw:
    with zipfile.ZipFile(Pipe(raw), "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in (("pkg.upl", "[DSP upload]\r\nVersion=3.1\r\n"), ("docs/notes.txt", "notes " * 50)):
            zi = zipfile.ZipInfo(name, when); zi.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(zi, text)

# A DOS host with a code page 437 name: "Übersicht.inf" is stored as byte 0x9A + "bersicht.inf".
with zipfile.ZipFile(f"{work}/python_cp437.zip", "w", zipfile.ZIP_STORED) as z:
    zi = zipfile.ZipInfo("Xbersicht.inf", when); zi.create_system = 0
    z.writestr(zi, "[DSP upload]\r\nVersion=2\r\n")
data = open(f"{work}/python_cp437.zip", "rb").read()
assert data.count(b"Xbersicht.inf") == 2
open(f"{work}/python_cp437.zip", "wb").write(data.replace(b"Xbersicht.inf", b"\x9abersicht.inf"))

# A UTF-8 name, which zipfile marks with flag bit 11.
with zipfile.ZipFile(f"{work}/python_utf8.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr(zipfile.ZipInfo("Café/Menü.inf", when), "[DSP upload]\r\n")
PY

cp "$work"/*.zip "$here/"
