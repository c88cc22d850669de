#!/usr/bin/env python3
"""Packages a release of Quarvel for Windows users.

Usage: make_release.py QUARVEL_EXE VERSION PLATFORM SOURCE_DIR OUT_DIR

Writes to OUT_DIR: Quarvel-VERSION-PLATFORM.zip (PLATFORM is win32 or win64;
the zip holds Quarvel.exe, README.txt, LICENSE.txt), a copy of Quarvel.exe as
PLATFORM/Quarvel.exe, and SHA256SUMS for both, in the format `sha256sum -c`
reads.

Where the maintainers' detached signature for this version and platform is
in SOURCE_DIR/signatures (Quarvel-VERSION-PLATFORM.exe.pem), it is attached
to the executable just built (osslsigncode attach-signature), which must then
verify (against the system's CA bundle, or QUARVEL_CA_FILE and
QUARVEL_TSA_CA_FILE) and, without it, be exactly the bytes built. The zip and
PLATFORM/Quarvel.exe then hold the signed executable, PLATFORM/unsigned/ the
one built, and SHA256SUMS lists all three. If anything fails, nothing is
left in OUT_DIR. The two platforms' folders together, with both SHA256SUMS in one, make
the release (script/release). README.txt is the part of README.md meant for
users, turned into plain ASCII text: every section but those marked as not in
it, and links into the other documents as their text (or, to a whole document,
with its path); both text files have CR LF line ends. The zip
is the same bytes for the same inputs: fixed times, order and attributes.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import zipfile

# Marks a section of README.md that is not for README.txt (install, building).
NOT_IN_README_TXT = "<!-- not in README.txt -->"
WIDTH = 78
# Characters Notepad on an old Windows would not show as meant.
ASCII_FOR = {"\u2014": "-", "\u2013": "-", "\u2019": "'", "\u201c": '"', "\u201d": '"'}


def inline(text):
    """Markdown inline marks to plain text."""
    text = text.replace("\\|", "|")
    text = re.sub(r"\*\*(.+?)\*\*", r"\1", text)
    text = re.sub(r"`([^`]*)`", r"\1", text)
    text = re.sub(r"\[([^\]]+)\]\(([^)#]+)\)", r"\1 (\2)", text)
    return re.sub(r"\[([^\]]+)\]\([^)]+\)", r"\1", text)


def table(rows):
    """A Markdown table as an indented list: each row's first cell, then the
    others under their column's heading."""
    cells = [[inline(c.strip()) for c in re.split(r"(?<!\\)\|", row.strip())[1:-1]] for row in rows]
    header, body = cells[0], cells[2:]
    lines = []
    for row in body:
        lines += textwrap.wrap(row[0], WIDTH, initial_indent="  * ", subsequent_indent="    ")
        for heading, cell in zip(header[1:], row[1:]):
            lines += textwrap.wrap("%s: %s" % (heading, cell), WIDTH, initial_indent="    ",
                                   subsequent_indent="      ")
    return lines


def readme_text(markdown, version):
    """The users' part of README.md as plain text."""
    markdown = re.sub(r"%s\n## .*?(?=^## )" % re.escape(NOT_IN_README_TXT), "", markdown,
                      flags=re.M | re.S).replace("<version>", version)
    for char, ascii_char in ASCII_FOR.items():
        markdown = markdown.replace(char, ascii_char)
    lines, block, rows, paragraph = [], False, [], []
    for line in markdown.splitlines() + [""]:
        # A paragraph is converted whole, so that marks may span its lines.
        if paragraph and (not line.strip() or line.startswith(("|", "```", "#"))):
            lines += inline("\n".join(paragraph)).split("\n")
            paragraph = []
        if line.startswith("|"):
            rows.append(line)
            continue
        if rows:
            lines += table(rows)
            rows = []
        if line.startswith("```"):
            block = not block
        elif block:
            lines.append("    " + line)
        elif line.startswith("#"):
            title = line.lstrip("#").strip()
            lines += [title, ("=" if line.startswith("# ") else "-") * len(title)]
        elif line.strip():
            paragraph.append(line)
        else:
            lines.append("")
    text = "\n".join(lines).strip() + "\n"
    text.encode("ascii")  # fails on any character left outside ASCII
    return text


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def add(archive, name, data):
    info = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
    info.create_system = 0  # MS-DOS attributes, as Windows' own zips have
    info.external_attr = 0x20  # archive bit
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data, compresslevel=9)


