#!/usr/bin/env python3
"""Makes the built-in pictures: resources/pictures/NAME.jpg, NAME_thumb.jpg and Builtin.plist.

Usage: tools/make-builtin-pictures.py [--sources DIR] [--out DIR] [--sheets DIR] [LIST]

LIST (default tools/make-builtin-pictures.tsv) names every picture with its category, title,
description and where it comes from: a Debian package, a path inside it, for pictures kept in a
Qt resource bundle (.rcc) or an Eet archive (.edj) the member's name in it, and optionally a
crop (WIDTHxHEIGHT+X+Y in the original's pixels). Packages missing from the sources folder
(default build/picture-sources) are fetched at the versions pinned in PACKAGES with
`apt-get download` and unpacked with `dpkg-deb -x`. --sheets also writes one labelled contact
sheet per category for review.

The output is byte for byte the same on every run with the same packages and ImageMagick:
metadata is stripped and nothing depends on the clock or the order of a folder listing.

Needs ImageMagick 6 with the WebP delegate, dpkg-deb and, for fetching, apt-get.
"""

import argparse
import collections
import os
import plistlib
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import extract_eet  # noqa: E402
import extract_rcc  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CATEGORIES = ("Animals", "Flowers", "Manmade", "Mountains", "Nature", "Pets", "Tropical")
# Big enough for 1000 pieces and more; puzzles made from them are still stored at 2000 pixels.
LONG_SIDE = 4096
THUMB_SIDE = 200
QUALITY = 88
# The new-puzzle dialog offers a piece count only when the picture holds that many 64-pixel
# squares; every built-in picture must carry the game's default of 1000.
SQUARE = 64
MIN_SQUARES = 1000

# The packages the pictures come from, at the versions the committed files were made from.
PACKAGES = {
    "enlightenment-data": "0.25.4-2",
    "lomiri-wallpapers-16.04": "20.04.0-2",
    "lomiri-wallpapers-20.04": "20.04.0-2",
    "lxqt-themes": "1.2.0-1",
    "mate-backgrounds": "1.26.0-1",
    "plasma-workspace-wallpapers": "4:5.27.5-2",
}

Entry = collections.namedtuple("Entry", "file cat name desc package path member crop")


def tool(name):
    # /usr/local/bin may hold a stand-in for viewing only; the packaged binary does the work.
    packaged = os.path.join("/usr/bin", name)
    return packaged if os.access(packaged, os.X_OK) else name


