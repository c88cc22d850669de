#!/usr/bin/python3
"""Runs the 32-bit release's own Quarvel.exe on an emulated x86 CPU, so that
the bytes users download are executed on every machine, also where 32-bit
Wine cannot start.

Usage: emulate.py RELEASE_ZIP WORK_DIR

Maps the Quarvel.exe from RELEASE_ZIP at its image base, answers each
KERNEL32 import (and what it looks up: USER32's CharToOemA, and on NT the
wide functions) with a small model of Windows, and starts at the entry point. Each case below checks the
exact bytes written to standard output, the exit status, the Windows calls
that resolve, register and report with their arguments, and that every
buffer the run took was released; an NT case prints what it looked up and the
model lacks, whose checks it does not judge. Writes one line to WORK_DIR/ran-on.
Needs Debian's python3-unicorn and python3-pefile (the system's Python).
"""
import functools
import os
import sys
import zipfile

import pefile
import unicorn
from unicorn.x86_const import UC_X86_REG_EAX, UC_X86_REG_ESP

from run_e2e import BANNER, USAGE, outcome, refused, report, report_line

STUBS, STACK, DATA = 0x70000000, 0x01000000, 0x02000000  # where the model lives
KERNEL32, USER32, ADVAPI32 = 0x7B000000, 0x7E000000, 0x7D000000
OLD_VALUE = 0x5EED  # what turning the redirector off hands back, to turn it on
SYSTEM32 = "c:\\windows\\system32\\"


