#!/usr/bin/env python3
"""Checks the release: that it is reproducible and holds what it should.

Usage: check_release.py PLATFORM SOURCE_DIR QUARVEL_EXE RELEASE_DIR WORK_DIR

PLATFORM is the build's, win32 or win64. Copies the sources into two
folders under WORK_DIR and builds the release from each, a moment apart; the
executable and the zip must be byte for byte those of the build under test
(QUARVEL_EXE, RELEASE_DIR). Then unpacks that zip: exactly Quarvel.exe (identical to the build's), README.txt and
LICENSE.txt (ASCII, every line ending in CR LF); PLATFORM/Quarvel.exe must be
the build's too, and SHA256SUMS must list the zip and it with their digests.

Then a signed release, with throwaway keys: script/sign signs the build
under test (with an offline timestamp), and its detached signature, put in
both copies' signatures/, is attached to each rebuild: both must give the
same bytes, which verify, and without the signature are the build's; the zip
holds the signed executable. The other architecture's signature, offered
instead, must stop the release, saying that it does not fit, and leave no zip. The winget and Scoop
manifests must carry the zip's digest, validate against winget's and Scoop's
own schemas (schemas/, with Debian's python3-jsonschema), begin with
winget's schema header lines, and Scoop's checkver, replayed against a
local folder that lists a newer version, must find it and autoupdate must
name its zip.
"""
import glob
import hashlib
import io
import json
import os
import re
import shutil
import subprocess
import sys
import time
import urllib.request
import zipfile

import jsonschema
import yaml


# The preset that builds each platform's release.
PRESETS = {"win32": "windows", "win64": "windows64"}
OTHER = {"win32": "win64", "win64": "win32"}

# A test CA with a code-signing and a timestamping certificate, valid from
# 2000 to 2099, so that an offline timestamp of any date in between holds.
OPENSSL_CONFIG = """
[req]
distinguished_name = dn
[dn]
[ca]
default_ca = test_ca
[test_ca]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
[any]
commonName = supplied
[v3_ca]
basicConstraints = critical,CA:TRUE
[v3_code]
extendedKeyUsage = codeSigning
[v3_tsa]
extendedKeyUsage = critical,timeStamping
"""


def make_test_keys(folder):
    """Throwaway keys in `folder`: returns the CA's certificate and what
    script/sign takes, with osslsigncode's offline timestamping."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "openssl.cnf"), "w") as f:
        f.write(OPENSSL_CONFIG)
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("01\n")
    for name, extensions in (("ca", "v3_ca"), ("code", "v3_code"), ("tsa", "v3_tsa")):
        for command in (["openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-config", "openssl.cnf",
                         "-subj", "/CN=Quarvel test " + name, "-keyout", name + ".key", "-out", name + ".csr"],
                        ["openssl", "ca", "-batch", "-config", "openssl.cnf", "-notext", "-extensions",
                         extensions, "-startdate", "20000101000000Z", "-enddate", "20991231235959Z",
                         "-keyfile", "ca.key", "-in", name + ".csr", "-out", name + ".pem"]
                        + (["-selfsign"] if name == "ca" else ["-cert", "ca.pem"])):
            subprocess.run(command, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           check=True)
    def path(name):
        return os.path.join(folder, name)

    for chain, leaf in (("chain.pem", "code.pem"), ("tsa-chain.pem", "tsa.pem")):
        with open(path(chain), "wb") as f:
            f.write(read(path(leaf)) + read(path("ca.pem")))
    return path("ca.pem"), ["--certs", path("chain.pem"), "--key", path("code.key"), "--",
                            "-TSA-certs", path("tsa-chain.pem"), "-TSA-key", path("tsa.key"),
                            "-TSA-time", "1700000000"]


def sign(source_dir, exe, folder, keys):
    """script/sign's detached signature of an executable, in `folder`."""
    subprocess.run([os.path.join(source_dir, "script", "sign"), "--signatures", folder, exe] + keys[1],
                   stdout=subprocess.DEVNULL, check=True)
    (signature,) = glob.glob(os.path.join(folder, "*.pem"))
    return signature


