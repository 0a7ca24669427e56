#!/usr/bin/env python3
"""Re-packs a .tar.gz or .zip so that it depends only on its files' names and
contents: members sorted by name, owner root (uid and gid 0), folders and
programs 0755, other files 0644, every date SOURCE_DATE_EPOCH (zip dates in
UTC), no name or time in the gzip header. Only files and folders are expected.
In a .deb, whose members are in the order dpkg needs and whose tar members are
sorted and fixed already, it fixes the ar headers' date, owner and mode.

    repack-archive.py PACKAGE.tar.gz|PACKAGE.zip|PACKAGE.deb   (SOURCE_DATE_EPOCH set)
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def unix_mode(is_dir, mode):
    return 0o755 if is_dir or mode & 0o111 else 0o644


def repack_tar(path, epoch, out):
    with tarfile.open(path, "r:gz") as old:
        members = []
        for m in old.getmembers():
            if not (m.isfile() or m.isdir()):
                sys.exit(f"{path}: {m.name} is neither a file nor a folder")
            members.append((m, old.extractfile(m).read() if m.isfile() else None))
    members.sort(key=lambda member: member[0].name)
    tar = io.BytesIO()
    with tarfile.open(fileobj=tar, mode="w", format=tarfile.GNU_FORMAT) as new:
        for m, data in members:
            m.mtime, m.uid, m.gid, m.uname, m.gname = epoch, 0, 0, "root", "root"
            m.mode = unix_mode(m.isdir(), m.mode)
            new.addfile(m, io.BytesIO(data) if data is not None else None)
    with gzip.GzipFile(filename="", mode="wb", fileobj=out, compresslevel=9, mtime=0) as gz:
        gz.write(tar.getvalue())


def repack_zip(path, epoch, out):
    # A zip date is a local date from 1980 on; ours is UTC.
    date = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(path) as old:
        members = sorted((info.filename, info, old.read(info)) for info in old.infolist())
    with zipfile.ZipFile(out, "w") as new:
        for name, old_info, data in members:
            info = zipfile.ZipInfo(name, date_time=date)
            info.create_system = 3  # Unix, so that the modes count
            is_dir = old_info.is_dir()
            mode = unix_mode(is_dir, old_info.external_attr >> 16)
            info.external_attr = ((0o040000 if is_dir else 0o100000) | mode) << 16 | (0x10 if is_dir else 0)
            info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
            new.writestr(info, data, compresslevel=9)


def repack_deb(path, epoch, out):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"!<arch>\n"):
        sys.exit(f"{path}: not an ar archive")
    out.write(data[:8])
    at = 8
    while at < len(data):
        header = data[at : at + 60]
        if len(header) != 60 or header[58:60] != b"`\n":
            sys.exit(f"{path}: a broken ar header at byte {at}")
        size = int(header[48:58])
        fields = b"%-12d%-6d%-6d%-8s" % (epoch, 0, 0, b"100644")
        out.write(header[:16] + fields + header[48:])
        out.write(data[at + 60 : at + 60 + size + size % 2])
        at += 60 + size + size % 2


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    path = sys.argv[1]
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        sys.exit(f"repack-archive.py: SOURCE_DATE_EPOCH is '{epoch}', not a number of seconds")
    repack = {".zip": repack_zip, ".deb": repack_deb}.get(os.path.splitext(path)[1], repack_tar)
    out = io.BytesIO()
    repack(path, int(epoch), out)
    with open(path + ".new", "wb") as f:
        f.write(out.getvalue())
    os.replace(path + ".new", path)


main()
