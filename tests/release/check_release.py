#!/usr/bin/env python3
"""Checks the release: that it is reproducible and holds what it should.

Usage: check_release.py PLATFORM SOURCE_DIR QUARVEL_EXE RELEASE_DIR WORK_DIR

PLATFORM is the build's, win32 or win64. Copies the sources into two
folders under WORK_DIR and builds the release from each, a moment apart; the
executable and the zip must be byte for byte those of the build under test
(QUARVEL_EXE, RELEASE_DIR). Then unpacks that zip: exactly Quarvel.exe (identical to the build's), README.txt and
LICENSE.txt (ASCII, every line ending in CR LF); PLATFORM/Quarvel.exe must be
the build's too, and SHA256SUMS must list the zip and it with their digests.
"""
import glob
import hashlib
import io
import os
import shutil
import subprocess
import sys
import time
import zipfile


# The preset that builds each platform's release.
PRESETS = {"win32": "windows", "win64": "windows64"}


def build_copy(preset, source_dir, folder):
    """Builds the release from a copy of the sources; returns its folder."""
    shutil.rmtree(folder, ignore_errors=True)
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=source_dir,
                           stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name in filter(None, files):
        if os.path.isfile(os.path.join(source_dir, name)):
            os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
            shutil.copy2(os.path.join(source_dir, name), os.path.join(folder, name))
    for command in (["cmake", "--preset", preset],
                    ["cmake", "--build", "--preset", preset, "--target", "release_zip"]):
        subprocess.run(command, cwd=folder, stdout=subprocess.DEVNULL, check=True)
    return os.path.join(folder, "build", preset)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    platform, source_dir, exe, release_dir, work_dir = sys.argv[1:]
    (zip_path,) = glob.glob(os.path.join(release_dir, "Quarvel-*-%s.zip" % platform))
    problems = []

    for copy in ("a", "b"):
        time.sleep(1.5)  # a time stamp anywhere in the output would differ
        built = build_copy(PRESETS[platform], source_dir, os.path.join(work_dir, copy))
        for theirs, ours in ((os.path.join(built, "Quarvel.exe"), exe),
                             (os.path.join(built, "release", os.path.basename(zip_path)), zip_path)):
            if read(theirs) != read(ours):
                problems.append("%s differs" % theirs)

    archive = zipfile.ZipFile(io.BytesIO(read(zip_path)))
    names = archive.namelist()
    if names != ["Quarvel.exe", "README.txt", "LICENSE.txt"]:
        problems.append("zip holds %s" % names)
    elif {archive.read("Quarvel.exe"),
          read(os.path.join(release_dir, platform, "Quarvel.exe"))} != {read(exe)}:
        problems.append("the zip's or the release's Quarvel.exe is not the build's")
    for name in names[1:]:
        text = archive.read(name)
        if text.count(b"\n") == 0 or text.count(b"\n") != text.count(b"\r\n"):
            problems.append("%s has a line end other than CR LF" % name)
        if any(byte > 0x7F for byte in text) or b"<version>" in text or b"```" in text:
            problems.append("%s is not plain ASCII text" % name)

    sums = {}
    for line in read(os.path.join(release_dir, "SHA256SUMS")).decode().splitlines():
        digest, name = line.split("  ")
        sums[name] = digest
    if sorted(sums) != sorted([os.path.basename(zip_path), platform + "/Quarvel.exe"]):
        problems.append("SHA256SUMS lists %s" % sorted(sums))
    for name in sums:
        digest = hashlib.sha256(read(os.path.join(release_dir, name))).hexdigest()
        if sums.get(name) != digest:
            problems.append("SHA256SUMS has %r for %s, the file %s" % (sums.get(name), name, digest))

    for problem in problems:
        print("FAIL " + problem)
    print("%d passed, %d failed: release reproducible and complete"
          % (0 if problems else 1, 1 if problems else 0))
    shutil.rmtree(work_dir, ignore_errors=True)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
