#!/usr/bin/env python3
"""Writes the package managers' manifests for a release.

Usage: make_manifests.py VERSION ADDRESS RELEASE_DIR

ADDRESS is where the release's files will be downloaded from (the folder
that holds the zips and SHA256SUMS). For each zip in RELEASE_DIR
(Quarvel-VERSION-win32.zip, Quarvel-VERSION-win64.zip) it writes, with the
zip's SHA-256, a winget manifest set (schema 1.10.0: a zip with the portable
Quarvel.exe in it, the command alias quarvel) in
RELEASE_DIR/winget/manifests/q/Quarvel/Quarvel/VERSION/, and a Scoop manifest,
RELEASE_DIR/scoop/quarvel.json, which reads new versions' digests from
SHA256SUMS.
"""
import hashlib
import json
import os
import sys

IDENTIFIER = "Quarvel.Quarvel"
SCHEMA = "1.10.0"
DESCRIPTION = "Moves or renames a file in use at the next restart."
# Each platform's zip, as winget and Scoop name its architecture.
ARCHITECTURES = [("win32", "x86", "32bit"), ("win64", "x64", "64bit")]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write(text)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    version, address, release_dir = sys.argv[1:]
    address = address.rstrip("/") + "/"
    zips = []
    for platform, winget, scoop in ARCHITECTURES:
        name = "Quarvel-%s-%s.zip" % (version, platform)
        if os.path.isfile(os.path.join(release_dir, name)):
            with open(os.path.join(release_dir, name), "rb") as f:
                zips.append((name, winget, scoop, hashlib.sha256(f.read()).hexdigest()))
    if not zips:
        sys.exit("make_manifests.py: no zip of version %s in %s" % (version, release_dir))

    head = "PackageIdentifier: %s\nPackageVersion: %s\n" % (IDENTIFIER, version)
    tail = "ManifestVersion: %s\n" % SCHEMA
    folder = os.path.join(release_dir, "winget", "manifests", "q", "Quarvel", "Quarvel", version)
    write(os.path.join(folder, IDENTIFIER + ".yaml"),
          head + "DefaultLocale: en-US\nManifestType: version\n" + tail)
    write(os.path.join(folder, IDENTIFIER + ".locale.en-US.yaml"),
          head + "PackageLocale: en-US\nPublisher: The Quarvel developers\nPackageName: Quarvel\n"
          "License: MIT\nShortDescription: %s\nManifestType: defaultLocale\n" % DESCRIPTION + tail)
    write(os.path.join(folder, IDENTIFIER + ".installer.yaml"),
          head + "InstallerType: zip\nNestedInstallerType: portable\nNestedInstallerFiles:\n"
          "- RelativeFilePath: Quarvel.exe\n  PortableCommandAlias: quarvel\nInstallers:\n"
          + "".join("- Architecture: %s\n  InstallerUrl: %s%s\n  InstallerSha256: %s\n"
                    % (winget, address, name, digest.upper()) for name, winget, _, digest in zips)
          + "ManifestType: installer\n" + tail)

    # Later versions lie where this one does, with their version in place
    # of this one's.
    def later(text):
        return text.replace(version, "$version")

    scoop = {
        "version": version,
        "description": DESCRIPTION,
        "homepage": address,
        "license": "MIT",
        "architecture": {arch: {"url": address + name, "hash": digest}
                         for name, _, arch, digest in reversed(zips)},
        "bin": "Quarvel.exe",
        "checkver": {"url": address + "SHA256SUMS", "regex": r"Quarvel-([\d.]+)-win(?:32|64)\.zip"},
        "autoupdate": {
            "architecture": {arch: {"url": later(address + name)} for name, _, arch, _ in reversed(zips)},
            "hash": {"url": "$baseurl/SHA256SUMS"},
        },
    }
    write(os.path.join(release_dir, "scoop", "quarvel.json"), json.dumps(scoop, indent=4) + "\n")


if __name__ == "__main__":
    main()
