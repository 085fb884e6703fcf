#!/usr/bin/env python3
"""Builds a test update medium: Update.img and CHECKSUM.md5 in OUT, with zoUpdater_Update.img and
CHECKSUMUPDATE.md5 inside Update.img, and in the inner image update.sh and the new system's
update/fileSystem/etc/version.info.

update.sh prints "progressBar:step:<n>" for each value of --progress (pausing --pause seconds after each), appends its argument, its
working directory and the names in that directory to $BOARD_ROOT/var/log/update.sh.log, and exits
with --exit.

  make_update_image.py OUT --model M --version V [--exit N] [--progress 10,50,100] [--pause S] [--script-mode 644]
      [--raw-line LINE] [--corrupt] [--list-name NAME] [--inner-list-name NAME] [--outer-member NAME]
      [--outer-symlink NAME:TARGET] [--extra NAME] [--no-inner]
"""

import argparse
import gzip
import hashlib
import io
import os
import tarfile
import time

SCRIPT = """#!/bin/sh
{raw}
for p in {progress}; do
    echo "progressBar:step:$p"
    sleep {pause}
done
{{
    echo "argument=$1"
    echo "directory=$(pwd)"
    echo "files=$(ls -A | tr '\\n' ' ')"
}} >>"${{BOARD_ROOT:-/tmp}}/var/log/update.sh.log"
exit {exit_code}
"""

VERSION_INFO = """<?xml version="1.0" encoding="UTF-8"?>
<versionInfo>
  <modelType>{model}</modelType>
  <version>{version}</version>
  <buildDate>2026-01-01</buildDate>
</versionInfo>
"""


def add_file(tar, name, data, mode=0o644):
    info = tarfile.TarInfo(name)
    info.size = len(data)
    info.mode = mode
    info.mtime = int(time.time())
    tar.addfile(info, io.BytesIO(data))


def add_symlink(tar, name, target):
    info = tarfile.TarInfo(name)
    info.type = tarfile.SYMTYPE
    info.linkname = target
    tar.addfile(info)


def targz(build):
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.GNU_FORMAT) as tar:
        build(tar)
    return gzip.compress(raw.getvalue())


def md5_line(data, name):
    return "%s  %s\n" % (hashlib.md5(data).hexdigest(), name)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--model", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--exit", type=int, default=0)
    ap.add_argument("--progress", default="10,50,100")
    ap.add_argument("--pause", default="0")
    ap.add_argument("--script-mode", type=lambda m: int(m, 8), default=0o755)
    ap.add_argument("--raw-line", action="append", default=[])
    ap.add_argument("--corrupt", action="store_true")
    ap.add_argument("--list-name", default="Update.img")
    ap.add_argument("--inner-list-name", default="zoUpdater_Update.img")
    ap.add_argument("--outer-member", action="append", default=[])
    ap.add_argument("--outer-symlink", action="append", default=[])
    ap.add_argument("--extra", action="append", default=[])
    ap.add_argument("--no-inner", action="store_true")
    a = ap.parse_args()

    raw = "\n".join("echo '%s'" % line for line in a.raw_line)
    script = SCRIPT.format(raw=raw, pause=a.pause, progress=" ".join(a.progress.split(",")), exit_code=a.exit)
    version = VERSION_INFO.format(model=a.model, version=a.version)

    def inner_content(tar):
        add_file(tar, "update.sh", script.encode(), a.script_mode)
        add_file(tar, "update/fileSystem/etc/version.info", version.encode())

    inner = targz(inner_content)

    def outer_content(tar):
        if not a.no_inner:
            add_file(tar, "zoUpdater_Update.img", inner)
        add_file(tar, "CHECKSUMUPDATE.md5", md5_line(inner, a.inner_list_name).encode())
        for name in a.extra:
            add_file(tar, name, b"left over\n")
        for name in a.outer_member:
            add_file(tar, name, b"outside\n")
        for spec in a.outer_symlink:
            name, target = spec.split(":", 1)
            add_symlink(tar, name, target)

    outer = targz(outer_content)
    os.makedirs(a.out, exist_ok=True)
    with open(os.path.join(a.out, "CHECKSUM.md5"), "w") as f:
        f.write(md5_line(outer, a.list_name))
    if a.corrupt:
        outer = outer[:-9] + bytes([outer[-9] ^ 0xFF]) + outer[-8:]
    with open(os.path.join(a.out, "Update.img"), "wb") as f:
        f.write(outer)


if __name__ == "__main__":
    main()