def build(folder, preset, target, env=None):
    """Builds a target of a copy of the sources: whether it built, and what it printed."""
    done = [subprocess.run(command, cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            for command in (["cmake", "--preset", preset],
                            ["cmake", "--build", "--preset", preset, "--target", target])]
    return all(d.returncode == 0 for d in done), b"".join(d.stdout for d in done).decode(errors="replace")


def signed_release(platform, source_dir, exe, work_dir, zip_name):
    """Signs the build, attaches the signature to both copies' rebuilds and
    offers the other architecture's instead; returns what went wrong."""
    keys = make_test_keys(os.path.join(work_dir, "keys"))
    env = dict(os.environ, QUARVEL_CA_FILE=keys[0])
    preset, signature_name = PRESETS[platform], zip_name.replace(".zip", ".exe.pem")
    signature = sign(source_dir, exe, os.path.join(work_dir, "signature"), keys)
    problems, releases = [], []
    if os.path.basename(signature) != signature_name:
        problems.append("script/sign wrote %s" % signature)
    for copy in ("a", "b"):
        folder = os.path.join(work_dir, copy)
        os.makedirs(os.path.join(folder, "signatures"), exist_ok=True)
        shutil.copy(signature, os.path.join(folder, "signatures", signature_name))
        releases.append(os.path.join(folder, "build", preset, "release"))
        if not build(folder, preset, "release_zip", env)[0]:
            return problems + ["the release with the signature attached failed in %s" % copy]
    signed = read(os.path.join(releases[0], platform, "Quarvel.exe"))
    for name in (zip_name, platform + "/Quarvel.exe", platform + "/unsigned/Quarvel.exe", "SHA256SUMS"):
        if read(os.path.join(releases[0], name)) != read(os.path.join(releases[1], name)):
            problems.append("signed, %s differs between the two rebuilds" % name)
    removed = os.path.join(work_dir, "removed.exe")
    for command in (["verify", "-CAfile", keys[0], "-TSA-CAfile", keys[0], "-in",
                     os.path.join(releases[0], platform, "Quarvel.exe")],
                    ["remove-signature", "-in", os.path.join(releases[0], platform, "Quarvel.exe"),
                     "-out", removed]):
        if subprocess.run(["osslsigncode"] + command, stdout=subprocess.DEVNULL).returncode != 0:
            problems.append("osslsigncode %s failed on the signed executable" % command[0])
    if not os.path.isfile(removed) or read(removed) != read(exe):
        problems.append("without its signature, the signed executable is not the build's")
    if read(os.path.join(releases[0], platform, "unsigned", "Quarvel.exe")) != read(exe):
        problems.append("the release's unsigned executable is not the build's")
    if zipfile.ZipFile(os.path.join(releases[0], zip_name)).read("Quarvel.exe") != signed:
        problems.append("the zip does not hold the signed executable")
    print("signed: %d bytes, %d more than unsigned" % (len(signed), len(signed) - len(read(exe))))

    problems += check_manifests(source_dir, releases[0], zip_name, work_dir)

    # The other architecture's signature stops the release, leaving no zip.
    other = os.path.join(work_dir, "a")
    if not build(other, PRESETS[OTHER[platform]], "Quarvel")[0]:
        return problems + ["the %s build failed" % OTHER[platform]]
    foreign = sign(source_dir, os.path.join(other, "build", PRESETS[OTHER[platform]], "Quarvel.exe"),
                   os.path.join(work_dir, "foreign"), keys)
    offered = os.path.join(work_dir, "b", "signatures", signature_name)
    shutil.copy(foreign, offered)
    built, said = build(os.path.join(work_dir, "b"), preset, "release_zip", env)
    if built or "no release made, the signature does not fit: " + offered not in said:
        problems.append("the %s signature was not refused as one that does not fit the %s build: %s"
                        % (OTHER[platform], platform, said[-500:]))
    if os.path.exists(releases[1]) and os.listdir(releases[1]):
        problems.append("a failed signed release left %s" % os.listdir(releases[1]))
    return problems


def check_manifests(source_dir, release_dir, zip_name, work_dir):
    """The manifests carry the zip's digest, are what winget and Scoop
    accept, and Scoop finds a newer version where the newest is named."""
    problems = []
    version = zip_name.split("-")[1]
    latest = os.path.join(work_dir, "latest")
    os.makedirs(latest, exist_ok=True)
    with open(os.path.join(latest, "SHA256SUMS"), "w") as f:
        f.write("%s  %s\n" % ("0" * 64, zip_name.replace(version, "9.10.0")))
    subprocess.run([sys.executable, os.path.join(source_dir, "cmake", "make_manifests.py"), version,
                    "https://example.org/quarvel/%s" % version, release_dir, "--homepage",
                    "https://example.org/quarvel", "--latest", "file://%s/SHA256SUMS" % latest], check=True)
    digest = hashlib.sha256(read(os.path.join(release_dir, zip_name))).hexdigest()
    schemas = os.path.join(source_dir, "tests", "release", "schemas")
    for path in glob.glob(os.path.join(release_dir, "winget", "**", "*.yaml"), recursive=True):
        text = read(path).decode()
        manifest = yaml.load(text, Loader=yaml.BaseLoader)  # every value a string, as winget reads it
        kind = manifest.get("ManifestType")
        header = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.10.0.schema.json\n" % kind
        if not text.startswith(header) or manifest.get("ManifestVersion") != "1.10.0":
            problems.append("%s does not begin with its schema header line" % os.path.basename(path))
        problems += invalid(manifest, os.path.join(schemas, "winget-1.10.0", "manifest.%s.1.10.0.json" % kind))
        if kind == "installer" and [i["InstallerSha256"] for i in manifest["Installers"]] != [digest.upper()]:
            problems.append("the winget manifest does not carry the zip's digest %s" % digest)
    scoop = json.loads(read(os.path.join(release_dir, "scoop", "quarvel.json")))
    problems += invalid(scoop, os.path.join(schemas, "scoop", "schema.json"))
    if [arch["hash"] for arch in scoop["architecture"].values()] != [digest]:
        problems.append("the Scoop manifest does not carry the zip's digest %s" % digest)
    # As Scoop's checkver reads it: the first match of its regex, with
    # $version for the current one; then autoupdate's addresses.
    page = urllib.request.urlopen(scoop["checkver"]["url"].replace("$version", version)).read().decode()
    found = re.search(scoop["checkver"]["regex"], page)
    newer = found.group(1) if found else None
    urls = [a["url"].replace("$version", newer or "") for a in scoop["autoupdate"]["architecture"].values()]
    if newer != "9.10.0" or urls != ["https://example.org/quarvel/9.10.0/" + zip_name.replace(version, newer)]:
        problems.append("Scoop's checkver found %r there, and autoupdate would fetch %r" % (newer, urls))
    return problems


def invalid(manifest, schema_path):
    """What the schema finds wrong with a manifest."""
    schema = json.loads(read(schema_path))
    return ["%s: %s" % (os.path.basename(schema_path), error.message)
            for error in jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
            .iter_errors(manifest)]


def build_copy(preset, source_dir, folder):
    """Builds the release from a copy of the sources; returns its folder."""
    shutil.rmtree(folder, ignore_errors=True)
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=source_dir,
                           stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name in filter(None, files):
        if os.path.isfile(os.path.join(source_dir, name)):
            os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
            shutil.copy2(os.path.join(source_dir, name), os.path.join(folder, name))
    if not build(folder, preset, "release_zip")[0]:
        raise RuntimeError("the release did not build in %s" % folder)
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

    # Once the maintainers have signed it, the release holds the signed
    # executable, and the build's in unsigned/.
    archive = zipfile.ZipFile(io.BytesIO(read(zip_path)))
    names = archive.namelist()
    executables = [platform + "/Quarvel.exe"] + [
        name for name in [platform + "/unsigned/Quarvel.exe"] if os.path.isfile(os.path.join(release_dir, name))]
    if names != ["Quarvel.exe", "README.txt", "LICENSE.txt"]:
        problems.append("zip holds %s" % names)
    elif (archive.read("Quarvel.exe") != read(os.path.join(release_dir, executables[0]))
          or read(os.path.join(release_dir, executables[-1])) != read(exe)):
        problems.append("the zip's or the release's Quarvel.exe is not the build's")
    for name in names[1:]:
        text = archive.read(name)
        if text.count(b"\n") == 0 or text.count(b"\n") != text.count(b"\r\n"):
            problems.append("%s has a line end other than CR LF" % name)
        if any(byte > 0x7F for byte in text) or b"<version>" in text or b"```" in text:
            problems.append("%s is not plain ASCII text" % name)

    problems += signed_release(platform, source_dir, exe, work_dir, os.path.basename(zip_path))

    sums = {}
    for line in read(os.path.join(release_dir, "SHA256SUMS")).decode().splitlines():
        digest, name = line.split("  ")
        sums[name] = digest
    if sorted(sums) != sorted([os.path.basename(zip_path)] + executables):
        problems.append("SHA256SUMS lists %s" % sorted(sums))
    for name in sums:
        digest = hashlib.sha256(read(os.path.join(release_dir, name))).hexdigest()
        if sums.get(name) != digest:
            problems.append("SHA256SUMS has %r for %s, the file %s" % (sums.get(name), name, digest))

    for problem in problems:
        print("FAIL " + problem)
    print("%d passed, %d failed: release reproducible and complete, signed and unsigned"
          % (0 if problems else 1, 1 if problems else 0))
    shutil.rmtree(work_dir, ignore_errors=True)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
