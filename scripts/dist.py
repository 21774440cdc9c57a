#!/usr/bin/env python3
"""Packs the release zip from a built Windows tree:
  dist.py BUILD_DIR OUT_DIR [SUFFIX]
writes OUT_DIR/vistrel-VERSION-SUFFIX.zip (SUFFIX defaults to win32) with the two programs as
the build stripped them (BUILD_DIR/shipped) and the users' texts with CR LF line ends, and
OUT_DIR/SHA256SUMS beside it. The third-party notices are taken from the very sources the programs were built from: libjpeg-turbo's
and lcms2's unpacked source packages and the Debian copyright files of the MinGW-w64 zlib and runtime.
The same inputs give the same zip: fixed entry order, times and attributes."""
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ["vistrel.exe", "vistrel_agent.exe"]
ZLIB_COPYRIGHT = "/usr/share/doc/libz-mingw-w64/copyright"
MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-common/copyright"


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise SystemExit(f"dist: {name} is not in {build}/CMakeCache.txt")


def version(build):
    with open(os.path.join(build, "generated", "vistrel_version.h"), encoding="utf-8") as f:
        return re.search(r'#define VISTREL_VERSION "([^"]+)"', f.read()).group(1)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def between(text, start, end, path):
    """The text from the line `start` up to the line `end`, both matched at a line start; a
    heading underlined with "=" is found as a heading, not where a contents list names it."""
    match = re.search(rf"^{re.escape(start)}(?:\n=+$)?.*?(?=^{re.escape(end)})", text, re.M | re.S)
    underlined = re.search(rf"^{re.escape(start)}\n=+$.*?(?=^{re.escape(end)})", text, re.M | re.S)
    match = underlined or match
    if not match:
        raise SystemExit(f"dist: no section '{start}' in {path}")
    return match.group(0).strip() + "\n"


def debian_licence(path, heading):
    """The body of a Debian copyright file's licence paragraph (`License: NAME` plus text)."""
    text = read(path)
    match = re.search(rf"^License: {re.escape(heading)}\n((?: .*\n)+)", text, re.M)
    if not match:
        raise SystemExit(f"dist: no licence text '{heading}' in {path}")
    lines = [line[1:] for line in match.group(1).splitlines()]
    return "\n".join("" if line == "." else line for line in lines).strip() + "\n"


def debian_copyright(path, files):
    text = read(path)
    match = re.search(rf"^Files: {re.escape(files)}\n(?:\s+.*\n)*?Copyright: (.*(?:\n\s+.*)*)",
                      text, re.M)
    if not match:
        raise SystemExit(f"dist: no copyright for '{files}' in {path}")
    return " ".join(part.strip() for part in match.group(1).splitlines())


