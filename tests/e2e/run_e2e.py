#!/usr/bin/env python3
"""End-to-end tests of Quarvel.exe under Wine, through the restart.

Usage: run_e2e.py ARCH QUARVEL_EXE WORK_DIR ARGV_LAUNCH ARGV_MSVCRT ARGV_RUNTIME RELEASE_ZIP DENY_READING

ARCH is the build's: win32 or win64. Creates a throwaway Wine prefix of that
architecture in WORK_DIR (never the user's own), then runs
every case below: it sets the Windows version Wine reports, lays out the
case's files in C:\\e2e (and on drives D:, a second local drive, N:, a
network drive, E:, a CD-ROM, and F:, a floppy), runs the executable there and checks the exact bytes
it printed, its exit status, what it registered (the registry's pending
renames, the [rename] section of wininit.ini) and what a restart
(wineboot -r) does with it. It also compares the program's own command-line
splitting (ARGV_RUNTIME) with msvcrt's (ARGV_MSVCRT) on one table of command
lines passed exactly by ARGV_LAUNCH, and runs one case with the Quarvel.exe
taken from RELEASE_ZIP, the file users download, signed: where the zip's
carries no signature yet, one of a throwaway key is attached to it, as
script/release attaches the maintainers'. DENY_READING denies reading the
pending moves for one case. The installer examples of docs/installers.md are
built with makensis for ARCH and run silently, with the cmd script, beside
QUARVEL_EXE. The prefix's wineserver is stopped at the end,
pass or fail.

Where the 32-bit build's Wine cannot start (not installed, or a kernel that
runs no 32-bit code), it says so and ends with status 77, which CTest reports
as a skipped test; for the 64-bit build, whose Wine runs on every x86-64
kernel, that is a failure. Either way it writes one line to WORK_DIR/ran-on saying what
the cases ran on, or why they did not run.
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile

from wine_prefix import LOADERS, NO_RANDOMIZATION, SESSION_MANAGER, Wine, WineFailure

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "release"))
from check_release import make_test_keys, sign  # noqa: E402


def version():
    """The version, as src/version.h gives it."""
    with open(os.path.join(SOURCE_DIR, "src", "version.h")) as header:
        numbers = dict(re.findall(r"#define QUARVEL_VERSION_(MAJOR|MINOR|PATCH) (\d+)", header.read()))
    return "%s.%s.%s" % (numbers["MAJOR"], numbers["MINOR"], numbers["PATCH"])


BANNER = ("Quarvel %s - moves or renames a file in use at the next restart\r\n\r\n"
          % version()).encode()
USAGE = b"Usage: Quarvel.exe Source Destination\r\n\r\n"
MOVED = b"\r\nMove or rename after reboot\r\n"


def outcome(description):
    return b"Current OS: " + description.encode() + MOVED


def report(argument, text):
    # The system's text ends in CR LF; the runtime writes its LF as CR LF.
    return ("Error with: %s. %s\r\r\n" % (argument, text)).encode("latin-1")


def refused(argument, text):
    # The program's own reasons end in "\n" alone, written as CR LF.
    return ("Error with: %s. %s\r\n" % (argument, text)).encode("latin-1")


def console_report(argument, text):
    """A report as a console shows it (read as UTF-8 from Wine's terminal)."""
    return ("Error with: %s. %s\r\n" % (argument, text)).encode()


def entry(destination, source):
    """wininit.ini as written for one entry, as an exact pattern."""
    return re.escape("[rename]\r\n%s=%s\r\n" % (destination, source))


# A short (8.3) name for a long one in C:\e2e, as Wine makes them.
SHORT = r"C:\\e2e\\[A-Z0-9_]{1,6}~[A-Z0-9_]{1,3}\.DLL"
LONG_NAMES = {"new version.dll": "new", "library in use.dll": "old"}
NETWORK = "Network drives are not available while Windows starts."
NOT_FIXED = "Only files on a fixed local disk can be replaced at the restart."
PAIR = {"a.txt": "source", "b.txt": "destination"}
MOVED_PAIR = {"b.txt": "source", "a.txt": None}
NT_PAIR = [r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\b.txt"]


def case(name, version, output, args=("a.txt", "b.txt"), files=PAIR, status=0, after=PAIR,
         **registered):
    """One row: the Windows version Wine reports, the arguments, the files in
    C:\\e2e (a name ending in "/" is a folder, one with a drive letter is on
    that drive), the exit status, the output after the banner (bytes, or a
    pattern), the files after the restart (None: the name is gone), and what
    must be registered: `pending` renames in the registry, a pattern for
    `wininit`, and an optional `setup` and `cleanup` (given the prefix; the
    cleanup runs right after the program);
    `earlier`, argument lists run first, each of which must succeed;
    `pending_before`, the registry's pending renames before the runs; with
    `console`, the program runs on a terminal, where Wine gives it a
    console, and `output` is what it shows. A row with `wow64` is about 64-bit
    Windows: it runs in a 64-bit prefix, for the 32-bit build a second one.
    A row with a `locale` runs Quarvel with that LC_ALL, which chooses Wine's
    code pages: C.UTF-8 gives 1252, ru_RU.UTF-8 1251, ja_JP.UTF-8 932. A row
    with `ansi` is about the ANSI and OEM functions of 95/98: it runs for
    the 32-bit build alone."""
    return dict(name=name, version=version, args=list(args), files=files, status=status,
                output=output, after=after, **registered)


def moved(version, description, **registered):
    """a.txt registered to replace b.txt, and the restart carrying it out."""
    return case(version + " moves at restart", version, outcome(description), after=MOVED_PAIR,
                **registered)


# Wine refuses MSVCRT.DLL, as a clean Windows 95 or NT 3.51 lacks it.
NO_MSVCRT = "mscoree,mshtml,msvcrt="

NT = dict(pending=NT_PAIR)
WIN9X = dict(wininit=entry(r"C:\e2e\b.txt", r"C:\e2e\a.txt"))
LONG_MOVED = {"library in use.dll": "new", "new version.dll": None}

SHIPPED = r"C:\shipped\Quarvel.exe"

# Files in the native System32 of a 64-bit prefix, which 32-bit programs see
# only with the redirector off, as the restart sees them.
SYSTEM32 = {r"C:\windows\system32\qnew.dll": "new", r"C:\windows\system32\qonly64.dll": "old"}
SYSNATIVE = (r"C:\windows\sysnative\qnew.dll", "The Sysnative folder exists only for 32-bit "
             "programs, and the restart does not know it: name the file through System32.")

# Names as Windows holds them. Beside złoty.dll lies its best-fit look-alike
# in code page 1252, zloty.dll; a fullwidth quotation mark is no quote; a
# path over MAX_PATH; a double-byte name whose second byte is a backslash.
LOOK_ALIKES = {"new.dll": "new", "złoty.dll": "old", "zloty.dll": "other"}
LONG_FOLDER = "\\".join(["d" * 100] * 3)
LONG_PAIR = {"a.txt": "new", LONG_FOLDER + "\\b.txt": "old"}
KANJI = {"a 表": "new", "b.txt": "old"}  # 表 is 95 5C in code page 932

# Requests combine with what is already pending; a file that takes part in a
# pending move is refused, the very pair is not registered twice.
THREE = {"a.txt": "A", "b.txt": "B", "c.txt": "C"}
PENDING_TEXT = (" is already pending for the next start, and the two would combine: restart "
                "Windows first, then run again.")
A_ONTO_B = r"A move of C:\e2e\a.txt onto C:\e2e\b.txt" + PENDING_TEXT
A_ONTO_C = r"A move of C:\e2e\a.txt onto C:\e2e\c.txt" + PENDING_TEXT
# Pending names that name a file or a folder that holds it by another
# spelling: LONG~WDY is Wine's short name of "long folder"; j, a link to sub.
SUB = {r"sub\a.txt": "A", r"sub\b.txt": "B"}
APP = {r"app\new.dll": "new", r"app\lib.dll": "lib"}
APP_MOVED = ["\\??\\C:\\e2e\\app\\", "!\\??\\C:\\e2e\\appold\\"]
SPELT_98 = "[rename]\r\nC:/e2e/./sub/..//b.txt=C:\\e2e\\x.txt\r\n"
LONG_FOLDER_PAIR = {r"long folder\long name a.txt": "A", r"long folder\long name b.txt": "B"}
DAMAGED = ("The list of moves already pending for the next start cannot be read whole, and a move "
           "added to it could be lost: restart Windows first, which clears the list, then run again.")
ODD_VALUE = "\\??\\C:\\e2e\\x.txt\0!\\??\\C:\\e2e\\y.txt\0\0".encode("utf-16-le") + b"\0"
# Readable whole, but not with one more line: Quarvel's own would cut it.
WININIT_NEARLY_32K = "[rename]\r\n" + "".join("C:\\E2E\\NOFILE%04d.TXT=C:\\E2E\\NOSRC%04d.TXT\r\n" % (n, n)
                                             for n in range(761)) + "C:\\E2E\\F.TXT=C:\\E2E\\G.TXT\r\n"
WININIT_OVER_32K = "[rename]\r\n" + "".join("C:\\E2E\\NOFILE%04d.TXT=C:\\E2E\\NOSRC%04d.TXT\r\n" % (n, n)
                                           for n in range(900))


STAGE_SAFELY = ("move it to a folder only administrators and SYSTEM can write, all the way up to the drive's "
                "root, then run again.")
FOLDER_OPEN = ("Another account can replace a folder on its path, as the permissions of %s allow, and so the file "
               "the restart moves: " + STAGE_SAFELY)
DESTINATION_PATH_OPEN = ("Another account can change or replace it, and a folder on Destination's path, as the "
                         "permissions of %s allow, and so choose where the restart puts it: " + STAGE_SAFELY)
OPEN_D = {"a.txt": "new", r"d\y\old.dll": "old"}
OPEN_S = {r"s\x\new.dll": "new", "b.txt": "old"}

LOCK_NAME_TAKEN = ("Another program holds Global\\Quarvel pending moves, the name of the lock that keeps two "
                   "registrations apart, so Quarvel cannot be sure that none runs at the same time: end that "
                   "program, or restart Windows, then run again.")
ELEVATE = ("Only an administrator can register a move for the restart: run Quarvel from a prompt "
           "opened with Run as administrator.\r\n").encode()


def deny_reading(wine, deny):
    wine.run(["program", r"C:\quarvel\DenyReading.exe", "deny" if deny else "allow"])


HOLDING = []


def hold(wine, *what):
    """Starts DenyReading holding an event named as Quarvel's own lock, and
    perhaps \\PendingRenameMutex (held or free), until release()."""
    process = subprocess.Popen(NO_RANDOMIZATION + [LOADERS[wine.programs], r"C:\quarvel\DenyReading.exe", "hold"]
                               + list(what), env=dict(wine.env, WINELOADER=LOADERS[wine.programs]),
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    if process.stdout.readline().strip() != b"ready":
        raise WineFailure("DenyReading hold %s did not start" % " ".join(what))
    HOLDING.append(process)


def release(wine):
    while HOLDING:
        process = HOLDING.pop()
        process.kill()
        process.wait()


def write_wininit(wine, text):
    with open(os.path.join(wine.drive_c, "windows", "wininit.ini"), "w", newline="") as f:
        f.write(text)


# One file, spelt over MAX_PATH in ways the \\?\ form alone would not take.
SPELT = ["C:/e2e/%s/b.txt" % LONG_FOLDER.replace("\\", "/"),
         "C:\\e2e\\.\\%s\\..\\%s\\\\b.txt" % (LONG_FOLDER, "d" * 100)]

CASES = [
    moved("win10", "Windows NT 10.0 build 18362 ", **NT),
    dict(moved("win98", "Windows 98 4.10 build 2222  A ", **WIN9X),
         name="the Quarvel.exe from the release zip moves at restart on win98", exe=SHIPPED),
    moved("win7", "Windows NT 6.1 build 7601 Service Pack 1", **NT),
    moved("winxp", "Windows NT 5.1 build 2600 Service Pack 3", **NT),
    moved("win2k", "Windows NT 5.0 build 2195 Service Pack 4", **NT),
    moved("nt40", "Windows NT 4.0 build 1381 Service Pack 6a", **NT),
    moved("nt351", "Windows NT 3.51 build 1057 Service Pack 5", **NT),
    moved("winme", "Windows 98 4.90 build 3000  ", **WIN9X),
    moved("win98", "Windows 98 4.10 build 2222  A ", **WIN9X),
    moved("win95", "Windows 95 4.0 build 950 ", **WIN9X),
    case("nt351 without MSVCRT.DLL moves", "nt351",
         outcome("Windows NT 3.51 build 1057 Service Pack 5"), after=MOVED_PAIR,
         overrides=NO_MSVCRT, **NT),
    case("win95 without MSVCRT.DLL moves", "win95", outcome("Windows 95 4.0 build 950 "),
         after=MOVED_PAIR, overrides=NO_MSVCRT, **WIN9X),
    case("nt351 without MSVCRT.DLL reports a failure", "nt351",
         report("gone.txt", "File not found."), args=["a.txt", "gone.txt"], status=3,
         overrides=NO_MSVCRT),
    case("win95 without MSVCRT.DLL reports a failure", "win95",
         report("gone.txt", "File not found."), args=["gone.txt", "b.txt"], status=2,
         overrides=NO_MSVCRT),
    case("win31 is not supported", "win31", b"Windows 3.10 Win32s 1.3 not supported."),
    case("NT long names with spaces", "win7", outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=["new version.dll", "library in use.dll"], files=LONG_NAMES, after=LONG_MOVED,
         pending=[r"\??\C:\e2e\new version.dll", r"!\??\C:\e2e\library in use.dll"]),
    case("98 long source name becomes its short name", "win98",
         outcome("Windows 98 4.10 build 2222  A "), args=["new version.dll", "b.txt"],
         files={"new version.dll": "new", "b.txt": "old"},
         after={"b.txt": "new", "new version.dll": None},
         wininit=r"\[rename\]\r\n%s=%s\r\n" % (re.escape(r"C:\e2e\b.txt"), SHORT)),
    case("98 long destination name is refused", "win98",
         re.compile(re.escape(refused("library in use.dll", "Windows 95 and 98 can replace it at "
                                      "the restart only under its short name, ")[:-2])
                    + rb"[A-Z0-9_]{1,6}~[A-Z0-9_]{1,3}\.DLL\.\r\n"),
         args=["new version.dll", "library in use.dll"], files=LONG_NAMES, after=LONG_NAMES,
         status=5),
    case("folder as source destroys nothing", "win7", refused("folder", "It is a folder, not a file."),
         args=["folder", "a.txt"], files={"folder/": None, "a.txt": "old"},
         after={"folder/": None, "a.txt": "old"}, status=2),
    case("folder as destination on 98", "win98", refused("folder", "It is a folder, not a file."),
         args=["a.txt", "folder"], files={"a.txt": "new", "folder/": None},
         after={"a.txt": "new", "folder/": None}, status=3),
    case("source on a network drive", "win7", refused(r"N:\a.txt", NETWORK),
         args=[r"N:\a.txt", "b.txt"], files={r"N:\a.txt": "new", "b.txt": "old"},
         after={r"N:\a.txt": "new", "b.txt": "old"}, status=5),
    case("destination on a network drive on 98", "win98", refused(r"N:\b.txt", NETWORK),
         args=["a.txt", r"N:\b.txt"], files={"a.txt": "new", r"N:\b.txt": "old"},
         after={"a.txt": "new", r"N:\b.txt": "old"}, status=5),
    case("source on a CD-ROM drive", "win7", refused(r"E:\a.txt", NOT_FIXED),
         args=[r"E:\a.txt", r"E:\b.txt"], files={r"E:\a.txt": "new", r"E:\b.txt": "old"},
         after={r"E:\a.txt": "new", r"E:\b.txt": "old"}, status=5),
    case("destination on a floppy drive on 98", "win98", refused(r"F:\b.txt", NOT_FIXED),
         args=["a.txt", r"F:\b.txt"], files={"a.txt": "new", r"F:\b.txt": "old"},
         after={"a.txt": "new", r"F:\b.txt": "old"}, status=5),
    case("read-only destination", "win7",
         refused("b.txt", "It is read-only, and the restart cannot replace it: clear the attribute "
                 "first (attrib -r), then run again."), status=5,
         setup=lambda wine: os.chmod(os.path.join(wine.drive_c, "e2e/b.txt"), 0o444)),
    case("another drive", "win7", report("a.txt", "Not same device."),
         args=["a.txt", r"D:\b.txt"], files={"a.txt": "new", r"D:\b.txt": "old"},
         after={"a.txt": "new", r"D:\b.txt": "old"}, status=5),
    case("another drive on 98", "win98", report("a.txt", "Not same device."),
         args=["a.txt", r"D:\b.txt"], files={"a.txt": "new", r"D:\b.txt": "old"},
         after={"a.txt": "new", r"D:\b.txt": "old"}, status=5),
    case("the same file twice", "win7",
         refused("a.txt", "Source and Destination are the same file."),
         args=["a.txt", r".\A.TXT"], files={"a.txt": "one"}, after={"a.txt": "one"}, status=5),
    case("full paths as typed", "winxp", outcome("Windows NT 5.1 build 2600 Service Pack 3"),
         args=[r"C:\e2e\a.txt", r"C:\e2e\b.txt"], after=MOVED_PAIR, **NT),
    case("hyphen names are files", "win7", outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=["-a", "-b"], files={"-a": "source", "-b": "destination"},
         after={"-b": "source", "-a": None}, pending=[r"\??\C:\e2e\-a", r"!\??\C:\e2e\-b"]),
    case("slash name is a file, not an option", "win7", report("/a", "File not found."),
         args=["/a", "b.txt"], status=2),
    case("no arguments", "win7", USAGE, args=[], status=1),
    case("one argument", "win7", USAGE, args=["a.txt"], status=1),
    case("one slash argument", "win7", USAGE, args=["/?"], status=1),
    case("three arguments", "win98", USAGE, args=["a.txt", "b.txt", "c.txt"], status=1),
    case("one argument on win31", "win31", USAGE, args=["a.txt"], status=1),
    case("source missing", "win7", report("gone.txt", "File not found."),
         args=["gone.txt", "b.txt"], status=2),
    case("destination missing on 98, into a file and through a pipe", "win98",
         report("gone file.txt", "File not found."), args=["a.txt", "gone file.txt"], status=3,
         pipe=True),
    # A folder: Wine refuses to open it to read, as it would to write.
    case("wininit.ini a folder, neither read nor written", "win98", report("a.txt", "Access denied."),
         status=4, setup=lambda wine: os.mkdir(os.path.join(wine.drive_c, "windows/wininit.ini"))),
    case("wininit.ini read but not written: another program holds it open", "win98",
         report("a.txt", "Sharing violation."), status=4, wininit=re.escape("[rename]\r\n"), cleanup=release,
         setup=lambda wine: (write_wininit(wine, "[rename]\r\n"), hold(wine, r"C:\windows\wininit.ini"))),
    case("System32 as the restart sees it", "win7", outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=list(SYSTEM32), files=SYSTEM32, after=dict(zip(SYSTEM32, [None, "new"])),
         pending=[r"\??\C:\windows\system32\qnew.dll", r"!\??\C:\windows\system32\qonly64.dll"],
         wow64=True),
    case("Sysnative is refused", "win7", refused(*SYSNATIVE), status=5, files=SYSTEM32,
         args=[SYSNATIVE[0], list(SYSTEM32)[1]], after=SYSTEM32, wow64=True),
    case("the file named, not its look-alike, on 1252", "win7",
         outcome("Windows NT 6.1 build 7601 Service Pack 1"), args=["new.dll", "złoty.dll"],
         files=LOOK_ALIKES, after={"new.dll": None, "złoty.dll": "new", "zloty.dll": "other"},
         pending=[r"\??\C:\e2e\new.dll", r"!\??\C:\e2e\złoty.dll"], locale="C.UTF-8"),
    case("fullwidth quotes stay inside one argument", "win7", USAGE,
         args=["new.dll＂ ＂zloty.dll"], files=LOOK_ALIKES, after=LOOK_ALIKES, status=1,
         locale="C.UTF-8"),
    case("a Cyrillic name on 1252", "win10", outcome("Windows NT 10.0 build 18362 "),
         args=["новый.dll", "файл.dll"], files={"новый.dll": "new", "файл.dll": "old"},
         after={"новый.dll": None, "файл.dll": "new"}, locale="C.UTF-8",
         pending=[r"\??\C:\e2e\новый.dll", r"!\??\C:\e2e\файл.dll"]),
    case("a missing name is shown with ?, never a look-alike", "win7",
         report("?ód?.dll", "File not found."), args=["a.txt", "łódź.dll"], status=3,
         locale="C.UTF-8"),
    case("a path over MAX_PATH", "win7", outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=["a.txt", "C:\\e2e\\%s\\b.txt" % LONG_FOLDER], files=LONG_PAIR,
         after={"a.txt": None, LONG_FOLDER + "\\b.txt": "new"},
         pending=[r"\??\C:\e2e\a.txt", "!\\??\\C:\\e2e\\%s\\b.txt" % LONG_FOLDER]),
    case("Windows' own notation for local paths", "win7",
         outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=[r"\\?\C:\e2e\a.txt", r"\\.\C:\e2e\b.txt"], after=MOVED_PAIR, **NT),
    case("a name with a folder is taken from the current folder, not beside Quarvel.exe", "win7",
         outcome("Windows NT 6.1 build 7601 Service Pack 1"), args=["a.txt", r"app\b.txt"],
         files={"a.txt": "new", r"app\b.txt": "old"}, after={"a.txt": None, r"app\b.txt": "new"},
         pending=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\app\b.txt"],
         setup=lambda wine: beside(wine, r"quarvel\app\b.txt"),
         cleanup=lambda wine: beside(wine, r"quarvel\app\b.txt", False)),
    case("a name with a folder is not the system's, with SafeProcessSearchMode 1", "win7",
         outcome("Windows NT 6.1 build 7601 Service Pack 1"), args=["a.txt", r"drivers\q.sys"],
         files={"a.txt": "new", r"drivers\q.sys": "old"},
         after={"a.txt": None, r"drivers\q.sys": "new"},
         pending=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\drivers\q.sys"],
         setup=lambda wine: safe_search(wine, True), cleanup=lambda wine: safe_search(wine, False)),
    case("98 destination typed by its short name is refused", "win98",
         re.compile(re.escape(refused("LIBR~W2Y.DLL", "Windows 95 and 98 can replace it at the "
                                      "restart only under its short name, LIBR~W2Y.DLL."))),
         args=["new version.dll", "LIBR~W2Y.DLL"], files=LONG_NAMES, after=LONG_NAMES, status=5),
    case("a double-byte name on NT", "win7", outcome("Windows NT 6.1 build 7601 Service Pack 1"),
         args=list(KANJI), files=KANJI, after={"a 表": None, "b.txt": "new"},
         pending=[r"\??\C:\e2e\a 表", r"!\??\C:\e2e\b.txt"], locale="ja_JP.UTF-8"),
    case("a double-byte name on 98", "win98", outcome("Windows 98 4.10 build 2222  A "),
         args=list(KANJI), files=KANJI, after={"a 表": None, "b.txt": "new"},
         wininit=r"\[rename\]\r\n%s=C:\\e2e\\[^\r\n=]+\r\n" % re.escape(r"C:\e2e\b.txt"),
         locale="ja_JP.UTF-8", ansi=True),
    case("a b, then b a, is refused", "win10", refused("b.txt", A_ONTO_B), args=["b.txt", "a.txt"],
         earlier=[["a.txt", "b.txt"]], files=THREE, status=5,
         after=dict(THREE, **{"a.txt": None, "b.txt": "A"}), **NT),
    case("a b, then b c, is refused", "win10", refused("b.txt", A_ONTO_B), args=["b.txt", "c.txt"],
         earlier=[["a.txt", "b.txt"]], files=THREE, status=5,
         after=dict(THREE, **{"a.txt": None, "b.txt": "A"}), **NT),
    case("a c, then b c, is refused", "win10", refused("c.txt", A_ONTO_C), args=["b.txt", "c.txt"],
         earlier=[["a.txt", "c.txt"]], files=THREE, status=5,
         after=dict(THREE, **{"a.txt": None, "c.txt": "A"}),
         pending=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\c.txt"]),
    # Wine's restart does not know the form, and leaves the file.
    case("a pending delete in the form of current Windows is refused", "win10",
         refused("a.txt", r"A deletion of C:\e2e\A.TXT" + PENDING_TEXT), status=5,
         pending_before=[r"*1\??\C:\e2e\A.TXT", ""], after=PAIR,
         pending=[r"*1\??\C:\e2e\A.TXT", ""]),
    case("the same pair twice is registered once", "win10", outcome("Windows NT 10.0 build 18362 "),
         earlier=[["a.txt", "b.txt"]], after=MOVED_PAIR, **NT),
    case("one file spelt two ways over MAX_PATH is registered once, normalised", "win7",
         outcome("Windows NT 6.1 build 7601 Service Pack 1"), args=["a.txt", SPELT[1]],
         earlier=[["a.txt", SPELT[0]]], files=LONG_PAIR,
         after={"a.txt": None, LONG_FOLDER + "\\b.txt": "new"},
         pending=[r"\??\C:\e2e\a.txt", "!\\??\\C:\\e2e\\%s\\b.txt" % LONG_FOLDER]),
    case("straße is not strasse", "win10", outcome("Windows NT 10.0 build 18362 "),
         args=["straße.txt", "strasse.txt"], files={"straße.txt": "new", "strasse.txt": "old"},
         after={"straße.txt": None, "strasse.txt": "new"}, locale="C.UTF-8",
         pending=[r"\??\C:\e2e\straße.txt", r"!\??\C:\e2e\strasse.txt"]),
    case("a hard link is the same file", "win10",
         refused("a.txt", "Source and Destination are the same file."), files={"a.txt": "one"},
         status=5, after={"a.txt": "one", "b.txt": "one"},
         setup=lambda wine: os.link(host_path(wine, "a.txt"), host_path(wine, "b.txt"))),
    case("a b and b a started together, 20 times: one registered, never both", "win10", b"",
         files=THREE, together=[["a.txt", "b.txt"], ["b.txt", "a.txt"]], rounds=20),
    case("a pending move of the folder that holds Source is refused", "win10",
         refused(r"sub\a.txt", r"A move of C:\e2e\sub, a folder that holds the file, onto C:\e2e\old"
                 + PENDING_TEXT), args=[r"sub\a.txt", r"sub\b.txt"], files=SUB, status=5,
         pending_before=[r"\??\C:\e2e\sub", r"\??\C:\e2e\old"],
         pending=[r"\??\C:\e2e\sub", r"\??\C:\e2e\old"],
         after={r"sub\a.txt": None, r"old\a.txt": "A", r"old\b.txt": "B"}),
    case("a pending move spelt with a short folder name is refused", "win10",
         refused(r"long folder\long name b.txt", r"A move of C:\e2e\LONG~WDY\long name a.txt onto "
                 r"C:\e2e\LONG~WDY\long name b.txt" + PENDING_TEXT),
         args=[r"long folder\long name b.txt", r"long folder\long name a.txt"], files=LONG_FOLDER_PAIR,
         status=5, after={r"long folder\long name a.txt": None, r"long folder\long name b.txt": "A"},
         pending_before=[r"\??\C:\e2e\LONG~WDY\long name a.txt", r"!\??\C:\e2e\LONG~WDY\long name b.txt"],
         pending=[r"\??\C:\e2e\LONG~WDY\long name a.txt", r"!\??\C:\e2e\LONG~WDY\long name b.txt"]),
    case("a pending move spelt through a folder link is refused", "win10",
         refused(r"sub\b.txt", r"A move of C:\e2e\j\a.txt onto C:\e2e\j\b.txt" + PENDING_TEXT),
         args=[r"sub\b.txt", r"sub\a.txt"], files=SUB, status=5,
         setup=lambda wine: os.symlink("sub", host_path(wine, "j")),
         pending_before=[r"\??\C:\e2e\j\a.txt", r"!\??\C:\e2e\j\b.txt"],
         pending=[r"\??\C:\e2e\j\a.txt", r"!\??\C:\e2e\j\b.txt"],
         after={r"sub\a.txt": None, r"sub\b.txt": "A"}),
    # As the restart reads a name: a trailing backslash names the folder;
    # names that differ only in case, in a folder that tells them apart
    # (a Linux one), are other files.
    case("a pending move of the folder that holds Source, with a trailing backslash, is refused", "win10",
         refused(r"app\new.dll", "A move of C:\\e2e\\app\\, a folder that holds the file, onto C:\\e2e\\appold\\"
                 + PENDING_TEXT), args=[r"app\new.dll", r"app\lib.dll"], files=APP, status=5,
         pending_before=APP_MOVED, pending=APP_MOVED,
         after={r"app\new.dll": None, r"app\lib.dll": None, r"appold\new.dll": "new", r"appold\lib.dll": "lib"}),
    case("A onto B pending in a case-sensitive folder: a onto b is registered too", "win10",
         outcome("Windows NT 10.0 build 18362 "), args=[r"cs\a", r"cs\b"],
         files={r"cs\A": "A", r"cs\B": "B", r"cs\a": "a", r"cs\b": "b"},
         pending_before=[r"\??\C:\e2e\cs\A", r"!\??\C:\e2e\cs\B"],
         pending=[r"\??\C:\e2e\cs\A", r"!\??\C:\e2e\cs\B", r"\??\C:\e2e\cs\a", r"!\??\C:\e2e\cs\b"],
         after={r"cs\A": None, r"cs\B": "A", r"cs\a": None, r"cs\b": "a"}),
    case("a pending list cut inside a character is refused and left as it is", "win10",
         refused("a.txt", DAMAGED), status=4, pending_before=ODD_VALUE, pending=ODD_VALUE),
    case("without the right to read the pending list: status 4, and how to get it", "win10",
         report("a.txt", "Access denied.") + ELEVATE, status=4,
         setup=lambda wine: deny_reading(wine, True), cleanup=lambda wine: deny_reading(wine, False)),
    # Wine builds a file's DACL from its mode bits: Everyone from "other";
    # on a folder o+w lets them delete and rename it, and what it holds.
    case("a Source that other users can change, onto a Destination they cannot, is refused", "win10",
         refused("a.txt", "Another account can change or replace it, and the restart gives Destination its "
                 "permissions: " + STAGE_SAFELY), status=5,
         setup=lambda wine: os.chmod(host_path(wine, "a.txt"), 0o666)),
    case("a Source that other users can change, onto a Destination just as open, moves", "win10",
         outcome("Windows NT 10.0 build 18362 "), after=MOVED_PAIR,
         setup=lambda wine: chmod(wine, {"a.txt": 0o666, "b.txt": 0o666}), **NT),
    case("a Source that other users can change, onto a Destination whose folder they can replace, is refused",
         "win10", refused("a.txt", DESTINATION_PATH_OPEN % "C:\\e2e\\"), status=5,
         setup=lambda wine: chmod(wine, {"a.txt": 0o666, "b.txt": 0o644, ".": 0o777})),
    case("a Source in a folder whose folder other users can change is refused", "win10",
         refused(r"s\x\new.dll", FOLDER_OPEN % "C:\\e2e\\s\\"), args=[r"s\x\new.dll", "b.txt"],
         files=OPEN_S, after=OPEN_S, status=5, setup=lambda wine: chmod(wine, {"s": 0o777})),
    case("Source and Destination just as open, a folder above Destination open, is refused", "win10",
         refused("a.txt", DESTINATION_PATH_OPEN % "C:\\e2e\\d\\"), args=["a.txt", r"d\y\old.dll"],
         files=OPEN_D, after=OPEN_D, status=5,
         setup=lambda wine: chmod(wine, {"a.txt": 0o666, r"d\y\old.dll": 0o666, "d": 0o777})),
    case("a closed Source, onto a Destination whose folder others can replace, moves", "win10",
         outcome("Windows NT 10.0 build 18362 "), args=["a.txt", r"d\y\old.dll"], files=OPEN_D,
         after={"a.txt": None, r"d\y\old.dll": "new"}, pending=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\d\y\old.dll"],
         setup=lambda wine: chmod(wine, {r"d\y\old.dll": 0o666, "d": 0o777})),
    case("a [rename] section over 32 KiB is refused on 98", "win98", refused("a.txt", DAMAGED),
         status=4, setup=lambda wine: write_wininit(wine, WININIT_OVER_32K),
         wininit=re.escape(WININIT_OVER_32K)),
    case("a line that would make the [rename] section too long is not written on 98", "win98",
         refused("a.txt", DAMAGED), status=4, setup=lambda wine: write_wininit(wine, WININIT_NEARLY_32K),
         wininit=re.escape(WININIT_NEARLY_32K)),
    # One lock, which no other user can take first: an event named as
    # Quarvel's own; Windows' own, held by another program, or free.
    case("another program's event named as Quarvel's own lock", "win10",
         refused("a.txt", LOCK_NAME_TAKEN), status=4,
         setup=lambda wine: hold(wine, r"Global\Quarvel pending moves"), cleanup=release),
    case("PendingRenameMutex held by another program: status 4 after the wait", "win10",
         refused("a.txt", "Another program is registering moves for the restart: run again."), status=4,
         setup=lambda wine: hold(wine, "unused", "held"), cleanup=release),
    case("PendingRenameMutex free: the only lock, whoever holds Quarvel's own name", "win10",
         outcome("Windows NT 10.0 build 18362 "), after=MOVED_PAIR,
         setup=lambda wine: hold(wine, r"Global\Quarvel pending moves", "free"), cleanup=release, **NT),
    # The restart renames the name it is given, not every name of the file.
    case("a pending move onto a hard link of Destination is refused", "win10",
         refused("a.txt", r"A move of C:\e2e\a.txt onto C:\e2e\u\b.txt" + PENDING_TEXT), status=5,
         setup=lambda wine: link_in_u(wine, "b.txt"), pending_before=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\u\b.txt"],
         pending=[r"\??\C:\e2e\a.txt", r"!\??\C:\e2e\u\b.txt"],
         after={"a.txt": None, "b.txt": "destination", r"u\b.txt": "source"}),
    case("a pending move of another hard link of Source is no conflict", "win10",
         outcome("Windows NT 10.0 build 18362 "), setup=lambda wine: link_in_u(wine, "a.txt"),
         pending_before=[r"\??\C:\e2e\u\a.txt", r"\??\C:\e2e\zz.txt"],
         pending=[r"\??\C:\e2e\u\a.txt", r"\??\C:\e2e\zz.txt"] + NT_PAIR,
         after={"a.txt": None, "b.txt": "source", "zz.txt": "source"}),
    case("a b, then b a, is refused on 98", "win98", refused("b.txt", A_ONTO_B),
         args=["b.txt", "a.txt"], earlier=[["a.txt", "b.txt"]], status=5, after=MOVED_PAIR, **WIN9X),
    case("a [rename] line onto Destination, spelt with / . .. and \\\\, is refused on 98", "win98",
         refused("b.txt", r"A move of C:\e2e\x.txt onto C:\e2e\b.txt" + PENDING_TEXT), status=5,
         setup=lambda wine: write_wininit(wine, SPELT_98), wininit=re.escape(SPELT_98)),
    case("the same pair twice on 98", "win98", outcome("Windows 98 4.10 build 2222  A "),
         earlier=[["a.txt", "b.txt"]], after=MOVED_PAIR, **WIN9X),
    # What a console shows, and what a file receives: names as typed, in any
    # code page, and nothing forged.
    case("a console shows café.dll as typed, on 1252", "win10",
         console_report("café.dll", "File not found."), args=["café.dll", "b.txt"], status=2,
         locale="C.UTF-8", console=True),
    case("a console shows a Cyrillic name, on 1252", "win10",
         console_report("новый.dll", "File not found."), args=["новый.dll", "b.txt"], status=2,
         locale="C.UTF-8", console=True),
    case("a console shows a Cyrillic name and the reason in Russian, on 1251", "win7",
         console_report("новый.dll", "Файл не найден."), args=["новый.dll", "b.txt"], status=2,
         locale="ru_RU.UTF-8", console=True),
    case("a console on 98 shows café.dll as typed", "win98",
         console_report("café.dll", "File not found."), args=["a.txt", "café.dll"], status=3,
         locale="C.UTF-8", console=True, ansi=True),
    case("into a file on 1251: the name in 1251, the reason in 866, as always", "win7",
         ("Error with: новый.dll. ".encode("cp1251") + "Файл не найден.".encode("cp866")
          + b"\r\r\n"), args=["новый.dll", "b.txt"], status=2, locale="ru_RU.UTF-8"),
    case("UTF-8 as the ANSI code page: every character, up to 4 bytes", "win10",
         "Error with: €-price😀.dll. File not found.\r\r\n".encode(), args=["€-price😀.dll", "b.txt"],
         status=2, locale="hi_IN.UTF-8"),
    case("control and bidirectional characters are shown as ?", "win10",
         report("a?Current OS: Windows NT 10.0?Move or rename after reboot?", "File not found."),
         args=["a\nCurrent OS: Windows NT 10.0\nMove or rename after reboot\u202e", "b.txt"],
         status=2),
    case("C1 controls, separators and bidirectional marks are shown as ?", "win10",
         report("a?b?31m?????", "File not found."), args=["a\u0085b\u009b31m\u2028\u2029\u200e\u200f\u061c", "b.txt"],
         status=2),
]


def link_in_u(wine, name):
    os.makedirs(host_path(wine, "u"))
    os.link(host_path(wine, name), host_path(wine, "u\\" + name))


def beside(wine, name, present=True):
    """Puts a copy of a case's file in another folder of C:, or removes it."""
    path = os.path.join(wine.drive_c, name.replace("\\", "/"))
    if present:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("copy")
    else:
        os.remove(path)


def chmod(wine, modes):
    """Sets the Linux modes of a case's files, "." for C:\\e2e itself."""
    for name, mode in modes.items():
        os.chmod(host_path(wine, name), mode)


def safe_search(wine, on):
    """SafeProcessSearchMode 1 moves the current folder after the Windows
    folder in the search order; here drivers\\q.sys also lies in system32."""
    beside(wine, r"windows\system32\drivers\q.sys", on)
    if on:
        wine.run(["wine", "reg", "add", SESSION_MANAGER, "/v", "SafeProcessSearchMode", "/t",
                  "REG_DWORD", "/d", "1", "/f"])
    else:
        wine.run(["wine", "reg", "delete", SESSION_MANAGER, "/v", "SafeProcessSearchMode", "/f"])


# The host folders behind the extra drives, inside the prefix.
DRIVES = {"D": None, "N": "network", "E": "cdrom", "F": "floppy"}


def host_path(wine, name):
    """Where a case's file lives: C:\\e2e, or the root of another drive."""
    if name[1:3] == ":\\":
        return os.path.join(wine.prefix, "drive_" + name[0].lower(), name[3:].replace("\\", "/"))
    return os.path.join(wine.drive_c, "e2e", name.replace("\\", "/"))


def read_files(wine, names):
    found = {}
    for name in names:
        path = host_path(wine, name)
        found[name] = open(path).read() if os.path.isfile(path) else None
        if name.endswith("/") != os.path.isdir(path):
            found[name] = "not a folder" if name.endswith("/") else "a folder"
    return found


def run_case(wine, exe, case):
    """Runs one case and returns what differed from what was expected."""
    e2e = os.path.join(wine.drive_c, "e2e")
    windows = os.path.join(wine.drive_c, "windows")
    for folder in [e2e] + [host_path(wine, letter + ":\\") for letter in DRIVES]:
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    for name, content in case["files"].items():
        if name.endswith("/"):
            os.makedirs(host_path(wine, name))
            continue
        os.makedirs(os.path.dirname(host_path(wine, name)), exist_ok=True)
        with open(host_path(wine, name), "w") as f:
            f.write(content)
    for name in ("wininit.ini", "wininit.bak"):
        path = os.path.join(windows, name)
        if os.path.isfile(path):
            os.remove(path)
    wine.clear_pending_renames()
    if case.get("pending_before"):
        wine.set_pending_renames(case["pending_before"])
    wine.set_version(case["version"])
    if case.get("setup"):
        case["setup"](wine)

    overrides = case.get("overrides")
    exe = case.get("exe", exe)
    if case.get("together"):
        return run_together(wine, exe, case, e2e)
    problems = []
    for args in case.get("earlier", []):
        earlier = wine.run(["program", exe] + args, cwd=e2e, check=False, locale=case.get("locale"))
        if earlier.returncode != 0:
            problems.append("earlier run %r: status %d" % (args, earlier.returncode))
    result = wine.run(["program", exe] + case["args"], cwd=e2e, check=False, overrides=overrides,
                      locale=case.get("locale"), tty=case.get("console", False))
    if case.get("cleanup"):
        case["cleanup"](wine)
    if case.get("console"):
        # The terminal's own line ends and Wine's cursor switches aside.
        result.stdout = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", result.stdout)
    if case.get("pipe"):
        piped = wine.run(["program", exe] + case["args"], cwd=e2e, check=False, pipe=True)
        if piped.stdout != result.stdout:
            problems.append("through a pipe %r, into a file %r" % (piped.stdout, result.stdout))
    if result.returncode != case["status"]:
        problems.append("status %d, expected %d" % (result.returncode, case["status"]))
    output = case["output"]
    banner = BANNER.replace(b"\r", b"") if case.get("console") else BANNER
    output = output.replace(b"\r", b"") if case.get("console") else output
    if (not re.fullmatch(re.escape(banner) + output.pattern, result.stdout)
            if isinstance(output, re.Pattern) else result.stdout != banner + output):
        problems.append("output %r, expected %r" % (result.stdout, output))
    pending = wine.pending_renames()
    if pending != case.get("pending"):
        problems.append("pending renames %r, expected %r" % (pending, case.get("pending")))
    wininit_path = os.path.join(windows, "wininit.ini")
    wininit = open(wininit_path, "rb").read().decode() if os.path.isfile(wininit_path) else None
    expected_wininit = case.get("wininit")
    if (wininit is None) != (expected_wininit is None) or (
            wininit is not None and not re.fullmatch(expected_wininit, wininit)):
        problems.append("wininit.ini %r, expected %r" % (wininit, expected_wininit))

    if os.path.isdir(wininit_path):
        os.rmdir(wininit_path)  # let the restart run as usual
    wine.run(["wineboot", "-r"])
    after = read_files(wine, case["after"])
    if after != case["after"]:
        problems.append("after restart %r, expected %r" % (after, case["after"]))
    return problems


def run_together(wine, exe, case, e2e):
    """Starts the case's requests at the same moment, `rounds` times: each
    time exactly one may be registered and the others refused, and only its
    pair is pending; the last round is carried out by a restart."""
    problems = []
    for round in range(case["rounds"]):
        wine.clear_pending_renames()
        statuses = wine.run_together([[exe] + args for args in case["together"]], e2e)
        won = [args for args, status in zip(case["together"], statuses) if status == 0]
        pending = wine.pending_renames()
        if sorted(statuses) != [0] + [5] * (len(statuses) - 1):
            problems.append("round %d: statuses %r" % (round, statuses))
        elif pending != ["\\??\\C:\\e2e\\" + won[0][0], "!\\??\\C:\\e2e\\" + won[0][1]]:
            problems.append("round %d: %r registered, pending %r" % (round, won[0], pending))
    if problems:
        return problems
    wine.run(["wineboot", "-r"])
    after = dict(case["files"], **{won[0][0]: None, won[0][1]: case["files"][won[0][0]]})
    if read_files(wine, after) != after:
        problems.append("after restart %r, expected %r" % (read_files(wine, after), after))
    return problems


NT_ONLY = "the 64-bit build takes the wide functions on every Windows, never the ANSI and OEM path of 95/98"


# What KERNEL32 exports on Windows 95 and on NT 3.51 alike, of what the
# program may import; anything else would keep it from loading there.
OLDEST_KERNEL32 = {
    "GetVersionExA", "SearchPathA", "GetShortPathNameA",
    "WritePrivateProfileStringA", "FormatMessageA", "LocalAlloc", "LocalFree", "LoadLibraryA",
    "GetProcAddress", "FreeLibrary", "GetLastError", "SetLastError", "GetFileAttributesA",
    "GetDriveTypeA", "lstrlenA", "GetCommandLineA", "GetStdHandle", "WriteFile",
    "ExitProcess", "GetModuleHandleA", "GetFullPathNameA", "GetSystemDirectoryA",
    "GetVersion", "GetCommandLineW", "MultiByteToWideChar", "WideCharToMultiByte",
    "FindFirstFileA", "FindClose", "CloseHandle", "SetErrorMode", "GetPrivateProfileSectionA",
    "CreateMutexA", "WaitForSingleObject", "ReleaseMutex",
}


# What each build must be: its PE format, subsystem and system version, and
# the architecture its manifest names.
TARGETS = {"win32": ("pei-i386", "010b", (4, 0), "x86"),
           "win64": ("pei-x86-64", "020b", (5, 2), "amd64")}  # PE32 and PE32+


def check_executable(arch, exe):
    """The properties a Windows user relies on: the build's architecture,
    loadable by every Windows it is for (subsystem and system version,
    KERNEL32 alone at load time, and only what the oldest KERNEL32 exports),
    a version resource, a manifest naming its architecture, and small."""
    headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], stdout=subprocess.PIPE,
                             check=True).stdout.decode()
    dlls = re.findall(r"DLL Name: (\S+)", headers)
    imports = set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", headers, re.M))
    pe_format, magic, (major, minor), manifest_arch = TARGETS[arch]
    with open(exe, "rb") as f:
        data = f.read()

    def version(kind):
        return re.search(r"Major%sVersion\s+%d\nMinor%sVersion\s+%d\n" % (kind, major, kind, minor),
                         headers) is not None

    checks = [
        (pe_format, "file format %s\n" % pe_format in headers
         and re.search(r"Magic\s+%s" % magic, headers) is not None),
        ("console subsystem", re.search(r"Subsystem\s+00000003", headers) is not None),
        ("subsystem and system version %d.%d" % (major, minor),
         version("Subsystem") and version("OSystem")),
        ("imports KERNEL32 alone: %s" % dlls, [dll.lower() for dll in dlls] == ["kernel32.dll"]),
        ("imports only what the oldest KERNEL32 has: %s" % sorted(imports - OLDEST_KERNEL32),
         imports and imports <= OLDEST_KERNEL32),
        ("version resource", re.search(r"Entry: ID: 0x000010,", headers) is not None),
        ("manifest for %s" % manifest_arch,
         re.search(r"Entry: ID: 0x000018,", headers) is not None
         and b'processorArchitecture="%s"' % manifest_arch.encode() in data),
        ("at most 32 KiB (%d bytes)" % len(data), len(data) <= 32 * 1024),
    ]
    return [name for name, passed in checks if not passed]


# Command lines on which the program's splitting must equal msvcrt's. Two
# rules are proven by the unit tests alone: an empty command line (Wine's
# CreateProcessA puts the program's path there) and a backslash before a quote
# in the program's name, which Microsoft documents as literal and Wine's msvcrt
# takes as an escape.
COMMAND_LINES = [
    r'p "abc" d e', r'p a\\b d"e f"g h', r'p a\\\"b c d', r'p a\\\\"b c" d e', r'p a"b"" c d',
    "p", "  p  a  ", "p\ta\t\tb\t", "\tp a", r'"C:\Program Files\Quarvel.exe" a b',
    r'C:\dir\q.exe a', r'"a b"c d', r'a"b c"d e', r'"a""b" c', r'"unterminated name',
    r'p "unterminated arg', r'p "a b" "" c', r'p """', r'p """"', r'p """""" x', r'p "a""b c" d',
    r'p ""a""b""', r'p a""b', r'p a"" b', r'p \a\b\ c\ ', r'p \\\\', r'p C:\dir\ "C:\dir\\" x',
]


def check_splitting(wine, launch, msvcrt, runtime):
    """Runs both vector printers on every command line; returns the
    differences. Also makes sure that Wine refusing MSVCRT.DLL stops a
    program that needs it, so that the cases without it prove something."""
    folder = os.path.join(wine.drive_c, "argv")
    os.makedirs(folder, exist_ok=True)
    for program in (launch, msvcrt, runtime):
        shutil.copy(program, folder)
    with open(os.path.join(folder, "table.txt"), "wb") as table:
        table.write("".join(line + "\n" for line in COMMAND_LINES).encode())
    names = [r"C:\argv\%s" % os.path.basename(p) for p in (launch, msvcrt, runtime)]
    result = wine.run(["program", names[0], r"C:\argv\table.txt"] + names[1:], check=False)
    lines = result.stdout.decode(errors="replace").splitlines()
    same = sum(1 for line in lines if line.startswith("same "))
    problems = [line for line in lines if not line.startswith("same ")]
    if result.returncode != 0 or same != len(COMMAND_LINES):
        problems.append("launcher status %d, %d of %d command lines the same"
                        % (result.returncode, same, len(COMMAND_LINES)))
    refused = wine.run(["program", names[1], "x"], check=False, overrides=NO_MSVCRT)
    if refused.returncode in (0, 2) or refused.stdout:
        problems.append("a program that needs MSVCRT.DLL ran without it: %r" % refused.stdout)
    return problems


# The examples of docs/installers.md, as an installer runs them: the NSIS
# ones built by makensis for the build's architecture, and the cmd script,
# beside the Quarvel.exe under test, replacing a library of an application.
NSIS_TARGETS = {"win64": "amd64-unicode", "win32": "x86-unicode"}
APP = r"C:\Program Files\Example App"
APP_PAIR = ["\\??\\%s\\library.new" % APP, "!\\??\\%s\\library.dll" % APP]
REGISTERED, FAILED = 3010 % 256, 1603 % 256  # what Wine's exit status keeps of them


def examples(language):
    with open(os.path.join(SOURCE_DIR, "docs", "installers.md"), encoding="utf-8") as doc:
        return re.findall(r"^```%s\n(.*?)^```" % language, doc.read(), re.M | re.S)


def read_log(app):
    path = os.path.join(app, "update.log")
    return open(path, "rb").read() if os.path.isfile(path) else None


def check_installers(wine, exe):
    """Runs each installer silently, twice the first, then the cmd script:
    each must see status 0, through ExecWait and nsExec (with its output),
    end with 3010 and leave one entry, which the restart carries out; then
    onto a read-only library, status 5 and 1603, and nothing registered."""
    setup, app = os.path.join(wine.drive_c, "setup"), os.path.join(wine.drive_c, APP[3:].replace("\\", "/"))
    os.makedirs(setup, exist_ok=True)
    os.makedirs(app, exist_ok=True)
    shutil.copy(exe, setup)
    with open(os.path.join(setup, "library.dll"), "w") as f:
        f.write("new")
    installers = []
    for number, script in enumerate(examples("nsis")):
        with open(os.path.join(setup, "example%d.nsi" % number), "w") as f:
            f.write(script)
        try:
            built = subprocess.run(["makensis", "-V2", "-XTarget " + NSIS_TARGETS[wine.arch],
                                    "example%d.nsi" % number], cwd=setup, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT)
        except FileNotFoundError:
            return ["makensis is not installed (script/bootstrap installs nsis)"]
        if built.returncode != 0:
            return ["makensis example%d.nsi: %s" % (number, built.stdout.decode(errors="replace"))]
        installers.append(r"C:\setup\%s" % re.search(r'^OutFile "(.+)"', script, re.M).group(1))
    with open(os.path.join(setup, "update.cmd"), "w", newline="\r\n") as f:
        f.write(examples("bat")[0])
    for name in ("update.log", "library.new", "library.dll"):
        if os.path.exists(os.path.join(app, name)):
            os.remove(os.path.join(app, name))
    with open(os.path.join(app, "library.dll"), "w") as f:
        f.write("old")
    wine.clear_pending_renames()
    wine.set_version("win10")
    said = BANNER + outcome("Windows NT 10.0 build 18362 ")
    log = b"Quarvel: status 0\r\n"
    runs = [(installers[0], log), (installers[0], log * 2), (installers[1], log * 3 + said)]
    problems = []
    for installer, expected in runs:
        result = wine.run(["wine", installer, "/S"], check=False)
        logged = read_log(app)
        if (result.returncode, logged) != (REGISTERED, expected):
            problems.append("%s: status %d, logged %r" % (installer, result.returncode, logged))
    result = wine.run(["wine", "cmd", "/c", r"C:\setup\update.cmd"], check=False)
    if result.returncode != REGISTERED or not result.stdout.startswith(said):
        problems.append("update.cmd: status %d, said %r" % (result.returncode, result.stdout))
    if wine.pending_renames() != APP_PAIR:
        problems.append("pending renames %r, expected %r" % (wine.pending_renames(), APP_PAIR))
    wine.run(["wineboot", "-r"])
    if open(os.path.join(app, "library.dll")).read() != "new" or os.path.exists(os.path.join(app, "library.new")):
        problems.append("the restart did not replace library.dll")
    os.chmod(os.path.join(app, "library.dll"), 0o444)
    result = wine.run(["wine", installers[0], "/S"], check=False)
    logged = read_log(app)
    if result.returncode != FAILED or not logged.endswith(b"Quarvel: status 5\r\n") or wine.pending_renames():
        problems.append("onto a read-only library: status %d, logged %r, pending %r"
                        % (result.returncode, logged, wine.pending_renames()))
    return problems


def sign_like_a_release(exe, work_dir):
    """Signs the zip's executable as a signed release has it, unless it is."""
    def osslsigncode(*args):
        return subprocess.run(["osslsigncode"] + list(args), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    if osslsigncode("extract-signature", "-in", exe, "-out", os.path.join(work_dir, "present.sig")):
        return
    ca, keys = make_test_keys(os.path.join(work_dir, "keys"))
    signature = sign(SOURCE_DIR, exe, os.path.join(work_dir, "signature"), (ca, keys))
    signed = os.path.join(work_dir, "signed.exe")
    if not osslsigncode("attach-signature", "-sigin", signature, "-CAfile", ca, "-TSA-CAfile", ca,
                        "-in", exe, "-out", signed):
        raise WineFailure("the zip's Quarvel.exe could not be signed for the test")
    shutil.move(signed, exe)


def problems_of(check, *args):
    """What a check found wrong; a Wine command that failed, or Wine failing
    to start the program, is the case's failure, with what Wine said."""
    try:
        return check(*args)
    except WineFailure as failure:
        return [str(failure)]


def report_line(name, problems):
    print(("FAIL " if problems else "ok   ") + name)
    for problem in problems:
        print("     " + problem)
    return 1 if problems else 0


def run_prefix(wine, cases, exe_source, release_zip, deny_reading_exe, argv_programs=None):
    """Creates the prefix, runs the cases in it (and the splitting, given the
    argv programs) and stops it; returns the number that failed."""
    try:
        wine.create()
        for letter, kind in DRIVES.items():
            wine.add_drive(letter, host_path(wine, letter + ":\\"), kind)
        wine.restart_server()  # drive types take effect with a new server
        exe = os.path.join(wine.drive_c, "quarvel", "Quarvel.exe")
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        shutil.copy(exe_source, exe)
        shutil.copy(deny_reading_exe, os.path.dirname(exe))
        shipped = os.path.join(wine.drive_c, "shipped")
        os.makedirs(shipped, exist_ok=True)
        with zipfile.ZipFile(release_zip) as archive:
            archive.extract("Quarvel.exe", shipped)
        sign_like_a_release(os.path.join(shipped, "Quarvel.exe"), os.path.dirname(wine.prefix))
        failures = 0
        if argv_programs:
            failures += report_line("command-line splitting equals msvcrt's on %d command lines"
                                    % len(COMMAND_LINES),
                                    problems_of(check_splitting, wine, *argv_programs))
            failures += report_line("the installer examples of docs/installers.md, NSIS %s and cmd"
                                    % NSIS_TARGETS[wine.arch], problems_of(check_installers, wine, exe_source))
        for case in cases:
            failures += report_line(case["name"],
                                    problems_of(run_case, wine, r"C:\quarvel\Quarvel.exe", case))
        return failures
    finally:
        wine.stop()


def main():
    if len(sys.argv) != 9:
        sys.exit(__doc__)
    os.umask(0o022)  # files that other users cannot change, unless a case says so
    arch, exe_source, work_dir, release_zip = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[7]
    failures = sum(report_line("executable: " + problem, [problem])
                   for problem in check_executable(arch, exe_source))

    # The 64-bit build runs every row in a 64-bit prefix. The 32-bit build
    # runs the rows about 64-bit Windows in a 64-bit prefix of their own.
    # The 64-bit build is NT-only code: the rows about the ANSI and OEM path
    # would take the wide functions there, and pass for the wrong reason.
    not_run = [c for c in CASES if c.get("ansi") and arch == "win64"]
    for case in not_run:
        print("not run %s: %s" % (case["name"], NT_ONLY))
    if arch == "win64":
        runs = [(Wine(work_dir, "win64"), [c for c in CASES if c not in not_run], sys.argv[4:7])]
    else:
        runs = [(Wine(work_dir, "win32"), [c for c in CASES if not c.get("wow64")], sys.argv[4:7]),
                (Wine(os.path.join(work_dir, "wow64"), "win64", "win32"),
                 [c for c in CASES if c.get("wow64")], None)]
    os.makedirs(work_dir, exist_ok=True)
    ran_on = open(os.path.join(work_dir, "ran-on"), "w")
    why_not = runs[0][0].cannot_start()
    if why_not:
        # Only 32-bit Wine may be missing or refused by the kernel; the
        # 64-bit build's cases must run.
        skipped = arch == "win32"
        ran_on.write("end-to-end cases %s: %s\n" % ("SKIPPED" if skipped else "FAILED", why_not))
        print("%s %d end-to-end cases: %s" % ("SKIP" if skipped else "FAIL", len(CASES) + 2, why_not))
        sys.exit(1 if failures or not skipped else 77)
    summary = []
    for wine, cases, argv_programs in runs:
        failed = run_prefix(wine, cases, exe_source, release_zip, sys.argv[8], argv_programs)
        total = len(cases) + (2 if argv_programs else 0)
        summary.append("%d of %d end-to-end cases passed under %s"
                       % (total - failed, total, wine.describe()))
        failures += failed
    if not_run:
        summary.append("%d not run: %s" % (len(not_run), NT_ONLY))
    ran_on.write("; ".join(summary) + "\n")
    print("%d passed, %d failed, %d not run"
          % (len(CASES) + 2 - len(not_run) - failures, failures, len(not_run)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
