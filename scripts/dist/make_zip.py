#!/usr/bin/env python3
"""Packs files into a zip that is the same, byte for byte, on every build.

    make_zip.py OUTPUT.zip FOLDER_IN_ZIP [--text] FILE... [--binary FILE...]

Every entry goes under FOLDER_IN_ZIP/ with its base name, or with the name
NAME given as FILE=NAME (which may hold folders: locale/ja/x.mo), in the
order given, each folder before the first file in it, with the time SOURCE_DATE_EPOCH (UTC) and fixed permissions.  Files
after --text are UTF-8 text for Windows: line ends become CRLF, and a file
with anything beyond ASCII starts with a byte-order mark, so that old
Notepad reads it as UTF-8 rather than in the ANSI code page.  Files after
--binary are stored as they are.
"""
import os
import sys
import time
import zipfile


def windows_text(data, name):
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        raise SystemExit("make_zip.py: %s is not UTF-8 text" % name)
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    if any(byte >= 0x80 for byte in data):
        data = b"\xef\xbb\xbf" + data
    return data


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    output, folder = argv[1], argv[2].strip("/")
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        sys.stderr.write("make_zip.py: SOURCE_DATE_EPOCH is not set\n")
        return 2
    # Zip times are local times with two-second steps, from 1980 on.
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]
    stamp = stamp[:5] + (stamp[5] - stamp[5] % 2,)

    entries = []
    mode = "--text"
    for arg in argv[3:]:
        if arg in ("--text", "--binary"):
            mode = arg
            continue
        path, _, name = arg.partition("=")
        entries.append((path, name or os.path.basename(path), mode == "--text"))
    names = [name for _, name, _ in entries]
    if len(set(names)) != len(names):
        sys.stderr.write("make_zip.py: two files with the same name\n")
        return 2

    temporary = output + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        folders = set()

        def add_folder(name):
            if name in folders:
                return
            if "/" in name:
                add_folder(name.rsplit("/", 1)[0])
            folders.add(name)
            directory = zipfile.ZipInfo(name + "/", stamp)
            directory.create_system = 3
            directory.external_attr = (0o40755 << 16) | 0x10
            archive.writestr(directory, b"")

        add_folder(folder)
        for path, name, is_text in entries:
            with open(path, "rb") as f:
                data = f.read()
            if is_text:
                data = windows_text(data, path)
            if "/" in name:
                add_folder(folder + "/" + name.rsplit("/", 1)[0])
            info = zipfile.ZipInfo(folder + "/" + name, stamp)
            info.create_system = 3
            executable = path.lower().endswith(".exe")
            info.external_attr = (0o100755 if executable else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