def read_list(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 8:
                sys.exit(f"{path}:{number}: expected 8 tab-separated fields")
            entry = Entry(*fields)
            if entry.package not in PACKAGES:
                sys.exit(f"{path}:{number}: {entry.package} has no pinned version in PACKAGES")
            if entry.crop and not re.fullmatch(r"\d+x\d+\+\d+\+\d+", entry.crop):
                sys.exit(f"{path}:{number}: crop must read WIDTHxHEIGHT+X+Y")
            if entry.cat not in CATEGORIES:
                sys.exit(f"{path}:{number}: unknown category {entry.cat!r}")
            if not entry.file or not all(c.islower() or c.isdigit() or c == "_" for c in entry.file):
                sys.exit(f"{path}:{number}: file name must be lower-case ASCII, digits and '_'")
            entries.append(entry)
    names = [e.file for e in entries]
    duplicates = {n for n in names if names.count(n) > 1}
    if duplicates:
        sys.exit(f"{path}: names used twice: {', '.join(sorted(duplicates))}")
    return entries


def unpack_package(package, sources):
    folder = os.path.join(sources, package)
    if os.path.isdir(folder):
        return folder
    downloads = os.path.join(sources, "deb")
    os.makedirs(downloads, exist_ok=True)
    version = PACKAGES[package]
    # apt-get names the file with the version's epoch colon escaped as %3a.
    deb = f"{package}_{version.replace(':', '%3a')}_all.deb"
    if not os.path.exists(os.path.join(downloads, deb)):
        subprocess.run(["apt-get", "download", f"{package}={version}"], cwd=downloads, check=True)
    debs = [d for d in os.listdir(downloads) if d == deb]
    if len(debs) != 1:
        sys.exit(f"expected {deb} in {downloads} after the download")
    partial = folder + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", os.path.join(downloads, debs[0]), partial], check=True)
    os.rename(partial, folder)
    return folder


_bundles = {}


def bundle_member(path, member):
    """The bytes of one file inside a Qt resource bundle or an Eet archive."""
    try:
        if path.endswith(".edj"):
            with open(path, "rb") as f:
                return extract_eet.Archive(f.read()).read(member)
        if path not in _bundles:
            with open(path, "rb") as f:
                _bundles[path] = dict(extract_rcc.Bundle(f.read()).files())
    except (OSError, extract_rcc.RccError, extract_eet.EetError) as error:
        sys.exit(f"{path}: {error}")
    content = _bundles[path].get(member)
    if content is None:
        sys.exit(f"{member} is not in {path}")
    return content


def source_file(entry, sources, scratch):
    path = os.path.join(unpack_package(entry.package, sources), entry.path)
    if not entry.member:
        return path
    content = bundle_member(path, entry.member)
    # Eet members have no extension; what they hold is a JPEG.
    extension = os.path.splitext(entry.member)[1] or ".jpg"
    target = os.path.join(scratch, entry.file + extension)
    with open(target, "wb") as out:
        out.write(content)
    return target


def identify(path, fmt):
    return subprocess.run([tool("identify"), "-format", fmt, path + "[0]"], check=True,
                          capture_output=True, text=True).stdout


SRGB_PROFILES = ("/usr/share/color/icc/ghostscript/srgb.icc", "/usr/share/color/icc/sRGB.icc",
                 "/usr/share/color/icc/colord/sRGB.icc")


def colour_transform(entry, path):
    """Extra convert options that bring a picture with a foreign ICC profile into sRGB."""
    profile = identify(path, "%[profile:icc]").strip()
    if not profile or "srgb" in profile.lower():
        return []
    for candidate in SRGB_PROFILES:
        if os.path.exists(candidate):
            print(f"{entry.file}: converting from the embedded profile {profile!r} to sRGB")
            return ["-profile", candidate]
    sys.exit(f"{entry.file}: profile {profile!r} needs an sRGB ICC file (ghostscript or colord)")


def convert(source, target, geometry, sharpen, colour=(), crop=""):
    # -auto-orient bakes any EXIF orientation in before -strip drops the tag; the crop is
    # measured on the upright original.
    command = [tool("convert"), source + "[0]", *colour, "-auto-orient"]
    if crop:
        command += ["-crop", crop, "+repage"]
    command += ["-colorspace", "sRGB", "-resize", geometry]
    if sharpen:
        command += ["-unsharp", "0x0.6+0.6+0.01"]
    command += ["-strip", "-type", "TrueColor", "-interlace", "None", "-sampling-factor", "2x2",
                "-quality", str(QUALITY), "jpg:" + target]
    subprocess.run(command, check=True)


def pixel_size(path):
    width, height = identify(path, "%w %h").split()
    return int(width), int(height)


def make_sheets(entries, out, sheets):
    os.makedirs(sheets, exist_ok=True)
    for category in CATEGORIES:
        members = [e for e in entries if e.cat == category]
        # Decoding at a fraction of the size keeps a sheet of 4096-pixel pictures within
        # ImageMagick's default memory policy.
        command = [tool("montage"), "-define", "jpeg:size=1280x1280"]
        for e in members:
            command += ["-label", e.file, os.path.join(out, e.file + ".jpg")]
        command += ["-thumbnail", "640x640", "-geometry", "+6+6", "-tile", "3x", "-font", "DejaVu-Sans",
                    "-pointsize", "16", "-background", "#d8d8d8",
                    os.path.join(sheets, category.lower() + ".jpg")]
        subprocess.run(command, check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("list", nargs="?", default=os.path.join(ROOT, "tools", "make-builtin-pictures.tsv"))
    parser.add_argument("--sources", default=os.path.join(ROOT, "build", "picture-sources"))
    parser.add_argument("--out", default=os.path.join(ROOT, "resources", "pictures"))
    parser.add_argument("--sheets")
    args = parser.parse_args()

    entries = read_list(args.list)
    os.makedirs(args.out, exist_ok=True)
    os.makedirs(args.sources, exist_ok=True)
    catalogue = []
    with tempfile.TemporaryDirectory() as scratch:
        for entry in entries:
            source = source_file(entry, args.sources, scratch)
            colour = colour_transform(entry, source)
            picture = os.path.join(args.out, entry.file + ".jpg")
            # '>' only ever shrinks: a smaller source keeps its own pixels.
            convert(source, picture, f"{LONG_SIDE}x{LONG_SIDE}>", sharpen=False, colour=colour,
                    crop=entry.crop)
            width, height = pixel_size(picture)
            squares = (width // SQUARE) * (height // SQUARE)
            if squares < MIN_SQUARES:
                sys.exit(f"{entry.file}: {width} x {height} holds {squares} squares, fewer than {MIN_SQUARES}")
            convert(picture, os.path.join(args.out, entry.file + "_thumb.jpg"),
                    f"{THUMB_SIDE}x{THUMB_SIDE}", sharpen=True)
            catalogue.append({"file": entry.file, "name": entry.name, "desc": entry.desc,
                              "cat": entry.cat, "size": f"{{{width}, {height}}}"})
            size = os.path.getsize(picture) / 1e6
            print(f"{entry.file:22} {entry.cat:10} {width:5} x {height:<5} {squares:5} squares {size:5.1f} MB")

    catalogue.sort(key=lambda d: (CATEGORIES.index(d["cat"]), d["name"]))
    with open(os.path.join(args.out, "Builtin.plist"), "wb") as f:
        plistlib.dump(catalogue, f, fmt=plistlib.FMT_XML)
    if args.sheets:
        make_sheets(entries, args.out, args.sheets)
    return 0


if __name__ == "__main__":
    sys.exit(main())
