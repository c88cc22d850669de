#!/usr/bin/env python3
"""Writes the package managers' manifests for a release.

Usage: make_manifests.py VERSION ADDRESS RELEASE_DIR [--homepage PAGE] [--latest URL]

ADDRESS is where the release's files will be downloaded from (the folder
that holds the zips, SHA256SUMS and LICENSE.txt), PAGE the project's page,
URL a place that always names the newest release (by default PAGE). For each
zip in RELEASE_DIR (Quarvel-VERSION-win32.zip, Quarvel-VERSION-win64.zip) it
writes, with the zip's SHA-256:
- a winget manifest set (schema 1.10.0: a zip with the portable Quarvel.exe
  in it, the command alias quarvel), each file headed by its schema, in
  RELEASE_DIR/winget/manifests/q/Quarvel/Quarvel/VERSION/; its ReleaseDate is
  the date of the commit built (or SOURCE_DATE_EPOCH), never the clock, and
  with PAGE it carries PackageUrl, PublisherUrl and LicenseUrl;
- with PAGE, a Scoop manifest, RELEASE_DIR/scoop/quarvel.json, whose
  checkver finds the newest version in what URL names first
  (Quarvel-X.Y.Z-win32.zip or -win64.zip) and whose autoupdate takes a
  newer version's files and digests from ADDRESS with that version in place
  of this one. Scoop requires a homepage, so without PAGE there is none.
"""
import argparse
import datetime
import hashlib
import json
import os
import subprocess

IDENTIFIER = "Quarvel.Quarvel"
SCHEMA = "1.10.0"
DESCRIPTION = "Moves or renames a file in use at the next restart."
# Each platform's zip, as winget and Scoop name its architecture.
ARCHITECTURES = [("win32", "x86", "32bit"), ("win64", "x64", "64bit")]
ZIP_NAME = r"Quarvel-([\d.]+)-win(?:32|64)\.zip"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write(text)


def release_date():
    """The date that names the sources built: the commit's, in UTC."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
        ["git", "log", "-1", "--format=%ct"], cwd=os.path.dirname(os.path.abspath(__file__)),
        stdout=subprocess.PIPE, check=True).stdout.decode().strip()
    return datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).strftime("%Y-%m-%d")


def winget(kind, lines):
    """One file of the set: its schema's header line, then its fields."""
    return ("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n"
            % (kind, SCHEMA) + "".join(lines) + "ManifestType: %s\nManifestVersion: %s\n" % (kind, SCHEMA))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    for name in ("version", "address", "release_dir"):
        parser.add_argument(name)
    parser.add_argument("--homepage")
    parser.add_argument("--latest")
    args = parser.parse_args()
    version, release_dir = args.version, args.release_dir
    address = args.address.rstrip("/") + "/"
    zips = []
    for platform, winget_arch, scoop_arch in ARCHITECTURES:
        name = "Quarvel-%s-%s.zip" % (version, platform)
        if os.path.isfile(os.path.join(release_dir, name)):
            with open(os.path.join(release_dir, name), "rb") as f:
                zips.append((name, winget_arch, scoop_arch, hashlib.sha256(f.read()).hexdigest()))
    if not zips:
        parser.exit(1, "make_manifests.py: no zip of version %s in %s\n" % (version, release_dir))

    head = ["PackageIdentifier: %s\n" % IDENTIFIER, "PackageVersion: %s\n" % version]
    pages = ["PublisherUrl: %s\n" % args.homepage, "PackageUrl: %s\n" % args.homepage,
             "LicenseUrl: %sLICENSE.txt\n" % address] if args.homepage else []
    folder = os.path.join(release_dir, "winget", "manifests", "q", "Quarvel", "Quarvel", version)
    write(os.path.join(folder, IDENTIFIER + ".yaml"), winget("version", head + ["DefaultLocale: en-US\n"]))
    write(os.path.join(folder, IDENTIFIER + ".locale.en-US.yaml"), winget("defaultLocale", head + [
        "PackageLocale: en-US\n", "Publisher: The Quarvel developers\n", "PackageName: Quarvel\n",
        "License: MIT\n"] + pages + ["ShortDescription: %s\n" % DESCRIPTION, "Moniker: quarvel\n"]))
    write(os.path.join(folder, IDENTIFIER + ".installer.yaml"), winget("installer", head + [
        "InstallerType: zip\n", "NestedInstallerType: portable\n", "NestedInstallerFiles:\n",
        "- RelativeFilePath: Quarvel.exe\n", "  PortableCommandAlias: quarvel\n",
        "ReleaseDate: %s\n" % release_date(), "Installers:\n"] + [
        "- Architecture: %s\n  InstallerUrl: %s%s\n  InstallerSha256: %s\n"
        % (arch, address, name, digest.upper()) for name, arch, _, digest in zips]))
    if not args.homepage:
        return

    # Later versions lie where this one does, with their version in place
    # of this one's.
    def later(text):
        return text.replace(version, "$version")

    scoop = {
        "version": version,
        "description": DESCRIPTION,
        "homepage": args.homepage,
        "license": "MIT",
        "architecture": {arch: {"url": address + name, "hash": digest}
                         for name, _, arch, digest in reversed(zips)},
        "bin": "Quarvel.exe",
        "checkver": {"url": args.latest or args.homepage, "regex": ZIP_NAME},
        "autoupdate": {
            "architecture": {arch: {"url": later(address + name)} for name, _, arch, _ in reversed(zips)},
            "hash": {"url": "$baseurl/SHA256SUMS"},
        },
    }
    write(os.path.join(release_dir, "scoop", "quarvel.json"), json.dumps(scoop, indent=4) + "\n")


if __name__ == "__main__":
    main()
