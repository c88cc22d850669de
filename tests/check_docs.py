#!/usr/bin/env python3
"""Checks that README.md and docs/ tell the truth about what they point to and
quote.

Usage: check_docs.py SOURCE_DIR

Every relative link must lead to a file, and its #anchor to a heading there.
The README's exit status table must hold the program's statuses, and
none of its table cells be over 150 characters. A quoted
text (in backticks, or a line of a code block) that begins as one of the
program's messages (src/messages.h) must be that message; the reference's
Messages section must hold every one, with the status each end-to-end case
ends with when it prints it; each refusal of the README's table must give the
status of the messages quoted in the section it links to. Each example in
docs/installers.md must be one the end-to-end tests run (nsis, bat) or say
that it is untested.
"""
import glob
import os
import re
import sys

SOURCE_DIR = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
import run_e2e  # noqa: E402  (its cases: what the program prints, with which status)

PLACEHOLDER = re.compile(r"%(?:ls|s|lu|ld)")


def read(name):
    with open(os.path.join(SOURCE_DIR, name), encoding="utf-8") as f:
        return f.read()


def slug(heading):
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def headings(text):
    return [slug(h) for h in re.findall(r"^#+ (.+)$", text, re.M)]


def without_code(text):
    return re.sub(r"`[^`\n]*`", "", re.sub(r"^```.*?^```", "", text, flags=re.M | re.S))


def quotes(text):
    """Backtick spans outside code blocks, and the lines of code blocks."""
    blocks = re.findall(r"^```[^\n]*\n(.*?)^```", text, re.M | re.S)
    spans = re.findall(r"`([^`\n]+)`", re.sub(r"^```.*?^```", "", text, flags=re.M | re.S))
    return spans + [line for block in blocks for line in block.splitlines()]


def messages():
    """Each line the program prints, "%s" and the like where it varies: a
    failure's reason follows "Error with: <argument>. ", and the reports of
    what is already pending end alike."""
    header = read("src/messages.h").replace("QUARVEL_VERSION_TEXT", '"%s"')
    bodies = dict(re.findall(r"^#define (MSG_\w+)((?:.*\\\n)*.*)$", header, re.M))

    def text(name):  # its literals, and the messages it is made of, in order
        return "".join(text(part) if part.startswith("MSG_") else part[1:-1].encode().decode("unicode_escape")
                       for part in re.findall(r'"(?:[^"\\]|\\.)*"|MSG_\w+', bodies[name])
                       if part in bodies or not part.startswith("MSG_"))
    parts = set(re.findall(r"MSG_\w+", "".join(bodies.values())))  # only pieces of other messages
    texts = {name: text(name) for name in bodies if name not in parts}
    tail = texts.pop("MSG_PENDING_TAIL")
    for name in [n for n in texts if re.match("MSG_(FOLDER_)?IN_PENDING|MSG_FOLDER_REPLACED", n)]:
        texts[name] += tail
    texts["MSG_ERROR_WITH"] += "%s"
    return [line for text in texts.values() for line in text.split("\n") if line.strip()]


def pattern(text, wildcard):
    return re.compile("".join("(.+)" if wildcard.fullmatch(part) else re.escape(part)
                              for part in re.split("(%s)" % wildcard.pattern, text)))


def starts_like(quote, message):
    words = message.split()[:3]
    return not any(PLACEHOLDER.search(w) for w in words) and quote.split()[:3] == words


def check_quote(quote, patterns, lines):
    quote = re.sub(r"<[^>]+>", "X", quote.strip())
    if any(p.fullmatch(quote) for p in patterns):
        return []
    said = re.fullmatch(r"Error with: .+?\. (.*)", quote)
    if said:
        return check_quote(said.group(1), patterns, lines)
    return ["%r is not what the program prints" % quote] if any(starts_like(quote, m) for m in lines) else []