class Windows:
    """What one run sees: a version record, files, drive types, system texts,
    and on 64-bit Windows (`wow64`) the file system redirector, which hides
    System32's files while it is on. Records the calls, as the unit tests'
    fake does, each DLL load and text fetched with the redirector off as a
    fault."""

    def __init__(self, version, files, drives=None, messages=None, wow64=False,
                 code_page="cp1252"):
        self.version, self.files, self.drives = version, files, drives or {}
        self.code_page = code_page  # the ANSI one; its bytes are kept as latin-1 text
        self.messages = messages or {2: b"The system cannot find the file specified.\r\n"}
        self.wow64, self.redirected = wow64, True
        self.calls, self.output, self.status = [], b"", None
        self.pending, self.rename = [], []  # what the registrations added
        self.last_error, self.live, self.next_free = 0, set(), DATA + 0x10000
        self.missing = set()  # what the program looked up and the model lacks

    # The model's own helpers begin with "_"; every other method is a
    # Windows function.
    def _text(self, uc, address, wide=False):
        """A text in memory: UTF-16, or bytes of the ANSI code page as latin-1."""
        if address == 0:
            return "null"
        size, data = (2, b"") if wide else (1, b"")
        while len(data) < size or data[-size:] != b"\0" * size:  # a region may end after it
            data += bytes(uc.mem_read(address + len(data), size))
        return data[:-size].decode("utf-16-le" if wide else "latin-1")

    def _put(self, uc, address, text, wide=False):
        uc.mem_write(address, (text + "\0").encode("utf-16-le" if wide else "latin-1"))

    def _wide(self):
        """The NT family, whose names are Unicode: the wide functions."""
        return self.version[0] == 2

    def _allocate(self, uc, size):
        address, self.next_free = self.next_free, self.next_free + (size + 15) // 16 * 16
        self.live.add(address)
        return address

    def _path_result(self, uc, found, buffer, length, wide=False):
        """SearchPath and GetShortPathName: the length, or 0 and a reason."""
        if found is None:
            self.last_error = 2
            return 0
        if len(found) >= length:
            return len(found) + 1
        self._put(uc, buffer, found, wide)
        return len(found)

    # The functions, by name: the number of 4-byte arguments and the answer.
    def GetCommandLineA(self, uc):
        return DATA

    def GetCommandLineW(self, uc):
        return DATA + 0x80000

    def GetVersion(self, uc):
        platform, major, minor = self.version[:3]
        return (0 if platform == 2 else 0x80000000) | minor << 8 | major

    def MultiByteToWideChar(self, uc, page, flags, text, count, wide, size):
        data = (self._text(uc, text) + "\0" if count == 0xFFFFFFFF
                else bytes(uc.mem_read(text, count)).decode("latin-1"))
        converted = data.encode("latin-1").decode(self.code_page, "replace")
        if size:
            uc.mem_write(wide, converted.encode("utf-16-le")[:2 * size])
        return len(converted)

    def WideCharToMultiByte(self, uc, page, flags, wide, count, text, size, default, used):
        data = bytes(uc.mem_read(wide, 2 * count)).decode("utf-16-le", "surrogatepass")
        converted = data.encode(self.code_page, "replace")  # no best fit in this model
        uc.mem_write(text, converted[:size])
        return len(converted)
    def GetVersionExA(self, uc, info):
        size = int.from_bytes(uc.mem_read(info, 4), "little")
        self.calls.append("GetVersionExA(%d)" % size)
        platform, major, minor, build, csd = self.version
        record = b"".join(n.to_bytes(4, "little") for n in (size, major, minor, build, platform))
        uc.mem_write(info, record + csd.encode().ljust(128, b"\0"))
        return 1

    def _redirector_on(self, call):
        return call + (" with the redirector off" if not self.redirected else "")

    def SearchPathA(self, uc, path, name, extension, length, buffer, file_part, wide=False):
        name, kind = self._text(uc, name, wide), "W" if wide else "A"
        self.calls.append("SearchPath%s(%s, %s, %s, %d)" % (kind, self._text(uc, path), name,
                                                            self._text(uc, extension), length))
        hidden = self.wow64 and self.redirected and name.lower().startswith(SYSTEM32)
        return self._path_result(uc, None if hidden else self.files.get(name), buffer, length, wide)

    def GetFullPathNameA(self, uc, name, length, buffer, file_part, wide=False):
        name = self._text(uc, name, wide)
        return self._path_result(uc, name if ":" in name else "C:\\e2e\\" + name, buffer, length,
                                 wide)

    def GetSystemDirectoryA(self, uc, buffer, size, wide=False):
        return self._path_result(uc, "C:\\WINDOWS\\system32", buffer, size, wide)

    def FindFirstFileA(self, uc, path, data):
        """Each file's long name is a valid short one: it has no other."""
        path = self._text(uc, path)
        self.calls.append("FindFirstFileA(%s)" % path)
        uc.mem_write(data + 44, path.split("\\")[-1].encode("latin-1").ljust(260, b"\0") + bytes(14))
        return 0x4F1D

    def FindClose(self, uc, handle):
        return handle == 0x4F1D

    def CloseHandle(self, uc, handle):
        return 0

    def GetFileAttributesA(self, uc, path, wide=False):
        return 0x20  # FILE_ATTRIBUTE_ARCHIVE: every file found is a plain file

    def GetDriveTypeA(self, uc, root, wide=False):
        return self.drives.get(self._text(uc, root, wide), 3)

    def GetShortPathNameA(self, uc, path, buffer, length, wide=False):
        path = self._text(uc, path, wide)
        self.calls.append("GetShortPathName%s(%s, %d)" % ("W" if wide else "A", path, length))
        return self._path_result(uc, path.upper(), buffer, length, wide)

    def MoveFileExW(self, uc, source, destination, flags):
        source, destination = self._text(uc, source, True), self._text(uc, destination, True)
        self.calls.append("MoveFileExW(%s, %s, %d)" % (source, destination, flags))
        self.pending += ["\\??\\" + source, "!\\??\\" + destination]
        return 1

    def WritePrivateProfileStringA(self, uc, section, key, value, file_name):
        args = [self._text(uc, a) for a in (section, key, value, file_name)]
        self.calls.append("WritePrivateProfileStringA(%s)" % ", ".join(args))
        if section:
            self.rename.append("%s=%s" % tuple(args[1:3]))
        return 0 if section == 0 else 1  # writing the cache out returns FALSE

    def GetLastError(self, uc):
        return self.last_error

    def SetLastError(self, uc, code):
        self.last_error = code

    def FormatMessageA(self, uc, flags, source, code, language, buffer, size, arguments):
        self.calls.append(self._redirector_on("FormatMessageA(0x%X, %d, 0x%X, %d)"
                                              % (flags, code, language, size)))
        text = self.messages.get(code)
        if text is None or source or arguments or flags & 0x100 == 0:
            return 0
        address = self._allocate(uc, len(text) + 1)
        uc.mem_write(address, text + b"\0")
        uc.mem_write(buffer, address.to_bytes(4, "little"))
        return len(text)

    def LocalAlloc(self, uc, flags, size):
        return self._allocate(uc, size)

    def LocalFree(self, uc, memory):
        self.live.discard(memory)
        return 0

    def LoadLibraryA(self, uc, name):
        name = self._text(uc, name)
        self.calls.append(self._redirector_on("LoadLibraryA(%s)" % name))
        return ADVAPI32 if name.lower() == "advapi32.dll" else USER32

    def GetModuleHandleA(self, uc, name):
        if self._text(uc, name).lower() == "kernel32.dll":
            return KERNEL32
        self.missing.add(self._text(uc, name))
        return 0

    def GetProcAddress(self, uc, module, name):
        name = self._text(uc, name)
        found = ((module, name) == (USER32, "CharToOemA")
                 or (module == ADVAPI32 and name.startswith("Reg"))
                 or (module == KERNEL32 and self.wow64 and name.startswith("Wow64"))
                 or (module == KERNEL32 and self._wide() and name in WIDE))
        if not found:
            self.missing.add(name)
        return STUBS + 16 * FUNCTIONS.index(name) if found else 0

    def Wow64DisableWow64FsRedirection(self, uc, old_value):
        self.calls.append("Wow64DisableWow64FsRedirection")
        self.redirected = False
        uc.mem_write(old_value, OLD_VALUE.to_bytes(4, "little"))
        return 1

    def Wow64RevertWow64FsRedirection(self, uc, old_value):
        self.calls.append("Wow64RevertWow64FsRedirection")
        self.redirected = old_value == OLD_VALUE
        return 1

    def FreeLibrary(self, uc, module):
        return 1

    def CharToOemA(self, uc, source, destination):
        """The ANSI e-acute (0xE9) becomes the OEM one (0x82), as on a
        Western European Windows."""
        self.calls.append("CharToOemA")
        text = self._text(uc, source).encode("latin-1").replace(b"\xe9", b"\x82")
        uc.mem_write(destination, text + b"\0")
        return 1

    def SetErrorMode(self, uc, mode):
        self.calls.append("SetErrorMode(%d)" % mode)
        return 0

    # Only what the run registered is pending: no registry key before, an
    # empty [rename] section.
    def RegOpenKeyExW(self, uc, root, key, options, access, result):
        return 0 if self.pending else 2  # ERROR_FILE_NOT_FOUND

    def RegQueryValueExW(self, uc, key, name, reserved, kind, data, size):
        if self._text(uc, name, True) != "PendingFileRenameOperations":
            return 2
        value = "".join(n + "\0" for n in self.pending + [""]).encode("utf-16-le")
        uc.mem_write(size, len(value).to_bytes(4, "little"))  # the program asks for the size first
        if kind:
            uc.mem_write(kind, (7).to_bytes(4, "little"))  # REG_MULTI_SZ
        if data:
            uc.mem_write(data, value)
        return 0

    def RegCloseKey(self, uc, key):
        return 0

    def GetPrivateProfileSectionA(self, uc, section, buffer, size, file_name):
        self.calls.append("GetPrivateProfileSectionA(%s)" % self._text(uc, section))
        lines = "".join(line + "\0" for line in self.rename)
        uc.mem_write(buffer, lines.encode("latin-1") + b"\0\0")
        return len(lines)

    def CreateMutexA(self, uc, attributes, owner, name):
        self.calls.append("CreateMutexA(%s)" % self._text(uc, name))
        return 0x3E7E

    def WaitForSingleObject(self, uc, handle, milliseconds):
        return 0 if handle == 0x3E7E else 0xFFFFFFFF

    def ReleaseMutex(self, uc, handle):
        self.calls.append("ReleaseMutex")
        return 1

    def lstrlenA(self, uc, text):
        return len(self._text(uc, text))

    def GetStdHandle(self, uc, which):
        return 7 if which == 0xFFFFFFF5 else 0

    def WriteFile(self, uc, handle, data, count, written, overlapped):
        if handle != 7 or written == 0:  # Windows 95 needs the count written
            return 0
        self.output += bytes(uc.mem_read(data, count))
        uc.mem_write(written, count.to_bytes(4, "little"))
        return 1

    def ExitProcess(self, uc, status):
        self.status = status
        uc.emu_stop()


