#!/usr/bin/env python3
"""Times vistrel-convert against peer decoders on large pictures and prints one table.

  bench_table.py BIN_DIR DATA_DIR [RUNS]

BIN_DIR is the bench tree (build/bench): app/vistrel-convert and bench/peer-*. DATA_DIR holds the
pictures (made once from a corpus photograph) and the outputs. Every program does the same job:
decode one picture and write a BMP: the peers a 24-bit one, vistrel-convert the wallpaper file
(which keeps 8-bit pictures at 8 bits and alpha as 32 bits; the table names the depth). Each case runs one untimed round, then RUNS rounds in
which every program runs once in turn, so load that comes and goes falls on all of them alike.
Time is the whole process's wall time (the launcher's fork and wait included, alike for all),
memory its peak resident set (from wait4, through bench/peak_run.c)."""
import os
import statistics
import struct
import subprocess
import sys
import time

MAGICK = "/usr/bin/convert-im6.q16"
SOURCE = "tests/data/jpeg/wuffs/harvesters.jpeg"
# An Adobe RGB (1998) profile, taken out of a test picture that carries it.
PROFILE_SOURCE = "tests/data/icc/hibiscus-adobergb.jpg"


class Program:
    def __init__(self, name, steps, output, depths=(24,), check=None):
        self.name, self.steps, self.output, self.depths = name, steps, output, depths
        self.check = check  # checks the output instead of check_bmp: (path, w, h) -> problem
        self.times, self.peaks, self.failure = [], [], None
        self.bytes_written = 0