def status_table(text, heading):
    """The rows of the tables of a section: the first cell, and the digits of the last."""
    table, previous = [], ""
    for line in text.split(heading + "\n", 1)[1].split("\n## ")[0].splitlines():
        if line.startswith("|") and previous.startswith("|") and not line.startswith("|---"):
            cells = [c.strip() for c in line.strip("|").split(" | ")]
            table.append((cells[0], set(re.findall(r"\d", cells[-1]))))
        previous = line
    return table


def section_of(text, anchor):
    parts = re.split(r"^(#+ .+)$", text, flags=re.M)
    for i in range(1, len(parts), 2):
        if slug(parts[i].lstrip("#")) == anchor:
            return parts[i + 1]
    return ""


def main():
    problems = []
    documents = ["README.md"] + sorted(os.path.relpath(p, SOURCE_DIR)
                                       for p in glob.glob(os.path.join(SOURCE_DIR, "docs", "*.md")))
    lines = messages()
    patterns = [pattern(line, PLACEHOLDER) for line in lines]
    for document in documents:
        text = read(document)
        for target in re.findall(r"\]\(([^)\s]+)\)", without_code(text)):
            if re.match(r"[a-z]+:", target):
                continue
            name, _, anchor = target.partition("#")
            path = os.path.normpath(os.path.join(os.path.dirname(document), name)) if name else document
            if not os.path.isfile(os.path.join(SOURCE_DIR, path)):
                problems.append("%s: link to a missing file %s" % (document, target))
            elif anchor and anchor not in headings(read(path)):
                problems.append("%s: link to a missing heading %s" % (document, target))
        problems += ["%s: %s" % (document, p) for q in quotes(text) for p in check_quote(q, patterns, lines)]

    readme, reference = read("README.md"), read("docs/reference.md")
    problems += ["README.md: a table cell of %d characters" % len(cell) for row in re.findall(r"^\|.*", readme, re.M)
                 for cell in row.strip("|").split(" | ") if len(cell.strip()) > 150]
    statuses = re.findall(r"\w+ = (\d+)", read("src/deferred_move/deferred_move.h").split("enum ExitStatus")[1].split("}")[0])
    if [s for s, _ in status_table(readme, "## Exit status")] != sorted(statuses):
        problems.append("README's exit status table does not list the statuses %s" % sorted(statuses))

    # The reference's Messages tables, each message as a pattern, with its statuses.
    listed = [(pattern(re.sub(r"<[^>]+>", "%s", m.strip("`")), PLACEHOLDER), s)
              for m, s in status_table(reference, "## Messages") if m.startswith("`")]
    listing = [re.sub(r"<[^>]+>", "X", q) for q in quotes(section_of(reference, "messages"))]
    for line, p in zip(lines, patterns):
        if not any(p.fullmatch(q) for q in listing):
            problems.append("the reference's Messages do not list %r" % line)
    for case in run_e2e.CASES:
        if isinstance(case["output"], bytes):
            for said in case["output"].decode("latin-1").split("\r\n"):
                said = re.sub(r"^Error with: .+?\. ", "", said.rstrip("\r"))
                for p, s in listed:
                    if p.fullmatch(said) and str(case["status"]) not in s:
                        problems.append("Messages give %s for %r; %r ends with %d"
                                        % (sorted(s), said, case["name"], case["status"]))
    for cell, status in status_table(readme, "## What Quarvel refuses"):
        anchor = re.search(r"#([\w-]+)\)", cell)
        quoted = quotes(section_of(reference, anchor.group(1))) if anchor else []
        found = set().union(*[s for p, s in listed for q in quoted if p.fullmatch(re.sub(r"<[^>]+>", "X", q))])
        if not anchor or (found and not status <= found):
            problems.append("README refuses %s with %s, its messages end with %s" % (cell, status, found))

    installers = read("docs/installers.md")
    for before, language in re.findall(r"((?:^(?!```).*\n){1,12})^```(\w+)\n", installers, re.M):
        if language not in ("nsis", "bat") and "untested" not in before.lower():
            problems.append("docs/installers.md: a %s example neither run nor marked untested" % language)

    for problem in problems:
        print("FAIL " + problem)
    print("%d problems in %s" % (len(problems), ", ".join(documents)))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