# Each wide function, but MoveFileExW, answers as its ANSI one does.
for _name in ("SearchPath", "GetFullPathName", "GetSystemDirectory", "GetFileAttributes",
              "GetDriveType", "GetShortPathName"):
    setattr(Windows, _name + "W", functools.partialmethod(getattr(Windows, _name + "A"), wide=True))
FUNCTIONS = [name for name in vars(Windows) if not name.startswith("_")]
# What the model's NT answers when looked up; the registry functions are
# ADVAPI32's. Whatever else an NT row looked up (CreateFileW, NTDLL and the
# rest) the model lacks: the checks that need it are not judged, and the row
# says which.
WIDE = [name for name in FUNCTIONS
        if name.endswith("W") and not name.startswith(("GetCommandLine", "Reg"))]


def run(image, windows, args):
    """Runs the executable once with the arguments; returns what differed
    from a clean run (unanswered imports, a crash, no exit)."""
    pe = pefile.PE(data=image)
    base = pe.OPTIONAL_HEADER.ImageBase
    uc = unicorn.Uc(unicorn.UC_ARCH_X86, unicorn.UC_MODE_32)
    uc.mem_map(base, (pe.OPTIONAL_HEADER.SizeOfImage + 0xFFF) & ~0xFFF)
    uc.mem_write(base, pe.get_memory_mapped_image())
    for region in (STUBS, STACK, DATA):
        uc.mem_map(region, 0x100000)
    problems = []
    for dll in pe.DIRECTORY_ENTRY_IMPORT:
        for imported in dll.imports:
            name = imported.name.decode()
            if name not in FUNCTIONS:
                problems.append("%s imports %s, which is not answered" % (dll.dll.decode(), name))
                continue
            uc.mem_write(imported.address, (STUBS + 16 * FUNCTIONS.index(name)).to_bytes(4, "little"))
    # Each stub returns as stdcall does, taking its arguments off the stack.
    def arguments(function):  # the stdcall arguments: all but self, uc and `wide`
        function = getattr(function, "func", function)
        return function.__code__.co_argcount - 2 - len(function.__defaults__ or ())
    argc = {name: arguments(vars(Windows)[name]) for name in FUNCTIONS}
    for index, name in enumerate(FUNCTIONS):
        uc.mem_write(STUBS + 16 * index, b"\xc2" + (4 * argc[name]).to_bytes(2, "little"))

    def answer(uc, address, size, user_data):
        name = FUNCTIONS[(address - STUBS) // 16]
        esp = uc.reg_read(UC_X86_REG_ESP)
        stack = bytes(uc.mem_read(esp + 4, 4 * argc[name]))
        values = [int.from_bytes(stack[i:i + 4], "little") for i in range(0, len(stack), 4)]
        result = getattr(windows, name)(uc, *values)
        uc.reg_write(UC_X86_REG_EAX, (result or 0) & 0xFFFFFFFF)

    uc.hook_add(unicorn.UC_HOOK_CODE, answer, begin=STUBS, end=STUBS + 16 * len(FUNCTIONS) - 1)
    command_line = " ".join(['"C:\\quarvel\\Quarvel.exe"'] +
                            ['"%s"' % a if " " in a else a for a in args])
    windows._put(uc, DATA, command_line.encode(windows.code_page, "replace").decode("latin-1"))
    windows._put(uc, DATA + 0x80000, command_line, wide=True)
    top = STACK + 0x100000 - 16
    uc.mem_write(top, (STUBS + 0xFFFF0).to_bytes(4, "little"))  # returned without ExitProcess
    uc.reg_write(UC_X86_REG_ESP, top)
    try:
        uc.emu_start(base + pe.OPTIONAL_HEADER.AddressOfEntryPoint, STUBS + 0xFFFF0,
                     timeout=5 * unicorn.UC_SECOND_SCALE, count=50_000_000)
    except unicorn.UcError as error:
        problems.append("stopped: %s" % error)
    if windows.status is None:
        problems.append("ended without ExitProcess")
    if windows.live:
        problems.append("%d buffers not released" % len(windows.live))
    if not windows.redirected:
        problems.append("the redirector was left off")
    return problems


NT4 = (2, 4, 0, 1381, "Service Pack 6")
WIN98 = (1, 4, 10, 0x040A08AE, " A ")
FILES = {"a.txt": r"C:\e2e\a.txt", "b.txt": r"C:\e2e\b.txt", r"N:\b.txt": r"N:\b.txt"}
FRENCH = {2: "Le fichier sp\xe9cifi\xe9 est introuvable.\r\n".encode("latin-1")}
WIN7 = (2, 6, 1, 7601, "Service Pack 1")
NATIVE = {name: name for name in (r"C:\windows\system32\qnew.dll", r"C:\windows\system32\qonly64.dll")}
OFF, ON = "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection"
SEARCHES = ["SearchPathA(null, a.txt, null, 260)", "SearchPathA(null, b.txt, null, 260)"]
SHORTENED = [r"GetShortPathNameA(C:\e2e\a.txt, 260)", r"GetShortPathNameA(C:\e2e\b.txt, 260)"]
# What is pending is read: on NT 4.0 through ADVAPI32, on 98 from wininit.ini.
# Both before the registration and after it, to read it back, under a lock.
ADVAPI32_LOADED = "LoadLibraryA(advapi32.dll)"
RENAME_SECTION = "GetPrivateProfileSectionA(rename)"
LOCKED, GLOBAL_LOCKED = "CreateMutexA(Quarvel pending moves)", r"CreateMutexA(Global\Quarvel pending moves)"
AS_IS = (ADVAPI32_LOADED, LOCKED, GLOBAL_LOCKED)


def on_nt(calls):
    """The calls as NT makes them: the wide functions, with room for long paths."""
    return [c if c in AS_IS else c.replace("A(", "W(").replace(", 260)", ", 32768)") for c in calls]


CYRILLIC = dict(FILES, **{"файл.dll": "C:\\e2e\\файл.dll"})
# A name whose second byte is a backslash in code page 932, as 98's ANSI
# functions see it: its bytes (95 5C), kept as latin-1 text.
KANJI = "a 表".encode("cp932").decode("latin-1")

# name, Windows, arguments, status, output after the banner, calls but the
# first two (SetErrorMode, then the version query)
CASES = [
    ("usage", Windows(NT4, FILES), ["a.txt"], 1, USAGE, []),
    ("NT registers with MoveFileExW", Windows(NT4, FILES), ["a.txt", "b.txt"], 0,
     outcome("Windows NT 4.0 build 1381 Service Pack 6"),
     on_nt(SEARCHES + SHORTENED + [LOCKED, ADVAPI32_LOADED, r"MoveFileExA(C:\e2e\a.txt, C:\e2e\b.txt, 5)",
                                   ADVAPI32_LOADED, "ReleaseMutex"])),
    ("NT registers a name outside the code page", Windows(NT4, CYRILLIC), ["a.txt", "файл.dll"], 0,
     outcome("Windows NT 4.0 build 1381 Service Pack 6"),
     on_nt(["SearchPathA(null, a.txt, null, 260)", "SearchPathA(null, файл.dll, null, 260)"]
           + [r"GetShortPathNameA(C:\e2e\a.txt, 260)", r"GetShortPathNameA(C:\e2e\файл.dll, 260)",
              LOCKED, ADVAPI32_LOADED, r"MoveFileExA(C:\e2e\a.txt, C:\e2e\файл.dll, 5)",
              ADVAPI32_LOADED, "ReleaseMutex"])),
    ("98 writes wininit.ini", Windows(WIN98, FILES), ["a.txt", "b.txt"], 0,
     outcome("Windows 98 4.10 build 2222  A "),
     SEARCHES + SHORTENED + [r"FindFirstFileA(C:\e2e\b.txt)", LOCKED, RENAME_SECTION,
                             r"WritePrivateProfileStringA(rename, C:\E2E\B.TXT, C:\E2E\A.TXT, wininit.ini)",
                             "WritePrivateProfileStringA(null, null, null, wininit.ini)", RENAME_SECTION,
                             "ReleaseMutex"]),
    ("98 reads a double-byte name by characters", Windows(WIN98, dict(FILES, **{KANJI: "C:\\e2e\\" + KANJI}),
                                                         code_page="cp932"),
     ["a 表", "b.txt"], 0, outcome("Windows 98 4.10 build 2222  A "),
     ["SearchPathA(null, %s, null, 260)" % KANJI, "SearchPathA(null, b.txt, null, 260)",
      r"GetShortPathNameA(C:\e2e\%s, 260)" % KANJI, r"GetShortPathNameA(C:\e2e\b.txt, 260)",
      r"FindFirstFileA(C:\e2e\b.txt)", LOCKED, RENAME_SECTION,
      r"WritePrivateProfileStringA(rename, C:\E2E\B.TXT, C:\E2E\%s, wininit.ini)" % KANJI.upper(),
      "WritePrivateProfileStringA(null, null, null, wininit.ini)", RENAME_SECTION, "ReleaseMutex"]),
    ("64-bit Windows: System32 as the restart sees it", Windows(WIN7, NATIVE, wow64=True),
     list(NATIVE), 0, outcome("Windows NT 6.1 build 7601 Service Pack 1"),
     on_nt([OFF] + ["SearchPathA(null, %s, null, 260)" % name for name in NATIVE]
           + ["GetShortPathNameA(%s, 260)" % name for name in NATIVE]
           + [GLOBAL_LOCKED, ON, ADVAPI32_LOADED, OFF, "MoveFileExA(%s, %s, 5)" % tuple(NATIVE), ON,
              ADVAPI32_LOADED, OFF, ON, "ReleaseMutex"])),
    ("a failure report in the OEM code page, on 64-bit Windows",
     Windows(NT4, FILES, messages=FRENCH, wow64=True), ["donn\xe9es.txt", "b.txt"], 2,
     report("donn\xe9es.txt", "Le fichier sp\x82cifi\x82 est introuvable."),
     [OFF, "SearchPathW(null, donn\xe9es.txt, null, 32768)", ON,
      "FormatMessageA(0x1300, 2, 0x400, 0)", "LoadLibraryA(user32.dll)", "CharToOemA"]),
    ("a refusal: a network drive", Windows(WIN98, FILES, drives={"N:\\": 4}), ["a.txt", r"N:\b.txt"],
     5, refused(r"N:\b.txt", "Network drives are not available while Windows starts."),
     ["SearchPathA(null, a.txt, null, 260)", r"SearchPathA(null, N:\b.txt, null, 260)"]),
]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    release_zip, work_dir = sys.argv[1:]
    image = zipfile.ZipFile(release_zip).read("Quarvel.exe")
    failures = 0
    for name, windows, args, status, output, calls in CASES:
        problems = run(image, windows, args)
        if windows.status != status:
            problems.append("status %r, expected %d" % (windows.status, status))
        if windows.output != BANNER + output:
            problems.append("output %r, expected %r" % (windows.output, BANNER + output))
        if windows.calls != ["SetErrorMode(32769)", "GetVersionExA(148)"] + calls:
            problems.append("calls %r, expected %r" % (windows.calls[2:], calls))
        failures += report_line(name, problems)
        if windows._wide() and windows.missing:
            print("     not judged, for want of a model of " + ", ".join(sorted(windows.missing)))
    passed = len(CASES) - failures
    os.makedirs(work_dir, exist_ok=True)
    with open(os.path.join(work_dir, "ran-on"), "w") as f:
        f.write("%d of %d cases passed with the release's Quarvel.exe on an emulated x86 CPU "
                "(unicorn %s)\n" % (passed, len(CASES), unicorn.__version__))
    print("%d passed, %d failed" % (passed, failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