def run_once(program, launcher):
    """Runs the program's steps one after the other; returns (seconds, peak bytes). Each step runs
    under the small launcher, which reports the step's peak: one taken from this interpreter's
    own child would count the interpreter's memory too (a child's peak includes what its
    process held before exec)."""
    start = time.perf_counter()
    peak = 0
    for step in program.steps:
        child = subprocess.run([launcher, *step], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        err = child.stderr.decode(errors="replace").strip()
        if child.returncode != 0:
            raise RuntimeError(f"exit {child.returncode}: {err[:200]}")
        peak = max(peak, int(child.stdout.split()[-1]) * 1024)
    return time.perf_counter() - start, peak


def check_bmp(path, width, height, depths=(24,)):
    """A peer that fails or writes the wrong thing must not look fast. Returns (problem, depth)."""
    with open(path, "rb") as f:
        head = f.read(54)
    if len(head) < 54 or head[:2] != b"BM":
        return "not a BMP", 0
    offset, = struct.unpack_from("<I", head, 10)
    w, h, planes, bpp = struct.unpack_from("<iiHH", head, 18)
    if (w, abs(h)) != (width, height):
        return f"size {w} x {abs(h)}, expected {width} x {height}", bpp
    if bpp not in depths:
        return f"{bpp} bits per pixel, expected {depths}", bpp
    stride = ((width * bpp + 31) // 32) * 4
    if os.path.getsize(path) < offset + stride * height:
        return "pixel data cut short", bpp
    return None, bpp


def check_ppm(path, width, height):
    """vipsthumbnail's binary PPM: its size, and all of its pixels there."""
    with open(path, "rb") as f:
        head = f.read(256)
    # Fields separated by white space; a "#" starts a comment to the line's end.
    fields = b" ".join(line.split(b"#")[0] for line in head.split(b"\n")[:6]).split()
    if len(fields) < 4 or fields[0] != b"P6":
        return "not a binary PPM"
    if (int(fields[1]), int(fields[2])) != (width, height):
        return f"size {int(fields[1])} x {int(fields[2])}, expected {width} x {height}"
    if os.path.getsize(path) < width * height * 3:
        return "pixel data cut short"
    return None


def magick(*args):
    subprocess.run([MAGICK, *args], check=True)


def psd_compression(path):
    """The compression field of the merged image data: 0 raw, 1 RLE."""
    with open(path, "rb") as f:
        data = f.read(1 << 20)
        pos = 26
        for _ in range(3):  # colour mode data, image resources, layer and mask information
            length, = struct.unpack_from(">I", data, pos)
            pos += 4 + length
            if pos + 2 > len(data):
                f.seek(pos)
                return struct.unpack(">H", f.read(2))[0]
        return struct.unpack_from(">H", data, pos)[0]


def make_pictures(data, wanted=None):
    """Makes each picture once. The photograph is mirrored into a 2 x 2 tile (no seams), scaled up
    and given a fine grain, so it compresses and decodes like a large photo, not a smooth upscale."""
    def path(name):
        return os.path.join(data, name)

    def master(w, h):
        out = path(f"master-{w}x{h}.miff")
        if not os.path.exists(out):
            magick(SOURCE, "(", "+clone", "-flop", ")", "+append", "(", "+clone", "-flip", ")",
                   "-append", "-resize", f"{w}x{h}!", "-attenuate", "0.3", "+noise", "Gaussian",
                   "-depth", "8", out + ".partial.miff")
            os.replace(out + ".partial.miff", out)
        return out

    recipes = [
        ("bmp-24mp.bmp", (6000, 4000), ["-type", "TrueColor"], "BMP3:"),
        ("jpeg-24mp-colour.jpg", (6000, 4000), ["-sampling-factor", "2x2", "-quality", "90"], ""),
        ("jpeg-24mp-grey.jpg", (6000, 4000), ["-colorspace", "Gray", "-type", "Grayscale",
                                              "-quality", "90"], ""),
        ("png-48mp-rgb.png", (8000, 6000), ["-define", "png:color-type=2"], ""),
        ("png-24mp-rgb.png", (6000, 4000), ["-define", "png:color-type=2"], ""),
        ("webp-24mp-lossy.webp", (6000, 4000), ["-quality", "90", "-define", "webp:lossless=false"],
         ""),
        ("png-48mp-rgba.png", (8000, 6000), ["-alpha", "set", "-channel", "A", "-fx",
                                             "0.5+0.5*u.g", "+channel",
                                             "-define", "png:color-type=6"], ""),
        ("png-48mp-adam7.png", (8000, 6000), ["-define", "png:color-type=2", "-interlace", "PNG"],
         ""),
        ("png-48mp-palette.png", (8000, 6000), ["+dither", "-colors", "256"], "PNG8:"),
        ("gif-12mp.gif", (4000, 3000), ["+dither", "-colors", "256"], ""),
        ("psd-24mp-raw.psd", (6000, 4000), ["-compress", "None"], ""),
        ("psd-24mp-rle.psd", (6000, 4000), ["-compress", "RLE"], ""),
    ]
    profile = path("adobergb.icc")
    if not os.path.exists(profile):
        magick(PROFILE_SOURCE, profile + ".partial.icc")
        os.replace(profile + ".partial.icc", profile)
    # The colour JPEG's very pixels with the profile beside them: what the profile alone costs.
    recipes.append(("jpeg-24mp-adobergb.jpg", (6000, 4000),
                    ["-sampling-factor", "2x2", "-quality", "90", "-profile", profile], ""))
    made = {}
    for name, (w, h), options, prefix in recipes:
        if wanted is not None and name not in wanted:
            continue
        out = path(name)
        if not os.path.exists(out):
            print(f"bench: making {name}", file=sys.stderr, flush=True)
            partial = out + ".partial" + os.path.splitext(name)[1]
            magick(master(w, h), *options, prefix + partial)
            os.replace(partial, out)
        made[name] = (out, w, h)
    for name, want in (("psd-24mp-raw.psd", 0), ("psd-24mp-rle.psd", 1)):
        if name not in made:
            continue
        got = psd_compression(made[name][0])
        if got != want:
            sys.exit(f"bench: {name} has compression {got}, expected {want}")
    return made


def main(argv):
    bin_dir, data = argv[0], argv[1]
    runs = int(argv[2]) if len(argv) > 2 else 5
    os.makedirs(data, exist_ok=True)
    # BENCH_ONLY=jpeg-24mp-colour.jpg,png-24mp-rgb.png: only the cases of those pictures.
    only = os.environ.get("BENCH_ONLY")
    pictures = make_pictures(data, set(only.split(",")) if only else None)
    ours = os.path.join(bin_dir, "app", "vistrel-convert")
    launcher = os.path.join(bin_dir, "bench", "peak-run")

    def peer(name):
        return os.path.join(bin_dir, "bench", name)

    def out(tag):
        return os.path.join(data, f"out-{tag}.bmp")

    def im(src):
        # [0] takes a PSD's merged picture only, not its layers as more images.
        return ["ImageMagick", [[MAGICK, src + "[0]", "-alpha", "off", "-type", "TrueColor",
                                 "BMP3:" + out("magick")]], out("magick")]

    def tool(name, exe, src, tag):
        return [name, [[peer(exe), src, out(tag)]], out(tag)]

    cases = []
    for label, name, peers in [
        ("BMP 24 MP", "bmp-24mp.bmp", lambda s: [
            ["cp + mv", [["cp", s, out("cp") + ".tmp~"], ["mv", out("cp") + ".tmp~", out("cp")]],
             out("cp")],
            tool("stb_image", "peer-stb", s, "stb"), im(s)]),
        ("JPEG 24 MP colour", "jpeg-24mp-colour.jpg", lambda s: [
            ["djpeg -bmp", [["djpeg", "-rgb", "-bmp", "-outfile", out("djpeg"), s]], out("djpeg")],
            tool("stb_image", "peer-stb", s, "stb"), im(s)]),
        ("JPEG 24 MP grey", "jpeg-24mp-grey.jpg", lambda s: [
            ["djpeg -rgb -bmp", [["djpeg", "-rgb", "-bmp", "-outfile", out("djpeg"), s]],
             out("djpeg")],
            tool("stb_image", "peer-stb", s, "stb"), im(s)]),
        ("PNG 48 MP RGB", "png-48mp-rgb.png", None),
        ("PNG 48 MP RGBA", "png-48mp-rgba.png", None),
        ("PNG 48 MP Adam7", "png-48mp-adam7.png", None),
        ("PNG 48 MP palette", "png-48mp-palette.png", None),
        ("GIF 12 MP", "gif-12mp.gif", lambda s: [
            tool("giflib", "peer-giflib", s, "giflib"), tool("stb_image", "peer-stb", s, "stb"),
            im(s)]),
        ("PSD 24 MP raw", "psd-24mp-raw.psd", lambda s: [
            tool("stb_image", "peer-stb", s, "stb"), im(s)]),
        ("PSD 24 MP RLE", "psd-24mp-rle.psd", lambda s: [
            tool("stb_image", "peer-stb", s, "stb"), im(s)]),
    ]:
        if peers is None:
            peers = lambda s: [tool("libspng", "peer-spng", s, "spng"),
                               tool("libpng simplified", "peer-libpng", s, "libpng"),
                               tool("stb_image", "peer-stb", s, "stb"), im(s)]
        if name not in pictures:
            continue
        src, w, h = pictures[name]
        # The wallpaper writer keeps 8-bit pictures at 8 bits and alpha as a 32-bit BMP.
        programs = [Program("vistrel-convert", [[ours, src, out("vistrel")]], out("vistrel"),
                            (1, 4, 8, 16, 24, 32))]
        programs += [Program(*p) for p in peers(src)]
        cases.append((f"{label} ({w} x {h})", programs, w, h))

    # Rendered for a 1920 x 1080 screen (Stretch), against libvips, which shrinks a JPEG while
    # loading it; the peer writes a PPM, the nearest format it has to the wallpaper BMP.
    screen_w, screen_h = 1920, 1080
    for label, name in [("JPEG 24 MP colour", "jpeg-24mp-colour.jpg"),
                        ("PNG 24 MP RGB", "png-24mp-rgb.png"),
                        ("WebP 24 MP lossy", "webp-24mp-lossy.webp")]:
        if name not in pictures:
            continue
        src, w, h = pictures[name]
        # vipsthumbnail takes a relative output name as one beside its input.
        vips_out = os.path.abspath(os.path.join(data, "out-vips.ppm"))
        programs = [Program("vistrel-convert --screen",
                            [[ours, "--screen", f"{screen_w}x{screen_h}", "--style", "3", src,
                              out("vistrel")]], out("vistrel")),
                    Program("vipsthumbnail", [["vipsthumbnail", src, "-s",
                                               f"{screen_w}x{screen_h}!", "-o", vips_out]],
                            vips_out, check=check_ppm)]
        cases.append((f"{label} ({w} x {h}) for {screen_w} x {screen_h}", programs, screen_w,
                      screen_h))

    # The same picture with and without an Adobe RGB profile, whole and for the screen.
    if "jpeg-24mp-adobergb.jpg" in pictures and "jpeg-24mp-colour.jpg" in pictures:
        tagged, w, h = pictures["jpeg-24mp-adobergb.jpg"]
        plain = pictures["jpeg-24mp-colour.jpg"][0]
        for label, extra, size in [("whole", [], (w, h)),
                                   (f"for {screen_w} x {screen_h}",
                                    ["--screen", f"{screen_w}x{screen_h}", "--style", "3"],
                                    (screen_w, screen_h))]:
            programs = [Program("vistrel-convert, Adobe RGB profile",
                                [[ours, *extra, tagged, out("vistrel")]], out("vistrel")),
                        Program("vistrel-convert, no profile",
                                [[ours, *extra, plain, out("plain")]], out("plain"))]
            cases.append((f"JPEG 24 MP with a profile, {label}", programs, *size))

    for label, programs, w, h in cases:
        print(f"bench: {label}", file=sys.stderr, flush=True)
        for round_ in range(runs + 1):  # round 0 warms the caches and checks the outputs
            for p in programs:
                if p.failure:
                    continue
                try:
                    if os.path.exists(p.output) and round_ == 0:
                        os.remove(p.output)
                    # Untimed: what the program before wrote (72 MB for a whole picture) is on
                    # the disk first, so no program pays for another's writeback.
                    os.sync()
                    seconds, peak = run_once(p, launcher)
                    if round_ == 0:
                        p.bytes_written = os.path.getsize(p.output)
                        if p.check:
                            p.failure = p.check(p.output, w, h)
                        else:
                            p.failure, depth = check_bmp(p.output, w, h, p.depths)
                            if len(p.depths) > 1:
                                p.name += f" ({depth}-bit BMP)"
                    else:
                        p.times.append(seconds)
                        p.peaks.append(peak)
                except (RuntimeError, OSError) as e:
                    p.failure = str(e)
        for p in programs:
            if os.path.exists(p.output):
                os.remove(p.output)  # 150 MB each; only the last case's would be left anyway

    rows = [("case", "program", "median s", "peak MB", "ratio time", "ratio mem", "MB written")]
    for label, programs, _, _ in cases:
        ours_p, peers_p = programs[0], [p for p in programs[1:] if not p.failure]
        if ours_p.failure:
            rows.append((label, ours_p.name, "FAILED", "", ours_p.failure, "", ""))
            continue
        t0, m0 = statistics.median(ours_p.times), statistics.median(ours_p.peaks)
        fastest = min(peers_p, key=lambda p: statistics.median(p.times), default=None)
        leanest = min(peers_p, key=lambda p: statistics.median(p.peaks), default=None)
        rows.append((label, ours_p.name, f"{t0:.3f}", f"{m0 / 2**20:.0f}",
                     f"{t0 / statistics.median(fastest.times):.2f} vs fastest ({fastest.name})"
                     if fastest else "", f"{m0 / statistics.median(leanest.peaks):.2f} vs leanest "
                     f"({leanest.name})" if leanest else "",
                     f"{ours_p.bytes_written / 1e6:.1f}"))
        for p in programs[1:]:
            if p.failure:
                rows.append(("", p.name, "FAILED", "", p.failure, "", ""))
                continue
            t, m = statistics.median(p.times), statistics.median(p.peaks)
            rows.append(("", p.name, f"{t:.3f}", f"{m / 2**20:.0f}", f"{t0 / t:.2f}",
                         f"{m0 / m:.2f}", f"{p.bytes_written / 1e6:.1f}"))

    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    numeric = {2, 3, 4, 5, 6}

    def line(r):
        cells = [c.rjust(wd) if i in numeric and i not in (4, 5) else c.ljust(wd)
                 for i, (c, wd) in enumerate(zip(r, widths))]
        return "| " + " | ".join(cells) + " |"

    print()
    print(f"Median of {runs} runs each, programs in turn; ratios are vistrel-convert / peer.")
    print(line(rows[0]))
    print("|" + "|".join("-" * (wd + 2) for wd in widths) + "|")
    for r in rows[1:]:
        print(line(r))


if __name__ == "__main__":
    main(sys.argv[1:])
