#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for a statically linked Windows program.

    notices.py LINK_MAP BUILD_DIR VERSION ARCH_LABEL OUTPUT

The linker's map (-Wl,-Map, written by the QUILLVANE_DIST build) names every
archive member and object that went into the program.  Each one is matched
to the component it comes from; the notice file then holds the licence
texts (packaging/notices/*.txt) of exactly the components present.  A
library that is linked but known to no component stops the build: its
licence has to be looked at before the program can be shipped.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NOTICES = os.path.join(ROOT, "packaging", "notices")

# The Windows system DLLs' import libraries are generated from mingw-w64's
# .def files and linked as small stubs: they are part of the runtime.
IMPORT_LIBRARIES = {
    "libkernel32.a", "libuser32.a", "libgdi32.a", "libcomdlg32.a", "libwinspool.a",
    "libadvapi32.a", "libshell32.a", "libole32.a", "liboleaut32.a", "libuuid.a", "libcomctl32.a",
}

# (name, what it does in the program, notice file or None, archives/objects).
# A component whose notice is None needs none in a binary distribution.
COMPONENTS = [
    ("libjpeg-turbo", "JPEG reading and writing", "libjpeg-turbo.txt", {"libjpeg.a"}),
    ("mingw-w64 runtime", "start-up code, C library support, Windows import stubs",
     "mingw-w64-runtime.txt",
     {"crt2.o", "dllcrt2.o", "libmingw32.a", "libmingwex.a", "libmoldname.a", "libmsvcrt.a", "libm.a"}
     | IMPORT_LIBRARIES),
    ("winpthreads", "threads for the picture operations (part of mingw-w64)",
     "winpthreads.txt", {"libpthread.a", "libwinpthread.a"}),
    ("GCC runtime libraries (libstdc++, libgcc)", "C++ library and compiler support",
     None, {"libstdc++.a", "libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"}),
]
GCC_EXCEPTION = ("GCC's runtime libraries are covered by the GCC Runtime Library\n"
                 "Exception, which asks for no notice in programs compiled with GCC.")


def linked_inputs(map_text, build_dir):
    """Base names of the archives that gave members and the objects loaded
    directly, leaving out the program's own (those under build_dir)."""
    names = set()
    section = map_text.split("Archive member included to satisfy reference by file (symbol)", 1)
    if len(section) == 2:
        members = re.split(r"\n(?:Discarded input sections|Allocating common symbols|Memory Configuration)",
                           section[1], maxsplit=1)[0]
        for match in re.finditer(r"^(\S+\.a)\([^)]*\)", members, re.M):
            names.add(match.group(1))
    for match in re.finditer(r"^LOAD (\S+\.o(?:bj)?)$", map_text, re.M):
        names.add(match.group(1))
    own = os.path.realpath(build_dir) + os.sep
    result = set()
    for path in names:
        absolute = os.path.realpath(os.path.join(build_dir, path))
        if absolute.startswith(own):
            continue
        result.add(os.path.basename(path))
    return result


def main():
    if len(sys.argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    map_path, build_dir, version, arch_label, output = sys.argv[1:]
    with open(map_path, encoding="utf-8", errors="replace") as f:
        inputs = linked_inputs(f.read(), build_dir)

    known = set().union(*(c[3] for c in COMPONENTS))
    unknown = sorted(inputs - known)
    if unknown:
        sys.stderr.write("notices.py: no licence notice is known for %s, linked into the program;\n"
                         "  add its component to scripts/dist/notices.py\n" % ", ".join(unknown))
        return 1
    present = [c for c in COMPONENTS if c[3] & inputs]
    if not any(c[0] == "libjpeg-turbo" for c in present):
        sys.stderr.write("notices.py: libjpeg is not in the link map %s; is it the right map?\n" % map_path)
        return 1

    out = []
    out.append("Third-party software in quillvane.exe (Quillvane %s, %s)" % (version, arch_label))
    out.append("=" * len(out[0]))
    out.append("")
    out.append("quillvane.exe is one statically linked program.  Besides Quillvane's own")
    out.append("code it contains:")
    out.append("")
    for name, role, _, _ in present:
        out.append("  - %s: %s" % (name, role))
    out.append("")
    texts = [c for c in present if c[2]]
    out.append("The licence texts of %s follow." % ", ".join(c[0] for c in texts))
    if any(c[2] is None for c in present):
        out.append(GCC_EXCEPTION)
    for name, _, notice, _ in texts:
        out.append("")
        out.append("")
        heading = "%s" % name
        out.append(heading)
        out.append("=" * len(heading))
        out.append("")
        with open(os.path.join(NOTICES, notice), encoding="utf-8") as f:
            out.append(f.read().rstrip("\n"))
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