def third_party(build):
    jpeg_cache = os.path.join(cache_value(build, "VISTREL_DEPS_DIR"), "libjpeg-turbo")
    jpeg_source = os.path.join(jpeg_cache, "source")
    jpeg_version = read(os.path.join(jpeg_cache, "complete")).strip()
    readme_ijg = os.path.join(jpeg_source, "README.ijg")
    licence_md = os.path.join(jpeg_source, "LICENSE.md")
    simd_notice = os.path.join(jpeg_source, "simd", "nasm", "jsimdext.inc")
    simd_lines = [line[2:] if line.startswith("; ") else line.lstrip(";")
                  for line in between(read(simd_notice), "; Copyright 2009", "; ====",
                                      simd_notice).splitlines()]
    bsd = between(read(licence_md), "Copyright (C)2009", "Why Three Licenses?", licence_md)
    lcms2_cache = os.path.join(cache_value(build, "VISTREL_DEPS_DIR"), "lcms2")
    lcms2_version = read(os.path.join(lcms2_cache, "complete")).strip()
    lcms2_notice = read(os.path.join(lcms2_cache, "source", "COPYING")).strip() + "\n"
    webp_cache = os.path.join(cache_value(build, "VISTREL_DEPS_DIR"), "libwebp")
    webp_source = os.path.join(webp_cache, "source")
    webp_version = read(os.path.join(webp_cache, "complete")).strip()
    rule = "=" * 72 + "\n"
    parts = [
        "Third-party software in Vistrel\n",
        "vistrel.exe contains libjpeg-turbo, Little CMS, libwebp and zlib; both programs contain the "
        "MinGW-w64\nC runtime and its winpthreads library, and the GCC runtime libraries "
        "(libstdc++, libgcc), which\ntheir licence's runtime library exception lets us ship "
        "without a notice. Their notices follow.\n",
        rule + f"libjpeg-turbo ({jpeg_version})\n" + rule,
        "This software is based in part on the work of the Independent JPEG Group.\n",
        "libjpeg-turbo is covered by three compatible BSD-style licences: the IJG licence (the "
        "libjpeg\nlibrary), the Modified (3-clause) BSD licence and the zlib licence (the SIMD "
        "extensions).\n",
        "--- The IJG licence (from README.ijg) ---\n\n" + between(read(readme_ijg), "LEGAL ISSUES",
                                                               "REFERENCES", readme_ijg),
        "--- The Modified (3-clause) BSD licence (from LICENSE.md) ---\n\n"
        + bsd.replace("<br>", ""),
        "--- The zlib licence of the SIMD extensions (from simd/nasm/jsimdext.inc) ---\n\n"
        + "\n".join(simd_lines).strip() + "\n",
        rule + f"Little CMS ({lcms2_version})\n" + rule,
        "Little CMS (lcms2) turns pictures with an embedded colour profile into sRGB.\n",
        lcms2_notice,
        rule + f"libwebp ({webp_version}: its decoder and demuxer)\n" + rule,
        "--- The licence (from COPYING) ---\n\n" + read(os.path.join(webp_source, "COPYING")),
        "--- The patent grant (from PATENTS) ---\n\n" + read(os.path.join(webp_source, "PATENTS")),
        rule + "zlib\n" + rule,
        "Copyright (C) " + debian_copyright(ZLIB_COPYRIGHT, "*") + "\n",
        debian_licence(ZLIB_COPYRIGHT, "Zlib"),
        rule + "MinGW-w64 runtime\n" + rule,
        "Copyright (C) " + debian_copyright(MINGW_COPYRIGHT, "*") + "\n",
        debian_licence(MINGW_COPYRIGHT, "ZPL-2.1"),
        rule + "winpthreads (part of MinGW-w64)\n" + rule,
        "Copyright (C) "
        + debian_copyright(MINGW_COPYRIGHT, "mingw-w64-libraries/winpthreads/*") + "\n",
        debian_licence(MINGW_COPYRIGHT, "expat"),
    ]
    return "\n".join(parts)


def crlf(text):
    """CR LF lines; UTF-8 with a byte-order mark when not plain ASCII, so that Windows 7's
    Notepad shows the names in the notices right."""
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")
    return data if data.isascii() else b"\xef\xbb\xbf" + data


def stamp():
    """The last commit's time (or SOURCE_DATE_EPOCH): the same sources give the same zip."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        try:
            epoch = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], check=True,
                                   capture_output=True, text=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    seconds = max(int(epoch) if epoch else 1767225600, 315532800)  # zip times start in 1980
    return time.gmtime(seconds)[:6]


def main(argv):
    if len(argv) not in (2, 3):
        raise SystemExit(__doc__)
    build, out = argv[0], argv[1]
    suffix = argv[2] if len(argv) == 3 else "win32"
    release = version(build)
    name = f"vistrel-{release}-{suffix}.zip"
    os.makedirs(out, exist_ok=True)

    # The stripped programs the build leaves in shipped/, the very files the end-to-end tests run.
    entries = []
    for program in PROGRAMS:
        with open(os.path.join(build, "shipped", program), "rb") as f:
            entries.append((program, f.read()))
    entries.append(("README.txt",
                    crlf(read(os.path.join(ROOT, "resources", "dist", "README.txt"))
                         .replace("@VERSION@", release))))
    entries.append(("LICENSE.txt", crlf(read(os.path.join(ROOT, "LICENSE")))))
    entries.append(("THIRD-PARTY.txt", crlf(third_party(build))))

    when = stamp()
    partial = os.path.join(out, name + ".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for entry, data in entries:
            info = zipfile.ZipInfo(entry, date_time=when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # the archive attribute, as Windows' own zips set
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, os.path.join(out, name))

    with open(os.path.join(out, name), "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(os.path.join(out, "SHA256SUMS"), "w", encoding="ascii") as f:
        f.write(f"{digest}  {name}\n")
    print(f"{out}/{name} ({os.path.getsize(os.path.join(out, name))} bytes), sha256 {digest}")
    for entry, data in entries:
        print(f"  {entry:<18} {len(data):>8} bytes")


if __name__ == "__main__":
    main(sys.argv[1:])
