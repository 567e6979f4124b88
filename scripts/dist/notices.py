#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt: the libraries in each shipped program
and their licence texts, copied from the libraries' own sources.

    notices.py windows VERSION ARCH_LABEL SOURCES OUTPUT PROGRAM=LINK_MAP...
    notices.py debian VERSION PROGRAM OUTPUT PACKAGE...

windows: each Windows program is statically linked.  Its linker map
(-Wl,-Map, written by the QUILLVANE_DIST build) names every archive member
and object that went into it; each is matched to the library it comes
from.  SOURCES is what scripts/dist/windows-sources.sh printed: for each
library, the Debian source package it was built from and the folder
holding it; the licence files are read from that package's upstream
tarball.  A library that is linked but known to no entry of LIBRARIES
stops the build: its licence has to be looked at before the program can
be shipped.

debian: the program links the shared libraries of the Debian packages
named (dpkg-shlibdeps's list); each one's licence text is its installed
/usr/share/doc/PACKAGE/copyright.

A program that contains Exiv2 (GPL-2.0-or-later) is distributed under
those terms as a whole; the notice says so for each such program.
"""
import os
import re
import sys
import tarfile
import textwrap

GPL_LIBRARIES = {"exiv2", "libexiv2-27"}

# The Windows system DLLs' import libraries and the C runtime's objects,
# generated from mingw-w64's sources; any other archive or object of the
# cross-compiler's own lib folder is part of that runtime too.
MINGW_RUNTIME = {
    "crt2.o", "dllcrt2.o", "crt2u.o", "dllcrt2u.o", "libmingw32.a", "libmingwex.a", "libmoldname.a", "libmsvcrt.a", "libm.a",
    "libkernel32.a", "libuser32.a", "libgdi32.a", "libcomdlg32.a", "libwinspool.a", "libadvapi32.a",
    "libshell32.a", "libole32.a", "liboleaut32.a", "libuuid.a", "libcomctl32.a", "libpsapi.a",
    "libws2_32.a", "libshlwapi.a", "libversion.a", "libucrt.a", "libucrtbase.a",
}
MINGW_SYSROOT_LIB = re.compile(r"/usr/(?:i686|x86_64)-w64-mingw32/lib/")

# (library, what it does, key of its source in SOURCES, licence files in
# the upstream tarball, statement the licence asks of binaries or None,
# archives and objects).  A library whose files are empty needs no notice.
LIBRARIES = [
    ("libjpeg-turbo", "JPEG reading and writing", "libjpeg-turbo", ["LICENSE.md", "README.ijg"],
     "This software is based in part on the work of the Independent JPEG Group.",
     {"libjpeg.a", "libturbojpeg.a"}),
    ("zlib", "compression for PNG, FreeType and Exiv2", "zlib", ["LICENSE"], None, {"libz.a"}),
    ("Expat", "XML parsing for Exiv2's XMP", "expat", ["COPYING"], None, {"libexpat.a", "libexpatMD.a"}),
    ("libspng", "PNG reading and writing", "libspng", ["LICENSE"], None, {"libspng_static.a", "libspng.a"}),
    ("libwebp", "WebP reading and writing", "libwebp", ["COPYING", "PATENTS"], None,
     {"libwebp.a", "libwebpmux.a", "libwebpdemux.a", "libwebpdecoder.a", "libsharpyuv.a"}),
    ("Exiv2", "copying Exif, IPTC and XMP metadata (with Adobe's XMP Toolkit)", "exiv2",
     ["COPYING", "doc/COPYING-XMPSDK"], None, {"libexiv2.a", "libexiv2-xmp.a"}),
    ("FreeType", "glyph outlines for text marks", "freetype", ["LICENSE.TXT", "docs/FTL.TXT"],
     "Portions of this software are copyright \u00a9 2022 The FreeType Project (www.freetype.org).  "
     "All rights reserved.", {"libfreetype.a"}),
    ("HarfBuzz", "text shaping for text marks", "harfbuzz", ["COPYING"], None, {"libharfbuzz.a"}),
    ("mingw-w64 runtime", "start-up code, C library support, Windows import stubs", "mingw-w64",
     ["COPYING.MinGW-w64-runtime/COPYING.MinGW-w64-runtime.txt"], None, MINGW_RUNTIME),
    ("winpthreads", "threads (part of mingw-w64)", "mingw-w64",
     ["mingw-w64-libraries/winpthreads/COPYING"], None, {"libpthread.a", "libwinpthread.a"}),
    ("GCC runtime libraries (libstdc++, libgcc)", "C++ library and compiler support", None, [], None,
     {"libstdc++.a", "libgcc.a", "libgcc_eh.a", "crtbegin.o", "crtend.o"}),
]
GCC_EXCEPTION = ("GCC's runtime libraries are covered by the GCC Runtime Library\n"
                 "Exception, which asks for no notice in programs compiled with GCC.")


def gpl_statement(program, verb, library, where, source):
    """The paragraph saying PROGRAM is under the GPL's terms as a whole."""
    return textwrap.fill(
        "%s %s %s, which is licensed under the GNU General Public License, version 2 "
        "or (at your option) any later version.  %s is therefore distributed under "
        "the terms of that licence (GPL-2.0-or-later); its text is %s.  Quillvane's "
        "own code in it stays under the MIT licence, which is compatible with those "
        "terms.  %s" % (program, verb, library, program, where, source), 76, break_on_hyphens=False).split("\n")


def linked_inputs(map_text, build_dir):
    """Paths of the archives that gave members and of the objects loaded
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
        if not absolute.startswith(own):
            result.add(absolute)
    return result


def library_of(path):
    base = os.path.basename(path)
    for library in LIBRARIES:
        if base in library[5]:
            return library
    if MINGW_SYSROOT_LIB.search(path) and base.endswith((".a", ".o")):
        return next(l for l in LIBRARIES if l[0] == "mingw-w64 runtime")
    return None


def read_sources(path):
    """SOURCES lines: LIBRARY PACKAGE VERSION FOLDER [same-upstream:...]."""
    sources = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if len(words) >= 4:
                sources[words[0]] = words[1:]
    return sources


def upstream_texts(folder, files):
    """The licence files from the package's upstream tarball, as text."""
    tarballs = sorted(name for name in os.listdir(folder)
                      if re.search(r"\.orig\.tar\.(gz|xz|bz2)$", name))
    if len(tarballs) != 1:
        raise SystemExit("notices.py: %s holds %d upstream tarballs" % (folder, len(tarballs)))
    wanted = dict.fromkeys(files)
    with tarfile.open(os.path.join(folder, tarballs[0])) as archive:
        for member in archive:
            inner = member.name.split("/", 1)[1] if "/" in member.name else ""
            if inner in wanted and member.isfile():
                wanted[inner] = archive.extractfile(member).read().decode("utf-8")
                if all(text is not None for text in wanted.values()):
                    break
    missing = [name for name, text in wanted.items() if text is None]
    if missing:
        raise SystemExit("notices.py: %s has no %s" % (tarballs[0], ", ".join(missing)))
    return [(name, text) for name, text in wanted.items()], tarballs[0]


def heading(text, underline):
    return [text, underline * len(text)]


def windows(version, label, sources_path, output, programs):
    sources = read_sources(sources_path)
    present = {}  # program -> libraries in LIBRARIES order
    for program, map_path in programs:
        with open(map_path, encoding="utf-8", errors="replace") as f:
            inputs = linked_inputs(f.read(), os.path.dirname(os.path.abspath(map_path)))
        found, unknown = set(), []
        for path in inputs:
            library = library_of(path)
            if library is None:
                unknown.append(os.path.basename(path))
            else:
                found.add(library[0])
        if unknown:
            sys.stderr.write("notices.py: no licence notice is known for %s, linked into %s;\n"
                             "  add its library to scripts/dist/notices.py\n" % (", ".join(sorted(unknown)), program))
            return 1
        if "libjpeg-turbo" not in found:
            sys.stderr.write("notices.py: libjpeg is not in the link map %s; is it the right map?\n" % map_path)
            return 1
        present[program] = [l for l in LIBRARIES if l[0] in found]

    source_archive = "quillvane-%s-src.tar.gz" % version
    out = heading("Third-party software in Quillvane %s, %s: %s"
                  % (version, label, ", ".join(p for p, _ in programs)), "=")
    out.append("")
    out.append("Quillvane's own code is under the MIT licence (LICENSE.txt in this folder).")
    out.extend(textwrap.wrap(
        "Each program is statically linked; besides Quillvane's own code it contains the "
        "libraries below, each built from the Debian source package named.  Those sources, "
        "with Quillvane's, are %s, published beside this zip." % source_archive, 76))
    shown = []
    for program, _ in programs:
        out.append("")
        out.extend(heading(program, "-"))
        for name, role, key, _, _, _ in present[program]:
            origin = ""
            if key and key in sources:
                package, package_version = sources[key][0], sources[key][1]
                origin = " (Debian source %s %s)" % (package, package_version)
            out.extend(textwrap.wrap("%s: %s%s" % (name, role, origin), 76,
                                     initial_indent="  - ", subsequent_indent="    "))
        for name, _, key, _, _, _ in present[program]:
            if name == "Exiv2" or key in GPL_LIBRARIES:
                out.append("")
                out.extend(gpl_statement(program, "contains", name, "below, with %s's licence files" % name,
                    "Its complete source code, with that of every library in it, is %s." % source_archive))
        for library in present[program]:
            if library not in shown:
                shown.append(library)
    out.append("")
    for _, _, _, _, statement, _ in shown:
        if statement:
            out.extend(textwrap.wrap(statement, 76))
    if any(not l[3] for l in shown):
        out.append(GCC_EXCEPTION)
    notes = [sources[l[2]] for l in shown if l[2] in sources]
    for words in notes:
        if len(words) < 4 or not words[3].startswith("same-upstream:"):
            continue
        out.append("")
        out.extend(textwrap.wrap(
            "%s was taken from Debian's mingw-w64 build (%s); its source is given as Debian's source "
            "package %s %s, of the same upstream release."
            % (next(l[0] for l in LIBRARIES if sources.get(l[2]) == words), words[3].split(":", 1)[1],
               words[0], words[1]), 76))
    for name, _, key, files, _, _ in shown:
        if not files:
            continue
        if key not in sources:
            raise SystemExit("notices.py: %s gives no source for %s" % (sources_path, key))
        texts, tarball = upstream_texts(sources[key][2], files)
        out.append("")
        out.append("")
        out.extend(heading(name, "="))
        for file_name, text in texts:
            out.append("")
            out.append("[%s, from %s]" % (file_name, tarball))
            out.append("")
            out.append(text.rstrip("\n"))
    write(output, out)
    return 0


def debian(version, program, output, packages):
    out = heading("Third-party software in quillvane-cli %s for Debian" % version, "=")
    out.append("")
    out.append("Quillvane's own code is under the MIT licence (copyright, beside this file).")
    out.append("%s links the shared libraries of these packages:" % program)
    out.append("")
    for package in packages:
        out.append("  - %s" % package)
    gpl = [p for p in packages if p in GPL_LIBRARIES]
    for package in gpl:
        out.append("")
        out.extend(gpl_statement(program, "links", "Exiv2 (%s)" % package, "/usr/share/common-licenses/GPL-2",
            "Its source code is Quillvane's source archive, quillvane-%s-src.tar.gz, with "
            "Debian's source packages of the libraries (apt-get source PACKAGE)." % version))
    out.append("")
    out.append("Each package's copyright file follows, as Debian installs it.")
    seen = {}
    for package in packages:
        path = "/usr/share/doc/%s/copyright" % package
        with open(path, encoding="utf-8") as f:
            text = f.read()
        out.append("")
        out.append("")
        out.extend(heading(package, "="))
        out.append("")
        if text in seen:
            out.append("[%s: the same as %s's, above]" % (path, seen[text]))
            continue
        seen[text] = package
        out.append("[%s]" % path)
        out.append("")
        out.append(text.rstrip("\n"))
    write(output, out)
    return 0


def write(output, lines):
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main(argv):
    if len(argv) >= 7 and argv[1] == "windows":
        programs = []
        for arg in argv[6:]:
            program, _, map_path = arg.partition("=")
            if not map_path:
                sys.stderr.write(__doc__)
                return 2
            programs.append((program, map_path))
        return windows(argv[2], argv[3], argv[4], argv[5], programs)
    if len(argv) >= 6 and argv[1] == "debian":
        return debian(argv[2], argv[3], argv[4], argv[5:])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
