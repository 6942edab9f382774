"""Restores the list view's class name in a compiled resource file.

windres writes a dialog control's class name in capitals, as it does resource
names. Windows matches class names without regard to case, but the template
is meant to hold the name as it is written in the .rc file.
"""
import sys

res = sys.argv[1]
data = open(res, "rb").read()
written_as = "SysListView32\0".encode("utf-16-le")
capitals = written_as.upper()
if capitals not in data:
    sys.exit(f"{res}: no control of class {written_as.decode('utf-16-le')!r}")
open(res, "wb").write(data.replace(capitals, written_as))