class ReleaseStopped(RuntimeError):
    """The signature offered cannot make a signed release of this build."""


def osslsigncode(*args):
    done = subprocess.run(["osslsigncode"] + list(args), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, check=False)
    # What it says of a failure, without the report of what it checked.
    said = [" ".join(line.split()) for line in done.stdout.decode(errors="replace").splitlines()
            if any(word in line.lower() for word in ("mismatch", "fail", "error", "unable", "invalid"))]
    return done.returncode == 0, "; ".join(said[:4]) or "status %d" % done.returncode


def signed(exe, signature):
    """The executable with the detached signature attached, checked."""
    trust = []
    if os.environ.get("QUARVEL_CA_FILE"):
        trust += ["-CAfile", os.environ["QUARVEL_CA_FILE"]]
    if os.environ.get("QUARVEL_TSA_CA_FILE") or os.environ.get("QUARVEL_CA_FILE"):
        trust += ["-TSA-CAfile", os.environ.get("QUARVEL_TSA_CA_FILE") or os.environ["QUARVEL_CA_FILE"]]
    with tempfile.TemporaryDirectory() as work:
        attached, removed = os.path.join(work, "signed.exe"), os.path.join(work, "removed.exe")
        # osslsigncode leaves its output behind when attaching fails: it is
        # in the temporary folder, which goes with it.
        for step, args in (("attaching it", ["attach-signature", "-sigin", signature] + trust
                            + ["-in", exe, "-out", attached]),
                           ("verifying the signed executable", ["verify"] + trust + ["-in", attached]),
                           ("removing it again", ["remove-signature", "-in", attached, "-out", removed])):
            ok, said = osslsigncode(*args)
            if not ok:
                raise ReleaseStopped("%s: %s failed: %s" % (signature, step, said))
        with open(exe, "rb") as built, open(removed, "rb") as unsigned:
            if built.read() != unsigned.read():
                raise ReleaseStopped("%s: without it, the signed executable is not the one built"
                                     % signature)
        with open(attached, "rb") as f:
            return f.read()


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    exe, version, platform, source_dir, out_dir = sys.argv[1:]
    with open(os.path.join(source_dir, "README.md"), encoding="utf-8") as f:
        readme = readme_text(f.read(), version)
    with open(os.path.join(source_dir, "LICENSE"), encoding="ascii") as f:
        licence = f.read()
    with open(exe, "rb") as f:
        program = f.read()
    shutil.rmtree(out_dir, ignore_errors=True)
    signature = os.path.join(source_dir, "signatures", "Quarvel-%s-%s.exe.pem" % (version, platform))
    unsigned = None
    if os.path.isfile(signature):
        try:
            program, unsigned = signed(exe, signature), program
        except (ReleaseStopped, OSError) as error:
            sys.exit("make_release.py: no release made, the signature does not fit: %s" % error)

    os.makedirs(out_dir)
    zip_name = "Quarvel-%s-%s.zip" % (version, platform)
    with zipfile.ZipFile(os.path.join(out_dir, zip_name), "w") as archive:
        add(archive, "Quarvel.exe", program)
        add(archive, "README.txt", crlf(readme))
        add(archive, "LICENSE.txt", crlf(licence))
    names = [zip_name, platform + "/Quarvel.exe"] + ([platform + "/unsigned/Quarvel.exe"] if unsigned else [])
    for name, data in zip(names[1:], (program, unsigned)):
        os.makedirs(os.path.dirname(os.path.join(out_dir, name)), exist_ok=True)
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", newline="\n") as sums:
        for name in names:
            sums.write("%s  %s\n" % (sha256(os.path.join(out_dir, name)), name))


if __name__ == "__main__":
    main()
