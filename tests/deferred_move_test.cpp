// Resolving, registering and reporting failures, against the fake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deferred_move/deferred_move.h"
#include "fake_win32.h"

namespace {

using Calls = std::vector<std::string>;

const Calls resolvingAndRegistering = {"SearchPathA", "SearchPathW", "GetShortPathNameA",
                                       "GetShortPathNameW", "MoveFileExW",
                                       "WritePrivateProfileStringA"};

const std::string notFound = "The system cannot find the file specified.\r\n";
const std::string tooLong = "The filename or extension is too long.\r\n";
const std::string denied = "Access is denied.\r\n";
const std::string elevate = "Only an administrator can register a move for the restart: run Quarvel from a "
                            "prompt opened with Run as administrator.\n";
const std::string otherDrive = "The system cannot move the file to a different disk drive.\r\n";
const std::string network = "Network drives are not available while Windows starts.\n";
const std::string sameFile = "Source and Destination are the same file.\n";
const std::string notFixed = "Only files on a fixed local disk can be replaced at the restart.\n";
const std::string readOnly = "It is read-only, and the restart cannot replace it: clear the "
                             "attribute first (attrib -r), then run again.\n";
const std::string link =
    "It is a link, and the restart may act on the file it points to: name the file itself.\n";
const std::string sysnative = "The Sysnative folder exists only for 32-bit programs, and the "
                              "restart does not know it: name the file through System32.\n";

// Two files in the current directory and two with long names elsewhere.
void AddFiles() {
    fake.files["src.txt"] = "C:\\work\\src.txt";
    fake.files["dst.txt"] = "C:\\work\\dst.txt";
    fake.files["new library.dll"] = "C:\\Temp\\new library.dll";
    fake.files["C:\\Program Files\\My App\\library.dll"] = "C:\\Program Files\\My App\\library.dll";
    fake.shortNames["C:\\work\\src.txt"] = "C:\\WORK\\SRC.TXT";
    fake.shortNames["C:\\work\\dst.txt"] = "C:\\WORK\\DST.TXT";
    fake.shortNames["C:\\Temp\\new library.dll"] = "C:\\TEMP\\NEWLIB~1.DLL";
    fake.shortNames["C:\\Program Files\\My App\\library.dll"] = "C:\\PROGRA~1\\MYAPP~1\\LIBRARY.DLL";
    // The same files by other names, a folder, and files on other drives.
    fake.files[".\\SRC.TXT"] = "C:\\work\\SRC.TXT";
    fake.shortNames["C:\\work\\SRC.TXT"] = "C:\\WORK\\SRC.TXT";
    fake.files["NEWLIB~1.DLL"] = "C:\\Temp\\NEWLIB~1.DLL";
    fake.shortNames["C:\\Temp\\NEWLIB~1.DLL"] = "C:\\TEMP\\NEWLIB~1.DLL";
    fake.files["library in use.dll"] = "c:\\Temp\\library in use.dll";
    fake.shortNames["c:\\Temp\\library in use.dll"] = "C:\\TEMP\\LIBRAR~1.DLL";
    fake.files["dir"] = "C:\\work\\dir";
    fake.folders.push_back("C:\\work\\dir");
    fake.files["D:\\dst.txt"] = "D:\\dst.txt";
    fake.files["N:\\dst.txt"] = "N:\\dst.txt";
    fake.driveTypes["N:\\"] = DRIVE_REMOTE;
    fake.files["\\\\server\\share\\src.txt"] = "\\\\server\\share\\src.txt";
    fake.files["C:\\Windows\\SysnativeOld\\a.dll"] = "C:\\Windows\\SysnativeOld\\a.dll";
    // Files on a SUBST letter, a CD-ROM, a floppy and a volume mounted in a folder.
    for (const char *path : {"S:\\src.txt", "S:\\dst.txt", "E:\\src.txt", "E:\\dst.txt",
                             "F:\\dst.txt", "C:\\mnt\\dst.txt"}) {
        fake.files[path] = path;
    }
    fake.driveTypes["E:\\"] = DRIVE_CDROM;
    fake.driveTypes["F:\\"] = DRIVE_REMOVABLE;
    fake.volumes["C:\\work\\src.txt"] = "C:\\";
    fake.volumes["C:\\work\\dst.txt"] = "C:\\";
    fake.volumes["C:\\mnt\\dst.txt"] = "C:\\mnt\\";
    fake.shortNames["C:\\mnt\\dst.txt"] = "C:\\MNT\\DST.TXT";
}

void SubstLetter() { fake.dosDevices["S:"] = "\\??\\C:\\work"; }
void ReadOnlyDestination() { fake.attributes["C:\\work\\dst.txt"] = FILE_ATTRIBUTE_READONLY; }
void SourceIsLink() { fake.attributes["C:\\work\\src.txt"] = FILE_ATTRIBUTE_REPARSE_POINT; }
// A reparse point with the given tag: a link only if it is a name surrogate.
template <DWORD tag>
void SourceTagged() {
    SourceIsLink();
    fake.found["C:\\work\\src.txt"] = {"src.txt", "", tag};
}
// What a search along the whole path would find of app\x.dll: the copy
// beside Quarvel.exe.
void BesideQuarvel() { fake.files["app\\x.dll"] = "C:\\tools\\app\\x.dll"; }

// Runs on the Windows whose mechanism it is: NT 4.0, or 98.
std::string RunCapturingOutput(ExitStatus &status, const std::string &source,
                               const std::string &destination, DeferMechanism mechanism) {
    if (mechanism == DeferMechanism::StartupRenameList) {
        fake.version.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    }
    status = RequestDeferredMove(Widen(source).c_str(), Widen(destination).c_str(), mechanism);
    return ConsoleOutput();
}

struct MoveCase {
    const char *name;
    DeferMechanism mechanism;
    const char *source;
    const char *destination;
    void (*setUp)();
    ExitStatus status;
    Calls calls;  // searches, short-name conversions and registrations, in order
    std::string output;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const MoveCase &c, std::ostream *os) { *os << c.name; }

const DeferMechanism nt = DeferMechanism::ReplaceAtReboot;
const DeferMechanism win9x = DeferMechanism::StartupRenameList;
void Nothing() {}

// Over MAX_PATH: NT takes it in the \\?\ form.
const std::string longPath = "C:\\" + std::string(300, 'd') + ".txt";
const std::string longShare = "\\\\server\\share\\" + std::string(300, 'd') + ".txt";
const std::string noAnsiForm =
    "No mapping for the Unicode character exists in the target multi-byte code page.\r\n";

// src.txt onto dst.txt on NT: searched, and refused; or moved.
const Calls ntSearched = {"SearchPathW(null, src.txt, null, 32768)",
                          "SearchPathW(null, dst.txt, null, 32768)"};
const Calls ntMoved = {"SearchPathW(null, src.txt, null, 32768)",
                       "SearchPathW(null, dst.txt, null, 32768)",
                       "GetShortPathNameW(C:\\work\\src.txt, 32768)",
                       "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
                       "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)"};
// The same, refused once both are checked; and on 98.
const Calls ntChecked(ntMoved.begin(), ntMoved.end() - 1);
const Calls win9xChecked = {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
                            "GetShortPathNameA(C:\\work\\src.txt, 260)",
                            "GetShortPathNameA(C:\\work\\dst.txt, 260)"};
const std::string restartFirst = " is already pending for the next start, and the two would combine: "
                                 "restart Windows first, then run again.\n";
const std::vector<std::string> NT_PAIR = {"\\??\\C:\\a.txt", "!\\??\\C:\\b.txt"};
void Pending(const std::vector<std::string> &first, const std::vector<std::string> &second = {}) {
    fake.pending["PendingFileRenameOperations"] = first;
    if (!second.empty()) {
        fake.pending["PendingFileRenameOperations2"] = second;
    }
}
// Before Vista: no final paths, and no ordinal comparison.
void Nt4() { fake.version.dwMajorVersion = 4, fake.version.dwMinorVersion = 0; }
void BeforeVista() { fake.version.dwMajorVersion = 5, fake.version.dwMinorVersion = 1; }
const std::string volume = "\\\\?\\Volume{8a7e1f2c-0000-0000-0000-100000000000}\\";
const std::string volumeSource = volume + "src.txt", volumeDestination = volume + "dst.txt";
const std::string busy = "Another program is registering moves for the restart: run again.\n";
const std::string notKept = "Windows did not keep the request in the list for the next start: run again.\n";
const std::string lockNameTaken = "Another program holds Global\\Quarvel pending moves, the name of the lock that keeps two "
                                  "registrations apart, so Quarvel cannot be sure that none runs at the same time: "
                                  "end that program, or restart Windows, then run again.\n";
const std::string damaged = "The list of moves already pending for the next start cannot be read whole, and a "
                            "move added to it could be lost: restart Windows first, which clears the list, "
                            "then run again.\n";
const std::string holdsIt = ", a folder that holds the file,";
const std::string longName = "C:\\" + std::string(40000, 'x');
const std::string stageSafely = "move it to a folder only administrators and SYSTEM can write, all the way up "
                                "to the drive's root, then run again.\n";
const std::string openToUsers = "Another account can change or replace it, and the restart gives Destination "
                                "its permissions: " + stageSafely;
std::string FolderOpen(const std::string &folder) {
    return "Another account can replace a folder on its path, as the permissions of " + folder +
           " allow, and so the file the restart moves: " + stageSafely;
}
std::string DestinationPathOpen(const std::string &folder) {
    return "Another account can change or replace it, and a folder on Destination's path, as the permissions of " +
           folder + " allow, and so choose where the restart puts it: " + stageSafely;
}
// DACLs as Windows gives them: Modify and Read for Users, full control for
// SYSTEM, writing and deleting denied to Everyone.
using Ace = FakeWindows::Ace;
const Ace usersModify = {0, Ace::Users, 0x1301BF}, usersRead = {0, Ace::Users, 0x1200A9},
          systemAll = {0, Ace::System, 0x1F01FF}, noWriting = {1, Ace::Everyone, 0x10006};
void Dacls(const std::vector<Ace> &source, const std::vector<Ace> &destination) {
    fake.dacls["C:\\work\\src.txt"] = source;
    fake.dacls["C:\\work\\dst.txt"] = destination;
    // Their folder, which only administrators and SYSTEM may write.
    fake.finalPaths["C:\\work\\"] = "\\\\?\\C:\\work\\";
    fake.dacls["C:\\work\\"] = {systemAll, usersRead};
}
// A name that opens as another: a volume, NT's root, a junction, a mount.
void Opens(const std::string &name, const std::string &as) { fake.finalPaths[name] = "\\\\?\\" + as; }
// u\dst.txt, a hard link of dst.txt, and u\src.txt, one of src.txt.
void HardLinks() {
    Opens("\\\\?\\C:\\work\\u\\dst.txt", "C:\\work\\u\\dst.txt");
    Opens("\\\\?\\C:\\work\\u\\src.txt", "C:\\work\\u\\src.txt");
    fake.hardLinks["\\\\?\\C:\\work\\u\\dst.txt"] = "\\\\?\\C:\\work\\dst.txt";
    fake.hardLinks["\\\\?\\C:\\work\\u\\src.txt"] = "\\\\?\\C:\\work\\src.txt";
}

// Windows 11 23H2, or Windows 10 22H2.
void Build(DWORD build) { fake.version.dwMajorVersion = 10, fake.version.dwBuildNumber = build; }
// Source (0) or Destination (1) with a reparse point that is no link, on a
// build; and src.txt onto dst.txt so, refused for `reason` or moved.
template <int file, DWORD tag, DWORD build>
void TaggedOn() {
    const char *path = file == 0 ? "C:\\work\\src.txt" : "C:\\work\\dst.txt";
    fake.attributes[path] = FILE_ATTRIBUTE_REPARSE_POINT;
    fake.found[path] = {path + 8, "", tag};
    Build(build);
}
const std::string compressed = "It is compressed by Windows (CompactOS, compact /exe), and Windows 11 neither moves "
                               "nor replaces such a file at the restart: uncompress it first (compact /u /exe), "
                               "then run again.\n";
const std::string reparsePoint = "It carries a reparse point (a deduplicated or cloud file), and Windows 11 neither "
                                 "moves nor replaces such a file at the restart: make it a plain file first, then "
                                 "run again.\n";
MoveCase Tagged(const char *name, void (*setUp)(), const std::string &refused = "") {
    return {name, nt, "src.txt", "dst.txt", setUp, refused.empty() ? Success : CannotCarryOut,
            refused.empty() ? ntMoved : ntSearched, refused};
}
// C:\ on disk 1, reached by the bus given; the Windows folder on W:, a
// SATA disk. A virtual disk's file, listed at boot by another spelling.
const std::string volumeC = "\\\\?\\Volume{00000000-0000-0000-0000-00000000000c}";
const std::string volumeW = "\\\\?\\Volume{00000000-0000-0000-0000-00000000000a}";
const std::string vhd = "\\\\?\\Volume{00000000-0000-0000-0000-00000000000d}\\vhd\\dev.vhdx";
template <DWORD bus>
void OnDisk() {
    fake.volumes["C:\\"] = volumeC + "\\", fake.volumes["W:\\"] = volumeW + "\\";
    fake.volumeDisks[volumeC] = {1}, fake.volumeDisks[volumeW] = {0};
    fake.busTypes[1] = bus, fake.busTypes[0] = BusTypeSata;
    fake.systemDirectory = "W:\\WINDOWS\\system32";
    fake.volumes[fake.systemDirectory] = "W:\\";
}
void ListedAtBoot() {
    OnDisk<BusTypeFileBackedVirtual>();
    fake.virtualDiskFiles[1] = vhd;
    Opens(vhd, "D:\\vhd\\dev.vhdx");
    Opens("\\\\?\\D:\\VHD\\dev.vhdx", "D:\\vhd\\dev.vhdx");
    fake.attachedAtBoot = {{"{0}", "D:\\other.vhdx"}, {"{1}", "\\??\\D:\\VHD\\dev.vhdx"}};
}
const std::string lateIscsi = "It lies on an iSCSI disk, which Windows connects only after the restart has carried "
                              "out its moves.\n";
const std::string lateVirtual = "It lies on a virtual disk that is not attached at boot, which Windows connects only "
                                "after the restart has carried out its moves, if at all.\n";

// A pending value src.txt onto dst.txt is refused for, as damaged.
MoveCase Damaged(const char *name, void (*setUp)()) {
    return {name, nt, "src.txt", "dst.txt", setUp, RegistrationFailed, ntChecked, "Error with: src.txt. " + damaged};
}
// src.txt onto dst.txt on NT, refused for who may change Source, or moved.
MoveCase OpenToOthers(const char *name, void (*setUp)()) {
    return {name, nt, "src.txt", "dst.txt", setUp, CannotCarryOut, ntChecked, "Error with: src.txt. " + openToUsers};
}
MoveCase NotOpened(const char *name, void (*setUp)()) {
    return {name, nt, "src.txt", "dst.txt", setUp, Success, ntMoved, ""};
}
// Every folder up from C:\work and C:\Program Files\My App for
// administrators and SYSTEM alone, but those given Users' `rights`; the
// calls of app's library onto dst.txt, refused, and of src.txt onto it.
const std::string app = "C:\\Program Files\\My App\\library.dll";
void Folders(const std::vector<std::string> &open, DWORD rights = DELETE) {
    fake.dacls[app] = {usersRead};
    for (const char *folder : {"C:\\", "C:\\work\\", "C:\\Program Files\\", "C:\\Program Files\\My App\\"}) {
        Opens(folder, folder);
        fake.dacls[folder] = {systemAll, usersRead};
    }
    for (const std::string &folder : open) {
        fake.dacls[folder].push_back({0, Ace::Users, rights});
    }
}
const Calls appChecked = {"SearchPathW(null, " + app + ", null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
                          "GetShortPathNameW(" + app + ", 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)"};
const Calls ontoApp = {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, " + app + ", null, 32768)",
                       "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(" + app + ", 32768)",
                       "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\" + app + ", 5)"};
const Calls ontoAppChecked(ontoApp.begin(), ontoApp.end() - 1);
// The same calls before Vista, which registers paths without \\?\.
Calls BeforeVistaForm(Calls calls) {
    for (size_t at; (at = calls.back().find("\\\\?\\")) != std::string::npos;) {
        calls.back().erase(at, 4);
    }
    return calls;
}

// src.txt onto dst.txt pending through S:, which opens them.
void ThroughS() {
    Pending({"\\??\\S:\\src.txt", "!\\??\\S:\\dst.txt"});
    Opens("\\\\?\\S:\\src.txt", "C:\\work\\src.txt"), Opens("\\\\?\\S:\\dst.txt", "C:\\work\\dst.txt");
}
// A deletion of src.txt through E:, which opens it.
void ThroughE() { Pending({"\\??\\E:\\src.txt", ""}), Opens("\\\\?\\E:\\src.txt", "C:\\work\\src.txt"); }
// Windows 10's cs, a folder that tells names apart by case, with a, b, A and B.
void CaseSensitive() {
    Build(19045);
    fake.caseSensitive = {"C:\\work\\cs"};
    Opens("C:\\work\\cs", "C:\\work\\cs");
    for (const char *path : {"C:\\work\\cs\\a", "C:\\work\\cs\\b", "C:\\work\\cs\\A", "C:\\work\\cs\\B"}) {
        fake.files[path] = path;
    }
}
const Calls caseSensitiveMoved = {"SearchPathW(null, C:\\work\\cs\\a, null, 32768)",
                                  "SearchPathW(null, C:\\work\\cs\\b, null, 32768)",
                                  "GetShortPathNameW(C:\\work\\cs\\a, 32768)",
                                  "MoveFileExW(\\\\?\\C:\\work\\cs\\a, \\\\?\\C:\\work\\cs\\b, 5)"};
// A [rename] line onto dst.txt, spelt another way: src.txt onto it is refused.
MoveCase Win9xOntoDestination(const char *name, void (*setUp)()) {
    return {name, win9x, "src.txt", "dst.txt", setUp, CannotCarryOut, win9xChecked,
            "Error with: dst.txt. A move of C:\\WORK\\X.TXT onto C:\\WORK\\DST.TXT" + restartFirst};
}
// Source in C:\Temp, whose folder is set up as given, onto dst.txt.
const Calls fromTemp = {"SearchPathW(null, new library.dll, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
                        "GetShortPathNameW(C:\\Temp\\new library.dll, 32768)",
                        "GetShortPathNameW(C:\\work\\dst.txt, 32768)"};
void FromTemp(const std::vector<Ace> &folder) {
    Dacls({}, {usersRead});
    fake.dacls["C:\\Temp\\new library.dll"] = {usersRead};
    Opens("C:\\Temp\\", "C:\\Temp\\");
    fake.dacls["C:\\Temp\\"] = folder;
}

// Before Vista, where no final path puts a path in the \\?\ form first:
// a path of 260 characters, and a folder too deep for MAX_PATH.
const std::string deep260 = "C:\\" + std::string(253, 'd') + ".txt";
const std::string deepFolder = "C:\\" + std::string(250, 'd');
const std::string dotLongPath = "\\\\.\\" + longPath;
const Calls xpMoved = {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
                       "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
                       "MoveFileExW(C:\\work\\src.txt, C:\\work\\dst.txt, 5)"};

// A [rename] section that, with the line for src.txt onto dst.txt (32
// bytes), would be read back just whole (32,763 bytes), or no longer (32,764).
std::vector<std::string> NearlyFull(const std::string &last) {
    std::vector<std::string> lines(818, "C:\\TEMP\\NEWFILE.DLL=C:\\TEMP\\OLDFILE.DLL");
    lines.push_back(last);
    return lines;
}

const Calls volumeMoved = {"SearchPathW(null, " + volume + "src.txt, null, 32768)",
                           "SearchPathW(null, " + volume + "dst.txt, null, 32768)",
                           "GetShortPathNameW(" + volume + "src.txt, 32768)",
                           "MoveFileExW(" + volume + "src.txt, " + volume + "dst.txt, 5)"};

const MoveCase moveCases[] = {
    {"SourceMissing", nt, "missing.txt", "dst.txt", Nothing, SourceNotFound,
     {"SearchPathW(null, missing.txt, null, 32768)"},
     "Error with: missing.txt. " + notFound},
    {"DestinationMissing", win9x, "src.txt", "missing.txt", Nothing, DestinationNotFound,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, missing.txt, null, 260)"},
     "Error with: missing.txt. " + notFound},
    {"NtRegistersFullPathsWithReplaceAndDelay", nt, "src.txt", "dst.txt", Nothing, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"Win9xWritesShortNamesDestinationAsKey", win9x, "new library.dll",
     "C:\\Program Files\\My App\\library.dll", Nothing, Success,
     {"SearchPathA(null, new library.dll, null, 260)",
      "SearchPathA(null, C:\\Program Files\\My App\\library.dll, null, 260)",
      "GetShortPathNameA(C:\\Temp\\new library.dll, 260)",
      "GetShortPathNameA(C:\\Program Files\\My App\\library.dll, 260)",
      "WritePrivateProfileStringA(rename, C:\\PROGRA~1\\MYAPP~1\\LIBRARY.DLL, "
      "C:\\TEMP\\NEWLIB~1.DLL, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    {"NtRefusedRegistration", nt, "src.txt", "dst.txt", [] { fake.moveFileResult = FALSE; },
     RegistrationFailed,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)"},
     "Error with: src.txt. " + denied + elevate},
    {"NtRegistrationWithoutThePrivilege", nt, "src.txt", "dst.txt",
     [] { fake.moveFileResult = FALSE, fake.registerError = ERROR_PRIVILEGE_NOT_HELD; }, RegistrationFailed, ntMoved,
     "Error with: src.txt. System error 1314.\n" + elevate},
    {"SourcePathOf32768IsTooLong", nt, "src.txt", "dst.txt", [] { fake.searchLength["src.txt"] = 32768; },
     SourceNotFound, {"SearchPathW(null, src.txt, null, 32768)"}, "Error with: src.txt. " + tooLong},
    {"Win9xNameOf260IsTooLong", win9x, "src.txt", deep260.c_str(), Nothing, DestinationNotFound,
     {"SearchPathA(null, src.txt, null, 260)"}, "Error with: " + deep260 + ". " + tooLong},
    {"Win9xRefusedWrite", win9x, "src.txt", "dst.txt", [] { fake.profileResult = FALSE; },
     RegistrationFailed,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)",
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)"},
     "Error with: src.txt. " + denied},
    {"Win9xShortNameFailsNothingWritten", win9x, "src.txt", "dst.txt",
     [] { fake.shortNames.erase("C:\\work\\dst.txt"); }, RegistrationFailed,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)"},
     "Error with: src.txt. " + notFound},
    {"Win9xShortNameTooLongNothingWritten", win9x, "src.txt", "dst.txt",
     [] { fake.shortLength["C:\\work\\src.txt"] = 300; }, RegistrationFailed,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)"},
     "Error with: src.txt. " + tooLong},
    {"SourcePathTooLong", nt, "src.txt", "dst.txt", [] { fake.searchLength["src.txt"] = 40000; },
     SourceNotFound, {"SearchPathW(null, src.txt, null, 32768)"}, "Error with: src.txt. " + tooLong},
    {"DestinationPathOf260IsTooLong", win9x, "src.txt", "dst.txt",
     [] { fake.searchLength["dst.txt"] = 260; }, DestinationNotFound,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)"},
     "Error with: dst.txt. " + tooLong},
    {"PathOf259Fits", nt, "deep.txt", "dst.txt",
     [] { fake.files["deep.txt"] = "C:\\" + std::string(252, 'd') + ".txt"; }, Success,
     {"SearchPathW(null, deep.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\" + std::string(252, 'd') + ".txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\" + std::string(252, 'd') + ".txt, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"BeforeVistaPathOf260InTheLongForm", nt, "deep.txt", "dst.txt", [] { BeforeVista(), fake.files["deep.txt"] = deep260; },
     Success,
     {"SearchPathW(null, deep.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\" + deep260 + ", 32768)", "MoveFileExW(\\\\?\\" + deep260 + ", C:\\work\\dst.txt, 5)"},
     ""},
    // Requests the next start cannot carry out: refused, nothing registered.
    {"SourceIsFolder", nt, "dir", "dst.txt", Nothing, SourceNotFound,
     {"SearchPathW(null, dir, null, 32768)"}, "Error with: dir. It is a folder, not a file.\n"},
    {"DestinationIsFolder", win9x, "src.txt", "dir", Nothing, DestinationNotFound,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dir, null, 260)"},
     "Error with: dir. It is a folder, not a file.\n"},
    {"NtSourceOnShare", nt, "\\\\server\\share\\src.txt", "dst.txt", Nothing, CannotCarryOut,
     {"SearchPathW(null, \\\\server\\share\\src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)"},
     "Error with: \\\\server\\share\\src.txt. " + network},
    {"NtShareOverMaxPathIsNetwork", nt, longShare.c_str(), "dst.txt",
     [] { fake.files["\\\\?\\UNC\\" + longShare.substr(2)] = "\\\\?\\UNC\\" + longShare.substr(2); },
     CannotCarryOut,
     {"SearchPathW(null, \\\\?\\UNC\\" + longShare.substr(2) + ", null, 32768)", "SearchPathW(null, dst.txt, null, 32768)"},
     "Error with: " + longShare + ". " + network},
    {"Win9xDestinationOnNetworkDrive", win9x, "src.txt", "N:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, N:\\dst.txt, null, 260)"},
     "Error with: N:\\dst.txt. " + network},
    {"NtDestinationOnNetworkDrive", nt, "src.txt", "N:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, N:\\dst.txt, null, 32768)"},
     "Error with: N:\\dst.txt. " + network},
    {"Win9xSourceOnShare", win9x, "\\\\server\\share\\src.txt", "dst.txt", Nothing,
     CannotCarryOut,
     {"SearchPathA(null, \\\\server\\share\\src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)"},
     "Error with: \\\\server\\share\\src.txt. " + network},
    {"NtOtherDrive", nt, "src.txt", "D:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, D:\\dst.txt, null, 32768)"},
     "Error with: src.txt. " + otherDrive},
    {"Win9xOtherDrive", win9x, "src.txt", "D:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, D:\\dst.txt, null, 260)"},
     "Error with: src.txt. " + otherDrive},
    {"NtSameFileByCase", nt, "src.txt", ".\\SRC.TXT", Nothing, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(., .\\SRC.TXT, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\SRC.TXT, 32768)"},
     "Error with: src.txt. " + sameFile},
    {"Win9xSameFileByCase", win9x, "src.txt", ".\\SRC.TXT", Nothing, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(., .\\SRC.TXT, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\SRC.TXT, 260)"},
     "Error with: src.txt. " + sameFile},
    {"NtSameFileByShortName", nt, "new library.dll", "NEWLIB~1.DLL",
     [] { Opens("C:\\Temp\\NEWLIB~1.DLL", "C:\\Temp\\new library.dll"); }, CannotCarryOut,
     {"SearchPathW(null, new library.dll, null, 32768)", "SearchPathW(null, NEWLIB~1.DLL, null, 32768)",
      "GetShortPathNameW(C:\\Temp\\new library.dll, 32768)",
      "GetShortPathNameW(C:\\Temp\\NEWLIB~1.DLL, 32768)"},
     "Error with: new library.dll. " + sameFile},
    {"Win9xSameFileByShortName", win9x, "new library.dll", "NEWLIB~1.DLL", Nothing, CannotCarryOut,
     {"SearchPathA(null, new library.dll, null, 260)", "SearchPathA(null, NEWLIB~1.DLL, null, 260)",
      "GetShortPathNameA(C:\\Temp\\new library.dll, 260)",
      "GetShortPathNameA(C:\\Temp\\NEWLIB~1.DLL, 260)"},
     "Error with: new library.dll. " + sameFile},
    {"Win9xLongDestinationName", win9x, "new library.dll", "library in use.dll", Nothing,
     CannotCarryOut,
     {"SearchPathA(null, new library.dll, null, 260)",
      "SearchPathA(null, library in use.dll, null, 260)",
      "GetShortPathNameA(C:\\Temp\\new library.dll, 260)",
      "GetShortPathNameA(c:\\Temp\\library in use.dll, 260)"},
     "Error with: library in use.dll. Windows 95 and 98 can replace it at the restart only under "
     "its short name, LIBRAR~1.DLL.\n"},
    {"NtLongDestinationNameOnLowerCaseDrive", nt, "new library.dll", "library in use.dll", Nothing,
     Success,
     {"SearchPathW(null, new library.dll, null, 32768)",
      "SearchPathW(null, library in use.dll, null, 32768)",
      "GetShortPathNameW(C:\\Temp\\new library.dll, 32768)",
      "GetShortPathNameW(c:\\Temp\\library in use.dll, 32768)",
      "MoveFileExW(\\\\?\\C:\\Temp\\new library.dll, \\\\?\\c:\\Temp\\library in use.dll, 5)"},
     ""},
    // Sysnative, which only 32-bit programs see, by its name alone.
    {"NtSourceThroughSysnative", nt, "C:\\Windows\\Sysnative\\new.dll", "dst.txt", Nothing,
     CannotCarryOut, {}, "Error with: C:\\Windows\\Sysnative\\new.dll. " + sysnative},
    {"Win9xDestinationThroughSysnativeByCase", win9x, "src.txt", "c:\\windows\\SYSNATIVE\\a\\b.sys",
     Nothing, CannotCarryOut, {"SearchPathA(null, src.txt, null, 260)"},
     "Error with: c:\\windows\\SYSNATIVE\\a\\b.sys. " + sysnative},
    {"SysnativeItself", nt, "C:\\WINDOWS\\Sysnative", "dst.txt", Nothing, CannotCarryOut, {},
     "Error with: C:\\WINDOWS\\Sysnative. " + sysnative},
    {"RelativeNameInSysnative", win9x, "a.dll", "dst.txt",
     [] { fake.currentDirectory = "C:\\Windows\\sysnative"; }, CannotCarryOut, {},
     "Error with: a.dll. " + sysnative},
    // What else the restart drops: SUBST letters, drives that are not fixed
    // disks, links, another volume, a read-only Destination. Where the call
    // a check needs is missing or fails, the check is skipped.
    // A letter that stands for a folder (SUBST, or the registry's DOS
    // Devices) is replaced by that folder; one that stands for no path is refused.
    {"NtSubstLettersTranslated", nt, "S:\\src.txt", "S:\\dst.txt", SubstLetter, Success,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"XpSubstLettersTranslated", nt, "S:\\src.txt", "S:\\dst.txt", [] { SubstLetter(), BeforeVista(); }, Success,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(C:\\work\\src.txt, C:\\work\\dst.txt, 5)"},
     ""},
    {"XpLetterForAFolderOnAnotherLetterFollowed", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { BeforeVista(), fake.dosDevices["S:"] = "\\??\\T:\\", fake.dosDevices["T:"] = "\\??\\C:\\work"; }, Success,
     xpMoved, ""},
    {"XpLongPathsEachInItsOwnLongForm", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { BeforeVista(), fake.dosDevices["S:"] = "\\??\\" + deepFolder; }, Success,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\" + deepFolder + "\\src.txt, 32768)",
      "MoveFileExW(\\\\?\\" + deepFolder + "\\src.txt, \\\\?\\" + deepFolder + "\\dst.txt, 5)"},
     ""},
    {"XpReadOnlyDestinationInADeepFolder", nt, "S:\\src.txt", "S:\\dst.txt",
     [] {
         BeforeVista(), fake.dosDevices["S:"] = "\\??\\" + deepFolder;
         fake.attributes["\\\\?\\" + deepFolder + "\\dst.txt"] = FILE_ATTRIBUTE_READONLY;
     },
     CannotCarryOut,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\" + deepFolder + "\\src.txt, 32768)"},
     "Error with: S:\\dst.txt. " + readOnly},
    {"NtLetterForAFolderTooDeep", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { fake.dosDevices["S:"] = "\\??\\C:\\" + std::string(32759, 'd'); }, CannotCarryOut,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)"},
     "Error with: S:\\src.txt. " + tooLong},
    {"Win9xSubstLetterTranslated", win9x, "src.txt", "S:\\dst.txt", SubstLetter, Success,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, S:\\dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)",
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    {"NtDosDevicesLetterForARootTranslated", nt, "src.txt", "R:\\dst.txt",
     [] {
         fake.dosDevices["R:"] = "\\??\\C:\\", fake.files["R:\\dst.txt"] = "R:\\dst.txt";
         fake.finalPaths["C:\\dst.txt"] = "\\\\?\\C:\\dst.txt";
     },
     Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, R:\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\dst.txt, 5)"},
     ""},
    {"NtLetterForNoPathRefused", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { fake.dosDevices["S:"] = "\\??\\Volume{5}\\"; }, CannotCarryOut,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)"},
     "Error with: S:\\src.txt. Its drive letter stands for Volume{5}\\ and does not exist at the "
     "restart: name the file by that path.\n"},
    {"SubstLetterUnseenWithoutQueryDosDevice", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { SubstLetter(), fake.missing.push_back("QueryDosDeviceW"); }, Success,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(S:\\src.txt, 32768)", "MoveFileExW(\\\\?\\S:\\src.txt, \\\\?\\S:\\dst.txt, 5)"},
     ""},
    {"DiskLetterIsNoSubst", nt, "S:\\src.txt", "S:\\dst.txt",
     [] { fake.dosDevices["S:"] = "\\Device\\HarddiskVolume2"; }, Success,
     {"SearchPathW(null, S:\\src.txt, null, 32768)", "SearchPathW(null, S:\\dst.txt, null, 32768)",
      "GetShortPathNameW(S:\\src.txt, 32768)", "MoveFileExW(\\\\?\\S:\\src.txt, \\\\?\\S:\\dst.txt, 5)"},
     ""},
    {"NtSourceOnCdRom", nt, "E:\\src.txt", "E:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathW(null, E:\\src.txt, null, 32768)", "SearchPathW(null, E:\\dst.txt, null, 32768)"},
     "Error with: E:\\src.txt. " + notFixed},
    {"Win9xDestinationOnRemovable", win9x, "src.txt", "F:\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, F:\\dst.txt, null, 260)"},
     "Error with: F:\\dst.txt. " + notFixed},
    {"NtDestinationOnRamDisk", nt, "src.txt", "R:\\dst.txt",
     [] { fake.files["R:\\dst.txt"] = "R:\\dst.txt", fake.driveTypes["R:\\"] = 6; },  // DRIVE_RAMDISK
     CannotCarryOut, {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, R:\\dst.txt, null, 32768)"},
     "Error with: R:\\dst.txt. " + notFixed},
    {"NtDestinationOnDriveOfUnknownType", nt, "src.txt", "U:\\dst.txt",
     [] { fake.files["U:\\dst.txt"] = "U:\\dst.txt", fake.driveTypes["U:\\"] = DRIVE_UNKNOWN; }, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, U:\\dst.txt, null, 32768)"},
     "Error with: U:\\dst.txt. " + notFixed},
    {"NtSourceIsLink", nt, "src.txt", "dst.txt", SourceIsLink, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)"},
     "Error with: src.txt. " + link},
    {"NtDestinationIsJunction", nt, "src.txt", "dst.txt",
     [] {
         fake.attributes["C:\\work\\dst.txt"] = FILE_ATTRIBUTE_REPARSE_POINT;
         fake.found["C:\\work\\dst.txt"] = {"dst.txt", "", 0xA0000003};
     },
     CannotCarryOut, ntSearched, "Error with: dst.txt. " + link},
    {"NtOtherVolume", nt, "src.txt", "C:\\mnt\\dst.txt", Nothing, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, C:\\mnt\\dst.txt, null, 32768)"},
     "Error with: src.txt. " + otherDrive},
    // GetVolumePathName is from Windows 2000 on: 95/98 have no mount points.
    {"Win9xHasNoGetVolumePathName", win9x, "src.txt", "C:\\mnt\\dst.txt", Nothing, Success,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, C:\\mnt\\dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\mnt\\dst.txt, 260)",
      "WritePrivateProfileStringA(rename, C:\\MNT\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    {"OtherVolumeUnseenWithoutGetVolumePathName", nt, "src.txt", "C:\\mnt\\dst.txt",
     [] { fake.missing.push_back("GetVolumePathNameW"); }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, C:\\mnt\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\mnt\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\mnt\\dst.txt, 5)"},
     ""},
    {"NtReadOnlyDestination", nt, "src.txt", "dst.txt", ReadOnlyDestination, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)"},
     "Error with: dst.txt. " + readOnly},
    {"Win9xReadOnlyDestination", win9x, "src.txt", "dst.txt", ReadOnlyDestination, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)"},
     "Error with: dst.txt. " + readOnly},
    {"ReadOnlySourceMoves", nt, "src.txt", "dst.txt",
     [] { fake.attributes["C:\\work\\src.txt"] = FILE_ATTRIBUTE_READONLY; }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"FolderNamedLikeSysnativeIsNot", nt, "C:\\Windows\\SysnativeOld\\a.dll", "dst.txt",
     Nothing, Success,
     {"SearchPathW(null, C:\\Windows\\SysnativeOld\\a.dll, null, 32768)",
      "SearchPathW(null, dst.txt, null, 32768)", "GetShortPathNameW(C:\\Windows\\SysnativeOld\\a.dll, 32768)",
      "MoveFileExW(\\\\?\\C:\\Windows\\SysnativeOld\\a.dll, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"SysnativeOutsideTheWindowsFolderIsNot", nt, "C:\\WinApps\\Sysnative\\a.dll", "dst.txt",
     [] { fake.files["C:\\WinApps\\Sysnative\\a.dll"] = "C:\\WinApps\\Sysnative\\a.dll"; }, Success,
     {"SearchPathW(null, C:\\WinApps\\Sysnative\\a.dll, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\WinApps\\Sysnative\\a.dll, 32768)",
      "MoveFileExW(\\\\?\\C:\\WinApps\\Sysnative\\a.dll, \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    {"SysnativeInTheDeviceForm", nt, "\\\\?\\C:\\WINDOWS\\Sysnative\\a.dll", "dst.txt", Nothing, CannotCarryOut, {},
     "Error with: \\\\?\\C:\\WINDOWS\\Sysnative\\a.dll. " + sysnative},
    // Names as Windows holds them: never a best-fit look-alike (zloty.dll),
    // paths over MAX_PATH, and Windows' own notation for local paths.
    {"NtNameOutsideTheCodePage", nt, "src.txt", "złoty.dll",
     [] { fake.files["złoty.dll"] = "C:\\work\\złoty.dll"; }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, złoty.dll, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\złoty.dll, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\złoty.dll, 5)"},
     ""},
    {"Win9xNameOutsideTheCodePage", win9x, "src.txt", "złoty.dll",
     [] { fake.messages[ERROR_NO_UNICODE_TRANSLATION] = noAnsiForm; }, DestinationNotFound,
     {"SearchPathA(null, src.txt, null, 260)"}, "Error with: z?oty.dll. " + noAnsiForm},
    {"NtPathOverMaxPath", nt, "src.txt", longPath.c_str(),
     [] { fake.files["\\\\?\\" + longPath] = "\\\\?\\" + longPath; }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, \\\\?\\" + longPath + ", null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)",
      "GetShortPathNameW(\\\\?\\" + longPath + ", 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\" + longPath + ", 5)"},
     ""},
    {"NtLocalDeviceForms", nt, "\\\\?\\C:\\work\\src.txt", "\\\\.\\c:\\work\\dst.txt",
     [] {
         for (const char *path : {"\\\\?\\C:\\work\\src.txt", "\\\\.\\c:\\work\\dst.txt"}) {
             fake.files[path] = path;
         }
     },
     Success,
     {"SearchPathW(null, \\\\?\\C:\\work\\src.txt, null, 32768)",
      "SearchPathW(null, \\\\.\\c:\\work\\dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\C:\\work\\src.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\c:\\work\\dst.txt, 5)"},
     ""},
    {"NtLocalDeviceFormOfTheLastLetter", nt, "\\\\?\\Z:\\src.txt", "\\\\?\\Z:\\dst.txt",
     [] { fake.files["\\\\?\\Z:\\src.txt"] = "\\\\?\\Z:\\src.txt", fake.files["\\\\?\\Z:\\dst.txt"] = "\\\\?\\Z:\\dst.txt"; },
     Success,
     {"SearchPathW(null, \\\\?\\Z:\\src.txt, null, 32768)", "SearchPathW(null, \\\\?\\Z:\\dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\Z:\\src.txt, 32768)", "MoveFileExW(\\\\?\\Z:\\src.txt, \\\\?\\Z:\\dst.txt, 5)"},
     ""},
    {"NtLocalDeviceFormOfTheFirstLetter", nt, "\\\\?\\A:\\src.txt", "\\\\?\\a:\\dst.txt",
     [] { fake.files["\\\\?\\A:\\src.txt"] = "\\\\?\\A:\\src.txt", fake.files["\\\\?\\a:\\dst.txt"] = "\\\\?\\a:\\dst.txt"; },
     Success,
     {"SearchPathW(null, \\\\?\\A:\\src.txt, null, 32768)", "SearchPathW(null, \\\\?\\a:\\dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\A:\\src.txt, 32768)", "MoveFileExW(\\\\?\\A:\\src.txt, \\\\?\\a:\\dst.txt, 5)"},
     ""},
    {"XpLocalDeviceFormWithADot", nt, "src.txt", "\\\\.\\C:\\work\\dst.txt",
     [] { BeforeVista(), fake.files["\\\\.\\C:\\work\\dst.txt"] = "\\\\.\\C:\\work\\dst.txt"; }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, \\\\.\\C:\\work\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(\\\\.\\C:\\work\\dst.txt, 32768)",
      "MoveFileExW(C:\\work\\src.txt, \\\\.\\C:\\work\\dst.txt, 5)"},
     ""},
    {"NtDotDeviceFormOverMaxPath", nt, "src.txt", dotLongPath.c_str(),
     [] { fake.files["\\\\?\\" + longPath] = "\\\\?\\" + longPath; }, Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, \\\\?\\" + longPath + ", null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(\\\\?\\" + longPath + ", 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\" + longPath + ", 5)"},
     ""},
    {"NtLocalDeviceFormOfTheSameFile", nt, "src.txt", "\\\\?\\C:\\WORK\\src.txt",
     [] { fake.files["\\\\?\\C:\\WORK\\src.txt"] = "\\\\?\\C:\\WORK\\src.txt"; }, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, \\\\?\\C:\\WORK\\src.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(\\\\?\\C:\\WORK\\src.txt, 32768)"},
     "Error with: src.txt. " + sameFile},
    // A name with a folder is taken from the current folder, never searched
    // for along the path; a bare name still is (every row above).
    {"RelativeNameNotInTheCurrentFolder", nt, "src.txt", "app\\x.dll", BesideQuarvel,
     DestinationNotFound,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(., app\\x.dll, null, 32768)"},
     "Error with: app\\x.dll. " + notFound},
    {"RelativeNameWithASlashNotInTheCurrentFolder", nt, "src.txt", "app/x.dll",
     [] { fake.files["app/x.dll"] = "C:\\tools\\app\\x.dll"; }, DestinationNotFound,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(., app/x.dll, null, 32768)"},
     "Error with: app/x.dll. " + notFound},
    {"Win9xRelativeNameInTheCurrentFolder", win9x, "src.txt", "app\\x.dll",
     [] {
         BesideQuarvel();
         fake.files["C:\\work\\app\\x.dll"] = "C:\\work\\app\\x.dll";
         fake.shortNames["C:\\work\\app\\x.dll"] = "C:\\WORK\\APP\\X.DLL";
     },
     Success,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(., app\\x.dll, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\app\\x.dll, 260)",
      "WritePrivateProfileStringA(rename, C:\\WORK\\APP\\X.DLL, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    // The file's own long name counts, however it was typed.
    {"Win9xDestinationTypedByItsShortName", win9x, "new library.dll", "LIBRAR~1.DLL",
     [] {
         fake.files["LIBRAR~1.DLL"] = "c:\\Temp\\LIBRAR~1.DLL";
         fake.shortNames["c:\\Temp\\LIBRAR~1.DLL"] = "C:\\TEMP\\LIBRAR~1.DLL";
         fake.found["c:\\Temp\\LIBRAR~1.DLL"] = {"library in use.dll", "LIBRAR~1.DLL", 0};
     },
     CannotCarryOut,
     {"SearchPathA(null, new library.dll, null, 260)", "SearchPathA(null, LIBRAR~1.DLL, null, 260)",
      "GetShortPathNameA(C:\\Temp\\new library.dll, 260)",
      "GetShortPathNameA(c:\\Temp\\LIBRAR~1.DLL, 260)"},
     "Error with: LIBRAR~1.DLL. Windows 95 and 98 can replace it at the restart only under its "
     "short name, LIBRAR~1.DLL.\n"},
    {"Win9xDestinationWithoutAShortNameOfItsOwn", win9x, "src.txt", "dst.txt",
     [] { fake.found["C:\\work\\dst.txt"] = {"dst.txt", "", 0}; }, Success,
     {win9xChecked[0], win9xChecked[1], win9xChecked[2], win9xChecked[3],
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    // The volume that really holds a file counts, not its drive letter.
    {"NtFolderLinkToAShare", nt, "src.txt", "dst.txt",
     [] { fake.finalPaths["C:\\work\\dst.txt"] = "\\\\?\\UNC\\server\\share\\dst.txt"; },
     CannotCarryOut,
     ntSearched, "Error with: dst.txt. " + network},
    {"NtRemovableVolumeMountedInAFolder", nt, "src.txt", "C:\\mnt\\dst.txt",
     [] { fake.driveTypes["C:\\mnt\\"] = DRIVE_REMOVABLE; }, CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, C:\\mnt\\dst.txt, null, 32768)"},
     "Error with: C:\\mnt\\dst.txt. " + notFixed},
    // Only a name surrogate is a link: compressed (WOF) and cloud files are files.
    {"NtWofCompressedFileIsAFile", nt, "src.txt", "dst.txt", SourceTagged<0x80000017>, Success,
     ntMoved, ""},
    {"NtCloudPlaceholderIsAFile", nt, "src.txt", "dst.txt", SourceTagged<0x9000701A>, Success,
     ntMoved, ""},
    {"NtSymbolicLinkIsALink", nt, "src.txt", "dst.txt", SourceTagged<0xA000000C>, CannotCarryOut,
     ntSearched, "Error with: src.txt. " + link},
    {"NtUncDeviceFormIsNetwork", nt, "\\\\?\\UNC\\server\\share\\src.txt", "dst.txt",
     [] { fake.files["\\\\?\\UNC\\server\\share\\src.txt"] = "\\\\?\\UNC\\server\\share\\src.txt"; },
     CannotCarryOut,
     {"SearchPathW(null, \\\\?\\UNC\\server\\share\\src.txt, null, 32768)",
      "SearchPathW(null, dst.txt, null, 32768)"},
     "Error with: \\\\?\\UNC\\server\\share\\src.txt. " + network},
    // Registered where the file really lies: by its final path from Vista
    // on, whatever letter it was named by; refused where there is none.
    {"NtRawDefineDosDeviceLetterRegisteredByFinalPath", nt, "src.txt", "X:\\dst.txt",
     [] {
         fake.dosDevices["X:"] = "\\Device\\HarddiskVolume3\\dir";
         fake.files["X:\\dst.txt"] = "X:\\dst.txt";
         fake.finalPaths["X:\\dst.txt"] = "\\\\?\\C:\\dir\\dst.txt";
     },
     Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, X:\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(X:\\dst.txt, 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\dir\\dst.txt, 5)"},
     ""},
    {"NtNoFinalPathByLetter", nt, "src.txt", "dst.txt", [] { fake.finalPaths["C:\\work\\dst.txt"] = ""; },
     CannotCarryOut, ntSearched,
     "Error with: dst.txt. Windows gives no path by a drive letter for it, so the restart cannot "
     "reach it: name it by a path on a local disk's drive letter.\n"},
    {"NtVolumePathJudgedByItsVolume", nt, volumeSource.c_str(), volumeDestination.c_str(),
     [] {
         BeforeVista();
         fake.files[volume + "src.txt"] = volume + "src.txt";
         fake.files[volume + "dst.txt"] = volume + "dst.txt";
     },
     Success, volumeMoved, ""},
    {"XpVolumeItselfIsNoFolderOfThePath", nt, volumeSource.c_str(), volumeDestination.c_str(),
     [] {
         BeforeVista(), Opens(volume, volume.substr(4)), Opens(volume.substr(0, 48), volume.substr(4, 44));
         fake.files[volume + "src.txt"] = volume + "src.txt", fake.files[volume + "dst.txt"] = volume + "dst.txt";
         fake.dacls[volume.substr(4) + "src.txt"] = fake.dacls[volume.substr(4) + "dst.txt"] = {usersRead};
         fake.dacls[volume.substr(4)] = {systemAll, usersRead}, fake.dacls[volume.substr(4, 44)] = {usersModify};
     },
     Success, volumeMoved, ""},
    // A root is no folder the restart can move or delete.
    {"XpVolumeRootPendingHoldsNothing", nt, volumeSource.c_str(), volumeDestination.c_str(),
     [] {
         BeforeVista(), Pending({"\\??" + volume.substr(3), ""});
         fake.files[volume + "src.txt"] = volume + "src.txt", fake.files[volume + "dst.txt"] = volume + "dst.txt";
     },
     Success, volumeMoved, ""},
    {"NtDriveRootPendingHoldsNothing", nt, "src.txt", "dst.txt", [] { Pending({"\\??\\C:\\", ""}); }, Success,
     ntMoved, ""},
    // Streams; names compared as the file system compares them, and files
    // by their identity.
    {"NtStreamRefused", nt, "src.txt::$DATA", "dst.txt",
     [] { fake.files["src.txt::$DATA"] = "C:\\work\\src.txt::$DATA"; }, CannotCarryOut,
     {"SearchPathW(., src.txt::$DATA, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)"},
     "Error with: src.txt::$DATA. It names a stream of a file, and the restart moves only whole "
     "files: name the file itself.\n"},
    {"NtDestinationStreamRefused", nt, "src.txt", "dst.txt:s", [] { fake.files["dst.txt:s"] = "C:\\work\\dst.txt:s"; },
     CannotCarryOut, {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(., dst.txt:s, null, 32768)"},
     "Error with: dst.txt:s. It names a stream of a file, and the restart moves only whole files: name the file "
     "itself.\n"},
    {"NtHardLinkIsTheSameFile", nt, "src.txt", "dst.txt",
     [] { fake.hardLinks["\\\\?\\C:\\work\\dst.txt"] = "\\\\?\\C:\\work\\src.txt"; }, CannotCarryOut,
     ntChecked, "Error with: src.txt. " + sameFile},
    {"BeforeVistaCaseFoldedByTheFileSystem", nt, "café.txt", ".\\CAFÉ.TXT",
     [] {
         BeforeVista();
         fake.files["café.txt"] = "C:\\work\\café.txt";
         fake.files[".\\CAFÉ.TXT"] = "C:\\work\\CAFÉ.TXT";
     },
     CannotCarryOut,
     {"SearchPathW(null, café.txt, null, 32768)", "SearchPathW(., .\\CAFÉ.TXT, null, 32768)",
      "GetShortPathNameW(C:\\work\\café.txt, 32768)"},
     "Error with: caf\xE9.txt. " + sameFile},
    {"BeforeVistaSharpSIsNotSs", nt, "straße.txt", ".\\STRASSE.TXT",
     [] {
         BeforeVista();
         fake.files["straße.txt"] = "C:\\work\\straße.txt";
         fake.files[".\\STRASSE.TXT"] = "C:\\work\\STRASSE.TXT";
     },
     Success,
     {"SearchPathW(null, straße.txt, null, 32768)", "SearchPathW(., .\\STRASSE.TXT, null, 32768)",
      "GetShortPathNameW(C:\\work\\straße.txt, 32768)", "MoveFileExW(C:\\work\\straße.txt, C:\\work\\STRASSE.TXT, 5)"},
     ""},
    // What is already pending, in every form Windows writes it.
    {"NtDestinationInAPendingMove", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\dst.txt", "!\\??\\C:\\work\\old.txt"}); }, CannotCarryOut,
     ntChecked, "Error with: dst.txt. A move of C:\\work\\dst.txt onto C:\\work\\old.txt" + restartFirst},
    {"NtSourceToBeDeletedMarkedThroughAdvapi32", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\??\\C:\\a.txt", "!\\??\\C:\\b.txt"}, {"*1\\??\\C:\\WORK\\SRC.TXT", ""});
         fake.missing = {"RegOpenKeyExW", "RegQueryValueExW", "RegCloseKey"};
     },
     CannotCarryOut, ntChecked, "Error with: src.txt. A deletion of C:\\WORK\\SRC.TXT" + restartFirst},
    {"NtTheSamePairPendingIsNotRegisteredTwice", nt, "src.txt", "dst.txt",
     [] { Pending({"*1\\??\\C:\\work\\src.txt", "*1!\\??\\C:\\work\\dst.txt"}); }, Success, ntChecked, ""},
    {"NtPendingUnreadable", nt, "src.txt", "dst.txt", [] { Pending({}); }, RegistrationFailed,
     ntChecked, "Error with: src.txt. " + denied + elevate},
    {"Win9xDestinationToBeDeleted", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection = {"NUL=C:\\WORK\\DST.TXT"}; }, CannotCarryOut, win9xChecked,
     "Error with: dst.txt. A deletion of C:\\WORK\\DST.TXT" + restartFirst},
    {"Win9xTheSamePairPending", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection = {"C:\\WORK\\DST.TXT=C:\\WORK\\SRC.TXT"}; }, Success, win9xChecked, ""},
    {"NtTheSamePairInTheSecondListIsRegisteredAgain", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\a.txt", "\\??\\C:\\b.txt"}, {"\\??\\C:\\work\\src.txt", "!\\??\\C:\\work\\dst.txt"}); },
     Success, ntMoved, ""},
    {"NtOnlyTheSecondListJudged", nt, "src.txt", "dst.txt",
     [] { fake.pending["PendingFileRenameOperations2"] = {"\\??\\C:\\work\\dst.txt", ""}; }, CannotCarryOut, ntChecked,
     "Error with: dst.txt. A deletion of C:\\work\\dst.txt" + restartFirst},
    {"NtTheSamePairInTheSecondListIsNotReadBackAsKept", nt, "src.txt", "dst.txt",
     [] { Pending(NT_PAIR, {"\\??\\C:\\work\\src.txt", "!\\??\\C:\\work\\dst.txt"}), fake.registrationKept = false; },
     RegistrationFailed, ntMoved, "Error with: src.txt. " + notKept},
    {"NtEveryStarDigitAndDosDevicesTakenOff", nt, "src.txt", "dst.txt",
     [] { Pending({"*0\\??\\C:\\a.txt", "*9!\\DosDevices\\C:\\work\\dst.txt"}); }, CannotCarryOut, ntChecked,
     "Error with: dst.txt. A move of C:\\a.txt onto C:\\work\\dst.txt" + restartFirst},
    {"Win9xFirstPendingLineReported", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection = {"NUL=C:\\WORK\\DST.TXT", "NUL=C:\\WORK\\SRC.TXT"}; }, CannotCarryOut, win9xChecked,
     "Error with: dst.txt. A deletion of C:\\WORK\\DST.TXT" + restartFirst},
    {"Win9xZUpperCasedInPendingNames", win9x, "Zz.txt", "dst.txt",
     [] {
         fake.files["Zz.txt"] = "C:\\work\\Zz.txt", fake.shortNames["C:\\work\\Zz.txt"] = "C:\\WORK\\ZZ.TXT";
         fake.renameSection = {"NUL=C:\\WORK\\zz.txt"};
     },
     CannotCarryOut,
     {"SearchPathA(null, Zz.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\Zz.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)"},
     "Error with: Zz.txt. A deletion of C:\\WORK\\zz.txt" + restartFirst},
    {"NtAtMarksAReplaceAndADeletion", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\src.txt", "@\\??\\C:\\work\\dst.txt", "@\\??\\C:\\work\\x.txt", ""}); },
     Success, ntChecked, ""},
    // Other spellings, compared by what they name; folders that hold a file.
    {"NtVolumeNameOfTheDestination", nt, "src.txt", "dst.txt",
     [] {
         Pending({volume.substr(0, 1) + "??" + volume.substr(3) + "work\\dst.txt", "!\\GLOBAL??\\C:\\b.txt"});
         Opens(volume + "work\\dst.txt", "C:\\work\\dst.txt");
     },
     CannotCarryOut, ntChecked, "Error with: dst.txt. A move of " + volume + "work\\dst.txt onto C:\\b.txt" + restartFirst},
    {"NtGlobalRootNameOfTheSource", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\DosDevices\\C:\\a.txt", "", "@\\??\\GLOBALROOT\\Device\\HarddiskVolume1\\work\\src.txt", ""});
         Opens("\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\work\\src.txt", "C:\\work\\src.txt");
     },
     CannotCarryOut, ntChecked,
     "Error with: src.txt. A deletion of \\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\work\\src.txt" + restartFirst},
    {"NtFolderOfTheSourceMoved", nt, "src.txt", "dst.txt", [] { Pending({"\\??\\C:\\work", "\\??\\C:\\old"}); },
     CannotCarryOut, ntChecked, "Error with: src.txt. A move of C:\\work, a folder that holds the file, onto C:\\old" + restartFirst},
    {"NtTextPrefixIsNoFolder", nt, "src.txt", "dst.txt", [] { Pending({"\\??\\C:\\work\\src", "\\??\\C:\\old"}); },
     Success, ntMoved, ""},
    {"NtFolderOfTheDestinationReplacedByAnotherSpelling", nt, "src.txt", "C:\\Program Files\\My App\\library.dll",
     [] {
         Pending({"\\??\\C:\\new", "\\??\\D:\\mnt\\My App"});
         Opens("\\\\?\\D:\\mnt\\My App", "C:\\Program Files\\My App");
         Opens("C:\\Program Files\\My App", "C:\\Program Files\\My App");
     },
     CannotCarryOut,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, C:\\Program Files\\My App\\library.dll, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\Program Files\\My App\\library.dll, 32768)"},
     "Error with: C:\\Program Files\\My App\\library.dll. A move of C:\\new onto D:\\mnt\\My App" + holdsIt + restartFirst},
    {"Win9xShortFolderOfTheDestinationDeleted", win9x, "src.txt", "C:\\Program Files\\My App\\library.dll",
     [] { fake.renameSection = {"NUL=C:\\PROGRA~1\\MYAPP~1"}; }, CannotCarryOut,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, C:\\Program Files\\My App\\library.dll, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\Program Files\\My App\\library.dll, 260)"},
     "Error with: C:\\Program Files\\My App\\library.dll. A deletion of C:\\PROGRA~1\\MYAPP~1" + holdsIt + restartFirst},
    // 95/98: names made whole as DOS reads them.
    Win9xOntoDestination("Win9xDotFoldersInAPendingName",
                         [] { fake.renameSection = {"C:\\WORK\\.\\SUB\\..\\DST.TXT=C:\\WORK\\X.TXT"}; }),
    Win9xOntoDestination("Win9xSlashesInAPendingName", [] { fake.renameSection = {"C:/WORK/DST.TXT=C:/WORK/X.TXT"}; }),
    Win9xOntoDestination("Win9xDotDotAtTheDrivesRoot",
                         [] { fake.renameSection = {"C:\\..\\WORK\\DST.TXT=C:\\WORK\\X.TXT"}; }),
    Win9xOntoDestination("Win9xDoubledBackslashInAPendingName",
                         [] { fake.renameSection = {"C:\\WORK\\\\DST.TXT=C:\\\\WORK\\X.TXT"}; }),
    {"NtLongPendingNameCutInTheReport", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\src.txt", "!\\??\\" + longName}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\src.txt onto " + longName.substr(0, 32767) + restartFirst},
    // Who may change Source before the restart, and Destination after it.
    {"NtSourceUsersMayModifyDestinationNot", nt, "src.txt", "dst.txt",
     [] { Dacls({systemAll, usersModify}, {systemAll, usersRead}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. " + openToUsers},
    {"NtSourceAndDestinationJustAsOpen", nt, "src.txt", "dst.txt",
     [] { Dacls({usersModify}, {usersModify}), Folders({}); }, Success, ntMoved, ""},
    {"NtDenyEntryFirstTakesItBack", nt, "src.txt", "dst.txt",
     [] { Dacls({noWriting, usersModify}, {usersRead}); }, Success, ntMoved, ""},
    {"NtFolderOfSourceLetsUsersDeleteIt", nt, "new library.dll", "dst.txt",
     [] { FromTemp({{0, Ace::Everyone, FILE_DELETE_CHILD}}); }, CannotCarryOut, fromTemp,
     "Error with: new library.dll. " + FolderOpen("C:\\Temp\\")},
    {"NtNullDaclOnSource", nt, "src.txt", "dst.txt", [] { Dacls({}, {usersRead}); }, CannotCarryOut,
     ntChecked, "Error with: src.txt. " + openToUsers},
    {"NtDestinationDaclUnreadable", nt, "src.txt", "dst.txt",
     [] { fake.dacls["C:\\work\\src.txt"] = {usersModify}; }, Success, ntMoved, ""},
    // Every account counts but Administrators, SYSTEM, TrustedInstaller and
    // the one that runs Quarvel; the owner may change the DACL.
    OpenToOthers("NtNamedUserMayWriteSource", [] { Dacls({systemAll, {0, Ace::Named, FILE_WRITE_DATA}}, {usersRead}); }),
    NotOpened("NtRunningUserMayWriteSource",
              [] { Dacls({systemAll, {0, Ace::Running, 0x1F01FF}}, {usersRead}), fake.owners["C:\\work\\src.txt"] = Ace::Running; }),
    OpenToOthers("NtLocalServiceMayWriteSource", [] { Dacls({{0, Ace::LocalService, 0x1301BF}}, {usersRead}); }),
    NotOpened("NtAccountsLetInAndCreatorOwnerDoNotCount", [] {
        Dacls({systemAll, {0, Ace::Administrators, 0x1F01FF}, {0, Ace::TrustedInstaller, GENERIC_ALL},
               {0, Ace::CreatorOwner, GENERIC_ALL}}, {usersRead});
        fake.owners["C:\\work\\src.txt"] = Ace::Administrators;
    }),
    OpenToOthers("NtSourceOwnedByNamedUser", [] { Dacls({systemAll}, {usersRead}), fake.owners["C:\\work\\src.txt"] = Ace::Named; }),
    NotOpened("NtOwnerRightsGrantOnlyReading", [] {
        Dacls({systemAll, {0, Ace::OwnerRights, 0x1200A9}}, {usersRead});
        fake.owners["C:\\work\\src.txt"] = Ace::Named;
    }),
    OpenToOthers("NtInheritOnlyOwnerRightsLeaveTheOwner", [] {
        Dacls({systemAll, {0, Ace::OwnerRights, 0x1200A9, INHERIT_ONLY_ACE}}, {usersRead});
        fake.owners["C:\\work\\src.txt"] = Ace::Named;
    }),
    NotOpened("NtOwnerRightsOfAnAdministratorsFile", [] {
        Dacls({{0, Ace::OwnerRights, 0x1301BF}}, {usersRead}), fake.owners["C:\\work\\src.txt"] = Ace::Administrators;
    }),
    OpenToOthers("NtUsersMayDeleteSource", [] { Dacls({systemAll, {0, Ace::Users, DELETE}}, {usersRead}); }),
    OpenToOthers("NtUsersMayTakeSource", [] { Dacls({systemAll, {0, Ace::Users, WRITE_OWNER}}, {usersRead}); }),
    {"NtFolderOfSourceOwnedByNamedUser", nt, "new library.dll", "dst.txt",
     [] { FromTemp({systemAll}), fake.owners["C:\\Temp\\"] = Ace::Named; }, CannotCarryOut, fromTemp,
     "Error with: new library.dll. " + FolderOpen("C:\\Temp\\")},
    NotOpened("NtInheritOnlyEntrySkipped", [] { Dacls({{0, Ace::Users, 0x1301BF, INHERIT_ONLY_ACE}}, {usersRead}); }),
    OpenToOthers("NtGenericAllMapped", [] { Dacls({{0, Ace::Users, GENERIC_ALL}}, {usersRead}); }),
    OpenToOthers("NtGenericWriteMapped", [] { Dacls({{0, Ace::Users, GENERIC_WRITE}}, {usersRead}); }),
    OpenToOthers("NtAuthenticatedUsersBySid", [] { Dacls({{0, Ace::AuthenticatedUsers, 0x1301BF}}, {usersRead}); }),
    OpenToOthers("NtInteractiveBySid", [] { Dacls({{0, Ace::Interactive, FILE_APPEND_DATA}}, {usersRead}); }),
    OpenToOthers("NtAllowBeforeDenyFirstDecides", [] { Dacls({usersModify, noWriting}, {usersRead}); }),
    OpenToOthers("NtDenyForOneAccountLeavesAnother",
                 [] { Dacls({{1, Ace::Named, 0x10006}, {0, Ace::Users, 0x10006}}, {usersRead}); }),
    NotOpened("NtFolderOfDestinationLetsThatUserDeleteIt", [] {
        Dacls({{0, Ace::Named, FILE_WRITE_DATA}}, {usersRead});
        fake.dacls["C:\\work\\"] = {{0, Ace::Named, FILE_DELETE_CHILD}};
    }),
    // Every folder from the file's own up to the root: one that others may
    // delete or rename, or whose DACL or owner they may change, can be
    // replaced whole, with a junction in its place too.
    {"NtFolderTwoAboveSourceLetsUsersRenameIt", nt, app.c_str(), "dst.txt",
     [] { Dacls({usersRead}, {usersRead}), Folders({"C:\\Program Files\\"}); }, CannotCarryOut, appChecked,
     "Error with: " + app + ". " + FolderOpen("C:\\Program Files\\")},
    {"NtFolderOfSourceLetsUsersRenameIt", nt, app.c_str(), "dst.txt",
     [] { Dacls({usersRead}, {usersRead}), Folders({"C:\\Program Files\\My App\\"}); }, CannotCarryOut, appChecked,
     "Error with: " + app + ". " + FolderOpen("C:\\Program Files\\My App\\")},
    {"NtFolderTwoAboveSourceLetsUsersTakeIt", nt, app.c_str(), "dst.txt",
     [] { Dacls({usersRead}, {usersRead}), Folders({"C:\\Program Files\\"}, WRITE_OWNER); }, CannotCarryOut,
     appChecked, "Error with: " + app + ". " + FolderOpen("C:\\Program Files\\")},
    {"NtRootLetsUsersDeleteFolders", nt, "src.txt", "dst.txt",
     [] { Dacls({usersRead}, {usersRead}), Folders({"C:\\"}, FILE_DELETE_CHILD); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. " + DestinationPathOpen("C:\\")},
    NotOpened("NtEveryFolderClosed", [] { Dacls({usersRead}, {usersRead}), Folders({}); }),
    {"NtBothOpenAndAFolderAboveDestinationOpen", nt, "src.txt", app.c_str(),
     [] { Dacls({usersModify}, {}), Folders({"C:\\Program Files\\"}), fake.dacls[app] = {usersModify}; },
     CannotCarryOut, ontoAppChecked, "Error with: src.txt. " + DestinationPathOpen("C:\\Program Files\\")},
    // Before Vista, Power Users could change Program Files anyway; before
    // 2000, a replaced folder leads nowhere new, as there are no junctions.
    {"XpPowerUsersMayChangeSource", nt, "src.txt", "dst.txt",
     [] { BeforeVista(), Dacls({{0, Ace::PowerUsers, 0x1301BF}}, {usersRead}); }, Success, BeforeVistaForm(ntMoved), ""},
    OpenToOthers("VistaPowerUsersMayChangeSource",
                 [] { fake.version.dwMajorVersion = 6, Dacls({{0, Ace::PowerUsers, 0x1301BF}}, {usersRead}); }),
    {"Nt4BothOpenAndAFolderAboveDestinationOpen", nt, "src.txt", app.c_str(),
     [] { fake.version.dwMajorVersion = 4, fake.version.dwMinorVersion = 0;
          Dacls({usersModify}, {}), Folders({"C:\\Program Files\\"}), fake.dacls[app] = {usersModify}; },
     Success, BeforeVistaForm(ontoApp), ""},
    {"NtSourceClosedAFolderAboveDestinationOpen", nt, "src.txt", app.c_str(),
     [] { Dacls({usersRead}, {}), Folders({"C:\\Program Files\\"}); }, Success, ontoApp, ""},
    {"Nt4FolderOfDestinationLetsUsersChangeItsDacl", nt, "src.txt", "dst.txt",
     [] { Nt4(), Dacls({usersModify}, {usersRead}), fake.dacls["C:\\work\\"].push_back({0, Ace::Users, WRITE_DAC}); },
     Success, BeforeVistaForm(ntMoved), ""},
    {"Nt4FolderOfDestinationLetsUsersTakeIt", nt, "src.txt", "dst.txt",
     [] { Nt4(), Dacls({usersModify}, {usersRead}), fake.dacls["C:\\work\\"].push_back({0, Ace::Users, WRITE_OWNER}); },
     Success, BeforeVistaForm(ntMoved), ""},
    {"Nt4OnFatFoldersAboveSourceNotJudged", nt, "src.txt", "dst.txt",
     [] { Nt4(), Dacls({usersRead}, {usersRead}), Folders({"C:\\"}, GENERIC_ALL), fake.withoutAcls = {"C:\\"}; },
     Success, BeforeVistaForm(ntMoved), ""},
    OpenToOthers("NtSourceDescriptorHidden",
                 [] { Dacls({usersRead}, {usersRead}), Folders({}), fake.hiddenDacls = {"C:\\work\\src.txt"}; }),
    NotOpened("NtBothOnFatEveryFolderOpen", [] {
        Dacls({}, {}), Folders({"C:\\", "C:\\work\\"}, GENERIC_ALL), fake.withoutAcls = {"C:\\"};
    }),
    {"NtFatVolumeInAFolderJudgedAlone", nt, "C:\\mnt\\src.txt", "C:\\mnt\\dst.txt",
     [] {
         fake.files["C:\\mnt\\src.txt"] = "C:\\mnt\\src.txt", fake.volumes["C:\\mnt\\src.txt"] = "C:\\mnt\\";
         Folders({"C:\\"}, GENERIC_ALL), Opens("C:\\mnt\\", "C:\\mnt\\"), fake.withoutAcls = {"C:\\mnt\\"};
         fake.dacls["C:\\mnt\\src.txt"] = fake.dacls["C:\\mnt\\dst.txt"] = {usersRead};
     },
     Success,
     {"SearchPathW(null, C:\\mnt\\src.txt, null, 32768)", "SearchPathW(null, C:\\mnt\\dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\mnt\\src.txt, 32768)", "MoveFileExW(\\\\?\\C:\\mnt\\src.txt, \\\\?\\C:\\mnt\\dst.txt, 5)"},
     ""},
    // Conditional entries: an allow grants, a deny takes nothing away; an
    // object entry grants as an allow.
    OpenToOthers("NtAllowCallbackGrants", [] { Dacls({systemAll, {9, Ace::Users, FILE_WRITE_DATA}}, {usersRead}); }),
    OpenToOthers("NtDenyCallbackTakesNothing", [] { Dacls({{10, Ace::Users, 0x10006}, usersModify}, {usersRead}); }),
    OpenToOthers("NtObjectAllowGrants", [] { Dacls({systemAll, {5, Ace::Users, FILE_WRITE_DATA}}, {usersRead}); }),
    OpenToOthers("NtCallbackObjectAllowGrants",
                 [] { Dacls({systemAll, {11, Ace::Users, FILE_WRITE_DATA}}, {usersRead}); }),
    OpenToOthers("NtObjectAllowWithTypesGrants",
                 [] { Dacls({systemAll, {5, Ace::Users, FILE_WRITE_DATA, 0, 3}}, {usersRead}); }),
    NotOpened("NtTokenUnreadable", [] { Dacls({usersModify}, {usersRead}), fake.tokenUnreadable = true; }),
    // One registration at a time, read back; lists that cannot be read whole.
    {"NtLocksBusy", nt, "src.txt", "dst.txt", [] { fake.waitResult = WAIT_TIMEOUT; }, RegistrationFailed,
     ntChecked, "Error with: src.txt. " + busy},
    {"NtWaitFailed", nt, "src.txt", "dst.txt", [] { fake.waitResult = WAIT_FAILED; },
     RegistrationFailed, ntChecked, "Error with: src.txt. System error 6.\n"},
    {"NtRegistrationNotReadBack", nt, "src.txt", "dst.txt", [] { fake.registrationKept = false; },
     RegistrationFailed, ntMoved, "Error with: src.txt. " + notKept},
    {"Win9xRegistrationNotReadBack", win9x, "src.txt", "dst.txt", [] { fake.registrationKept = false; },
     RegistrationFailed,
     {"SearchPathA(null, src.txt, null, 260)", "SearchPathA(null, dst.txt, null, 260)",
      "GetShortPathNameA(C:\\work\\src.txt, 260)", "GetShortPathNameA(C:\\work\\dst.txt, 260)",
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     "Error with: src.txt. " + notKept},
    {"Win9xRenameSectionTooLongToReadWhole", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection.assign(1200, "C:\\TEMP\\NEWFILE.DLL=C:\\TEMP\\OLDFILE.DLL"); },
     RegistrationFailed, win9xChecked, "Error with: src.txt. " + damaged},
    {"Win9xSectionCutAtTheLimitIsNotJudged", win9x, "src.txt", "dst.txt",
     [] {
         fake.renameSection.assign(1200, "C:\\TEMP\\NEWFILE.DLL=C:\\TEMP\\OLDFILE.DLL");
         fake.renameSection[0] = "C:\\WORK\\DST.TXT=C:\\WORK\\SRC.TXT";
     },
     RegistrationFailed, win9xChecked, "Error with: src.txt. " + damaged},
    {"Win9xLineThatKeepsTheSectionWholeIsWritten", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection = NearlyFull("C:\\A=C:\\B."); }, Success,
     {win9xChecked[0], win9xChecked[1], win9xChecked[2], win9xChecked[3],
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     ""},
    {"Win9xLineThatFillsTheSectionIsNotWritten", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection = NearlyFull("C:\\A=C:\\B.X"); }, RegistrationFailed, win9xChecked,
     "Error with: src.txt. " + damaged},
    // The lock: a name of Quarvel's own that another program holds.
    {"NtOwnLockNameTakenByAnEvent", nt, "src.txt", "dst.txt", [] { fake.boundaryMissing = true, fake.mutexError = ERROR_INVALID_HANDLE; },
     RegistrationFailed, ntChecked, "Error with: src.txt. " + lockNameTaken},
    {"NtOwnLockNameTakenByAMutexClosedToUs", nt, "src.txt", "dst.txt", [] { fake.boundaryMissing = true, fake.mutexError = ERROR_ACCESS_DENIED; },
     RegistrationFailed, ntChecked, "Error with: src.txt. " + lockNameTaken},
    // Hard links: the restart renames the name it is given.
    {"NtHardLinkOfDestinationPendingIsNotThePair", nt, "src.txt", "dst.txt",
     [] { HardLinks(), Pending({"\\??\\C:\\work\\src.txt", "!\\??\\C:\\work\\u\\dst.txt"}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\src.txt onto C:\\work\\u\\dst.txt" + restartFirst},
    {"NtHardLinkOfSourcePendingIsAnotherName", nt, "src.txt", "dst.txt",
     [] { HardLinks(), Pending({"\\??\\C:\\work\\u\\src.txt", "!\\??\\C:\\work\\zz.txt"}); }, Success, ntMoved, ""},
    {"BeforeVistaHardLinkOfSourcePendingCounts", nt, "src.txt", "dst.txt",
     [] { BeforeVista(), HardLinks(), Pending({"\\??\\C:\\work\\u\\src.txt", "!\\??\\C:\\work\\zz.txt"}); },
     CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\u\\src.txt onto C:\\work\\zz.txt" + restartFirst},
    {"NtReFsSameIndexIsAnotherFile", nt, "src.txt", "dst.txt",
     [] {
         fake.version.dwMajorVersion = 10;
         fake.hardLinks["\\\\?\\C:\\work\\dst.txt"] = "\\\\?\\C:\\work\\src.txt";
         fake.idHigh["\\\\?\\C:\\work\\dst.txt"] = 1;
     },
     Success, ntMoved, ""},
    // A name typed in the \\?\ form is registered as typed: a. is not a.
    {"NtTrailingDotKeptInTheDeviceForm", nt, "\\\\?\\C:\\work\\a.", "dst.txt",
     [] { fake.files["\\\\?\\C:\\work\\a."] = "\\\\?\\C:\\work\\a."; }, Success,
     {"SearchPathW(null, \\\\?\\C:\\work\\a., null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(\\\\?\\C:\\work\\a., 32768)",
      "MoveFileExW(\\\\?\\C:\\work\\a., \\\\?\\C:\\work\\dst.txt, 5)"},
     ""},
    // Names the Session Manager opens as they are written; a network name,
    // which it cannot reach, is never opened (here it would open as Source).
    {"NtSystemRootAndDeviceNames", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\SystemRoot\\x\\y.txt", "", "\\Device\\HarddiskVolume1\\work\\src.txt", ""});
         Opens("\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\work\\src.txt", "C:\\work\\src.txt");
     },
     CannotCarryOut, ntChecked, "Error with: src.txt. A deletion of \\Device\\HarddiskVolume1\\work\\src.txt" + restartFirst},
    {"NtSystemRootNameOpened", nt, "src.txt", "dst.txt",
     [] { Pending({"\\SystemRoot\\src.txt", ""}), Opens("\\\\?\\GLOBALROOT\\SystemRoot\\src.txt", "C:\\work\\src.txt"); },
     CannotCarryOut, ntChecked, "Error with: src.txt. A deletion of \\SystemRoot\\src.txt" + restartFirst},
    {"NtPartitionNameOpened", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\Device\\Harddisk0\\Partition1\\work\\src.txt", ""});
         Opens("\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition1\\work\\src.txt", "C:\\work\\src.txt");
     },
     CannotCarryOut, ntChecked, "Error with: src.txt. A deletion of \\Device\\Harddisk0\\Partition1\\work\\src.txt" + restartFirst},
    // Nor is a pipe, a mailslot, or another device.
    {"NtNamesOffLocalDisksNeverOpened", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\??\\UNC\\server\\share\\src.txt", "", "\\??\\N:\\src.txt", "", "\\\\server\\s\\src.txt", "",
                  "\\??\\pipe\\src.txt", "", "\\??\\MAILSLOT\\src.txt", "",
                  "\\Device\\LanmanRedirector\\s\\src.txt", ""});
         for (const char *name : {"\\\\?\\UNC\\server\\share\\src.txt", "\\\\?\\N:\\src.txt", "\\\\server\\s\\src.txt",
                                  "\\\\?\\pipe\\src.txt", "\\\\?\\MAILSLOT\\src.txt",
                                  "\\\\?\\GLOBALROOT\\Device\\LanmanRedirector\\s\\src.txt"}) {
             Opens(name, "C:\\work\\src.txt");
         }
     },
     Success, ntMoved, ""},
    {"BeforeVistaHandleOfAnotherTypeUnused", nt, "src.txt", "dst.txt",
     [] {
         BeforeVista(), HardLinks(), Pending({"\\??\\C:\\work\\u\\src.txt", ""});
         fake.fileTypes["\\\\?\\C:\\work\\u\\src.txt"] = 3;  // FILE_TYPE_PIPE
     },
     Success,
     {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, dst.txt, null, 32768)",
      "GetShortPathNameW(C:\\work\\src.txt, 32768)", "GetShortPathNameW(C:\\work\\dst.txt, 32768)",
      "MoveFileExW(C:\\work\\src.txt, C:\\work\\dst.txt, 5)"},
     ""},
    {"BeforeVistaCharacterDeviceUnused", nt, "src.txt", "dst.txt",
     [] {
         BeforeVista(), HardLinks(), Pending({"\\??\\C:\\work\\u\\src.txt", ""});
         fake.fileTypes["\\\\?\\C:\\work\\u\\src.txt"] = 2;  // FILE_TYPE_CHAR
     },
     Success, BeforeVistaForm(ntMoved), ""},
    // As the restart reads a name: a trailing backslash names the folder
    // before it; a name outside the object namespace, or through a letter
    // of this logon session, names nothing.
    {"NtFolderWithATrailingBackslashMoved", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\", "!\\??\\C:\\old\\"}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\" + holdsIt + " onto C:\\old\\" + restartFirst},
    {"NtFileWithATrailingBackslashIsNoPair", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\src.txt\\", "!\\??\\C:\\work\\dst.txt"}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\src.txt\\ onto C:\\work\\dst.txt" + restartFirst},
    {"NtFileWithATrailingBackslashAsDestinationIsNoPair", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\src.txt", "!\\??\\C:\\work\\dst.txt\\"}); }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A move of C:\\work\\src.txt onto C:\\work\\dst.txt\\" + restartFirst},
    {"NtPartitionLetterIsADisk", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\dst.txt", ""}), fake.dosDevices["C:"] = "\\Device\\Harddisk0\\Partition1"; },
     CannotCarryOut, ntChecked, "Error with: dst.txt. A deletion of C:\\work\\dst.txt" + restartFirst},
    {"NtPartitionLetterOfTheTenthDiskIsADisk", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\dst.txt", ""}), fake.dosDevices["C:"] = "\\Device\\Harddisk9\\Partition1"; },
     CannotCarryOut, ntChecked, "Error with: dst.txt. A deletion of C:\\work\\dst.txt" + restartFirst},
    {"NtLetterForAVolumesRootIsADisk", nt, "src.txt", "dst.txt",
     [] { Pending({"\\??\\C:\\work\\dst.txt", ""}), fake.dosDevices["C:"] = "\\Device\\HarddiskVolume1\\"; },
     CannotCarryOut, ntChecked, "Error with: dst.txt. A deletion of C:\\work\\dst.txt" + restartFirst},
    {"NtEntryThroughARemovableLetterOpened", nt, "src.txt", "dst.txt",
     [] { ThroughE(), fake.driveTypes["E:\\"] = DRIVE_REMOVABLE; }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A deletion of E:\\src.txt" + restartFirst},
    {"NtEntryThroughARamDiskLetterOpened", nt, "src.txt", "dst.txt",
     [] { ThroughE(), fake.driveTypes["E:\\"] = DRIVE_RAMDISK; }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A deletion of E:\\src.txt" + restartFirst},
    {"NtEntryThroughACdRomLetterOpened", nt, "src.txt", "dst.txt",
     [] { ThroughE(), fake.driveTypes["E:\\"] = DRIVE_CDROM; }, CannotCarryOut, ntChecked,
     "Error with: src.txt. A deletion of E:\\src.txt" + restartFirst},
    {"XpDynamicVolumeLetterIsADisk", nt, "src.txt", "dst.txt",
     [] {
         Pending({"\\??\\C:\\work\\", "!\\??\\C:\\old\\"});
         fake.dosDevices["C:"] = "\\Device\\HarddiskDmVolumes\\PhysicalDmVolumes\\BlockVolume1";
     },
     CannotCarryOut, ntChecked, "Error with: src.txt. A move of C:\\work\\" + holdsIt + " onto C:\\old\\" + restartFirst},
    {"NtEntryWithoutARootNamesNothing", nt, "src.txt", "dst.txt",
     [] { Pending({"C:\\work\\src.txt", "!C:\\work\\dst.txt"}); }, Success, ntMoved, ""},
    {"NtEntryThroughASubstLetterNamesNothing", nt, "src.txt", "dst.txt",
     [] { SubstLetter(), ThroughS(); }, Success, ntMoved, ""},
    {"NtEntryThroughARegistryLetterIsThePair", nt, "src.txt", "dst.txt",
     [] { SubstLetter(), ThroughS(), fake.pending["S:"] = {"\\??\\C:\\work"}; }, Success, ntChecked, ""},
    {"NtEntryThroughADefineDosDeviceFolderNamesNothing", nt, "src.txt", "dst.txt",
     [] { ThroughS(), fake.dosDevices["S:"] = "\\Device\\HarddiskVolume2\\work"; }, Success, ntMoved, ""},
    // Names that differ only in case, in a folder that tells them apart.
    {"Win10CaseSensitiveFolderOtherPairPending", nt, "C:\\work\\cs\\a", "C:\\work\\cs\\b",
     [] { CaseSensitive(), Pending({"\\??\\C:\\work\\cs\\A", "!\\??\\C:\\work\\cs\\B"}); }, Success,
     caseSensitiveMoved, ""},
    {"Win10CaseSensitiveFolderAOntoItsA", nt, "C:\\work\\cs\\a", "C:\\work\\cs\\A", CaseSensitive, Success,
     {"SearchPathW(null, C:\\work\\cs\\a, null, 32768)", "SearchPathW(null, C:\\work\\cs\\A, null, 32768)",
      "GetShortPathNameW(C:\\work\\cs\\a, 32768)", "MoveFileExW(\\\\?\\C:\\work\\cs\\a, \\\\?\\C:\\work\\cs\\A, 5)"},
     ""},
    {"Win10CaseSensitiveFolderNameThatDoesNotExist", nt, "C:\\work\\cs\\a", "C:\\work\\cs\\b",
     [] { CaseSensitive(), fake.files.erase("C:\\work\\cs\\A"), Pending({"\\??\\C:\\WORK\\cs\\A", ""}); },
     Success, caseSensitiveMoved, ""},
    {"Win10CaseInsensitiveFolderNameThatDoesNotExist", nt, "C:\\work\\cs\\a", "C:\\work\\cs\\b",
     [] {
         CaseSensitive(), fake.caseSensitive.clear(), fake.files.erase("C:\\work\\cs\\A");
         Pending({"\\??\\C:\\work\\cs\\A", ""});
     },
     CannotCarryOut, Calls(caseSensitiveMoved.begin(), caseSensitiveMoved.end() - 1),
     "Error with: C:\\work\\cs\\a. A deletion of C:\\work\\cs\\A" + restartFirst},
    {"Win10CaseSensitiveRootNameThatDoesNotExist", nt, "src.txt", "dst.txt",
     [] { Build(19045), fake.caseSensitive = {"C:\\"}, Opens("C:\\", "C:\\"), Pending({"\\??\\C:\\WORK\\dst.txt", ""}); },
     Success, ntMoved, ""},
    {"NtDataStreamIsTheFile", nt, "src.txt", "dst.txt", [] { Pending({"\\??\\C:\\work\\src.txt::$data", ""}); },
     CannotCarryOut, ntChecked, "Error with: src.txt. A deletion of C:\\work\\src.txt" + restartFirst},
    // The read-back: another program's entry after this one; lists that
    // cannot be read again; a section that would no longer be read whole.
    {"NtEntryAfterOursIsKept", nt, "src.txt", "dst.txt",
     [] { fake.appendedAfter = {"\\??\\C:\\x.txt", ""}; }, Success, ntMoved, ""},
    {"NtReadBackUnreadableMayBeKept", nt, "src.txt", "dst.txt", [] { fake.unreadableAfterRegistration = true; },
     RegistrationFailed, ntMoved,
     "Error with: src.txt. Windows took the request, but the list for the next start could not be read back to "
     "make sure that it holds it: look with reg query \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session "
     "Manager\" /v PendingFileRenameOperations before you run again.\n"},
    {"Win9xReadBackUnreadableMayBeKept", win9x, "src.txt", "dst.txt", [] { fake.unreadableAfterRegistration = true; },
     RegistrationFailed,
     {win9xChecked[0], win9xChecked[1], win9xChecked[2], win9xChecked[3],
      "WritePrivateProfileStringA(rename, C:\\WORK\\DST.TXT, C:\\WORK\\SRC.TXT, wininit.ini)",
      "WritePrivateProfileStringA(null, null, null, wininit.ini)"},
     "Error with: src.txt. Windows took the request, but the list for the next start could not be read back to "
     "make sure that it holds it: look with type %windir%\\WININIT.INI before you run again.\n"},
    {"NtSystemLockClosedToUsers", nt, "src.txt", "dst.txt", [] { fake.systemMutex = fake.systemMutexDenied = true; },
     RegistrationFailed, ntChecked, "Error with: src.txt. " + denied + elevate},
    {"Win9xLineThatWouldCutTheSectionIsNotWritten", win9x, "src.txt", "dst.txt",
     [] { fake.renameSection.assign(819, "C:\\TEMP\\NEWFILE.DLL=C:\\TEMP\\OLDFILE.DLL"); },
     RegistrationFailed, win9xChecked, "Error with: src.txt. " + damaged},
    Damaged("NtOddByteCount", [] { Pending(NT_PAIR), fake.pendingCut = -1; }),
    Damaged("NtOneZeroAtTheEnd", [] { Pending(NT_PAIR), fake.pendingCut = 2; }),
    // A delete, then a name that the cut leaves without its zero, where the
    // list would otherwise end.
    Damaged("NtNoZeroAtTheEnd", [] { Pending({"\\??\\C:\\a.txt", "", "\\??\\C:\\b.txt"}), fake.pendingCut = 4; }),
    Damaged("NtValueKeepsGrowing", [] { Pending(NT_PAIR), fake.pendingGrows = true; }),
    {"NtValueThatGrowsOnceIsReadAgain", nt, "src.txt", "dst.txt",
     [] { Pending(NT_PAIR), fake.appendedWhileRead = {"\\??\\C:\\work\\dst.txt", ""}; }, CannotCarryOut, ntChecked,
     "Error with: dst.txt. A deletion of C:\\work\\dst.txt" + restartFirst},
    Damaged("NtNotAList", [] { Pending(NT_PAIR), fake.pendingType = REG_SZ; }),
    Damaged("NtLoneSource", [] { Pending({"\\??\\C:\\a.txt", "", "\\??\\C:\\b.txt"}); }),
    Damaged("NtEmptySourceFirst", [] { Pending({"", "\\??\\C:\\a.txt", "\\??\\C:\\b.txt"}); }),
    Damaged("NtEmptySourceInTheMiddle", [] { Pending({"\\??\\C:\\a.txt", "", "", "\\??\\C:\\work\\src.txt", ""}); }),
    Damaged("NtEmptySourceBeforeAPair", [] { Pending({"\\??\\C:\\a.txt", "", "", "\\??\\C:\\b.txt"}); }),
    Damaged("NtSecondListDamaged", [] { Pending(NT_PAIR, {"\\??\\C:\\a.txt", "", "\\??\\C:\\b.txt"}); }),
    // Windows 11 refuses every reparse point: those that are no link too.
    Tagged("Win11WofSourceRefused", TaggedOn<0, 0x80000017, 22631>, "Error with: src.txt. " + compressed),
    Tagged("Win11DedupSourceRefused", TaggedOn<0, 0x80000013, 22631>, "Error with: src.txt. " + reparsePoint),
    Tagged("Win11CloudSourceRefused", TaggedOn<0, 0x9000701A, 22631>, "Error with: src.txt. " + reparsePoint),
    Tagged("Win11WofDestinationRefused", TaggedOn<1, 0x80000017, 22631>, "Error with: dst.txt. " + compressed),
    Tagged("Win11DedupDestinationRefused", TaggedOn<1, 0x80000013, 22631>, "Error with: dst.txt. " + reparsePoint),
    Tagged("Win11CloudDestinationRefused", TaggedOn<1, 0x9000001A, 22631>, "Error with: dst.txt. " + reparsePoint),
    Tagged("Win10WofSourceMoves", TaggedOn<0, 0x80000017, 19045>),
    Tagged("Win10DedupSourceMoves", TaggedOn<0, 0x80000013, 19045>),
    Tagged("Win10CloudSourceMoves", TaggedOn<0, 0x9000701A, 19045>),
    Tagged("Win10WofDestinationMoves", TaggedOn<1, 0x80000017, 19045>),
    Tagged("Win10DedupDestinationMoves", TaggedOn<1, 0x80000013, 19045>),
    Tagged("Win10CloudDestinationMoves", TaggedOn<1, 0x9000001A, 19045>),
    Tagged("Win11FirstBuildRefuses", TaggedOn<0, 0x80000013, 22000>, "Error with: src.txt. " + reparsePoint),
    Tagged("BuildBeforeWin11Moves", TaggedOn<0, 0x80000013, 21999>),
    // Disks that Windows connects after the restart's moves, by their bus.
    {"NtSourceOnIscsiDisk", nt, "src.txt", "dst.txt", OnDisk<BusTypeiScsi>, CannotCarryOut, ntSearched,
     "Error with: src.txt. " + lateIscsi},
    {"NtDestinationOnVirtualDiskMountedInAFolder", nt, "src.txt", "C:\\mnt\\dst.txt",
     [] {
         OnDisk<BusTypeSata>();
         fake.volumes["C:\\mnt\\"] = vhd.substr(0, 49), fake.volumeDisks[vhd.substr(0, 48)] = {2};
         fake.busTypes[2] = BusTypeFileBackedVirtual;
     },
     CannotCarryOut, {"SearchPathW(null, src.txt, null, 32768)", "SearchPathW(null, C:\\mnt\\dst.txt, null, 32768)"},
     "Error with: C:\\mnt\\dst.txt. " + lateVirtual},
    {"NtVirtualDiskThatHoldsTheWindowsFolder", nt, "src.txt", "dst.txt",
     [] {
         OnDisk<BusTypeFileBackedVirtual>();
         fake.systemDirectory = "C:\\WINDOWS\\system32", fake.volumes[fake.systemDirectory] = "C:\\";
     },
     Success, ntMoved, ""},
    {"Win11VirtualDiskAttachedAtBoot", nt, "src.txt", "dst.txt", [] { ListedAtBoot(), Build(22631); }, Success,
     ntMoved, ""},
    {"Win10VirtualDiskListedIsNotAttached", nt, "src.txt", "dst.txt", [] { ListedAtBoot(), Build(19045); },
     CannotCarryOut, ntSearched, "Error with: src.txt. " + lateVirtual},
    {"Win11AttachesListedDisksFromItsFirstBuild", nt, "src.txt", "dst.txt", [] { ListedAtBoot(), Build(22621); },
     Success, ntMoved, ""},
    {"Win11BuildBeforeThatDoesNot", nt, "src.txt", "dst.txt", [] { ListedAtBoot(), Build(22620); }, CannotCarryOut,
     ntSearched, "Error with: src.txt. " + lateVirtual},
    {"Win11OtherVirtualDiskListed", nt, "src.txt", "dst.txt",
     [] { ListedAtBoot(), Build(22631), fake.attachedAtBoot.erase("{1}"), Opens("D:\\other.vhdx", "D:\\other.vhdx"); },
     CannotCarryOut, ntSearched, "Error with: src.txt. " + lateVirtual},
    {"Win11NoVirtualDiskListed", nt, "src.txt", "dst.txt", [] { ListedAtBoot(), Build(22631), fake.attachedAtBoot = {}; },
     CannotCarryOut, ntSearched, "Error with: src.txt. " + lateVirtual},
    {"NtVolumeSpanningAnIscsiDisk", nt, "src.txt", "dst.txt", [] { OnDisk<BusTypeiScsi>(), fake.volumeDisks[volumeC] = {0, 1}; },
     CannotCarryOut, ntSearched, "Error with: src.txt. " + lateIscsi},
    {"NtDiskQueryFails", nt, "src.txt", "dst.txt", [] { OnDisk<BusTypeiScsi>(), fake.busTypes.erase(1); },
     Success, ntMoved, ""},
    {"NtSystemVolumeUnaskedNotJudged", nt, "src.txt", "dst.txt",
     [] { OnDisk<BusTypeiScsi>(), fake.volumeDisks.erase(volumeW); }, Success, ntMoved, ""},
    {"Win11NestedVirtualDiskJudgedByItsOwnFile", nt, "src.txt", "dst.txt",
     [] {
         ListedAtBoot(), Build(22631), fake.outerDiskFiles[1] = volumeW + "\\outer.vhdx";
         Opens(volumeW + "\\outer.vhdx", "W:\\outer.vhdx");
     },
     Success, ntMoved, ""},
    {"NtSataDisk", nt, "src.txt", "dst.txt", OnDisk<BusTypeSata>, Success, ntMoved, ""},
    {"NtNvmeDisk", nt, "src.txt", "dst.txt", OnDisk<BusTypeNvme>, Success, ntMoved, ""},
};

class RequestDeferredMoveTest : public testing::TestWithParam<MoveCase> {};

// Every case on 32-bit Windows, and on 64-bit Windows, where the redirector
// must be off for every file system call and on again for the report and at
// the end; the same when it cannot be turned off.
TEST_P(RequestDeferredMoveTest, ResolvesRegistersAndReports) {
    const MoveCase &c = GetParam();
    for (const bool wow64Fails : {false, true}) {
        for (const bool wow64 : {false, true}) {
            ResetFake();
            AddFiles();
            fake.wow64 = wow64;
            fake.wow64Fails = wow64Fails;
            c.setUp();
            ExitStatus status = Success;
            const std::string output = RunCapturingOutput(status, c.source, c.destination, c.mechanism);
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(CallsTo(resolvingAndRegistering), c.calls);
            EXPECT_EQ(output, c.output);
            EXPECT_EQ(fake.liveAllocations, 0);
            EXPECT_FALSE(fake.wroteUnderLock);
            EXPECT_EQ(fake.redirectionFaults, Calls{}) << "WOW64";
            EXPECT_FALSE(fake.redirectionOff);
            EXPECT_EQ(CallsTo({"Wow64RevertWow64FsRedirection"}).empty(), !wow64 || wow64Fails);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RequestDeferredMoveTest, testing::ValuesIn(moveCases),
                         [](const testing::TestParamInfo<MoveCase> &info) {
                             return std::string(info.param.name);
                         });

// One lock is held from the first reading of the lists to the reading back
// of the registration, and nothing is written while it is: Windows' own
// where it exists, else Quarvel's own, in a private namespace from Vista on.
struct LockCase {
    const char *name;
    void (*setUp)();
    Calls locking;  // the calls that create, take and release it, in order
};

void PrintTo(const LockCase &c, std::ostream *os) { *os << c.name; }

const std::string reads = "RegQueryValueExW(PendingFileRenameOperations)";
const std::string registers = "MoveFileExW(\\\\?\\C:\\work\\src.txt, \\\\?\\C:\\work\\dst.txt, 5)";
const Calls namespaced = {"CreateBoundaryDescriptorW(Quarvel)", "AddSIDToBoundaryDescriptor(Administrators)",
                          "CreatePrivateNamespaceW(Quarvel, secured)"};
void Vista() { fake.version.dwMajorVersion = 6; }

const LockCase lockCases[] = {
    {"SystemLockAlone", [] { fake.systemMutex = true, fake.version.dwMajorVersion = 10; },
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", "WaitForSingleObject(system, 30000)", reads, registers, reads,
      "ReleaseMutex(system)"}},
    {"OwnInAPrivateNamespace", Vista,
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", namespaced[0], namespaced[1], namespaced[2],
      "DeleteBoundaryDescriptor()", "CreateMutexA(Quarvel\\pending moves, secured)", "WaitForSingleObject(own, 30000)",
      reads, registers, reads, "ReleaseMutex(own)", "ClosePrivateNamespace()"}},
    {"PrivateNamespaceOpenedWhereItExists", [] { Vista(), fake.namespaceExists = true; },
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", namespaced[0], namespaced[1], namespaced[2],
      "OpenPrivateNamespaceW(Quarvel)", "DeleteBoundaryDescriptor()", "CreateMutexA(Quarvel\\pending moves, secured)",
      "WaitForSingleObject(own, 30000)", reads, registers, reads, "ReleaseMutex(own)", "ClosePrivateNamespace()"}},
    {"GlobalNameWhereThereAreNoBoundaries", [] { Vista(), fake.boundaryMissing = true; },
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", namespaced[0], "CreateMutexA(Global\\Quarvel pending moves)",
      "WaitForSingleObject(own, 30000)", reads, registers, reads, "ReleaseMutex(own)"}},
    {"AbandonedIsTakenOnNt4", [] { fake.waitResult = WAIT_ABANDONED, fake.version.dwMajorVersion = 4; },
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", "CreateMutexA(Quarvel pending moves)",
      "WaitForSingleObject(own, 30000)", reads, "MoveFileExW(C:\\work\\src.txt, C:\\work\\dst.txt, 5)", reads,
      "ReleaseMutex(own)"}},
    {"GlobalOnXp", BeforeVista,
     {"NtOpenMutant(\\PendingRenameMutex, 1048576)", "CreateMutexA(Global\\Quarvel pending moves)",
      "WaitForSingleObject(own, 30000)", reads, "MoveFileExW(C:\\work\\src.txt, C:\\work\\dst.txt, 5)", reads,
      "ReleaseMutex(own)"}},
};

class LockTest : public testing::TestWithParam<LockCase> {};

TEST_P(LockTest, HoldsOneLockFromReadingToReadingBack) {
    const LockCase &c = GetParam();
    ResetFake();
    AddFiles();
    c.setUp();
    ExitStatus status = UsageError;
    RunCapturingOutput(status, "src.txt", "dst.txt", nt);
    EXPECT_EQ(status, Success);
    Calls locking = CallsTo({"NtOpenMutant", "CreateBoundaryDescriptorW", "AddSIDToBoundaryDescriptor",
                             "CreatePrivateNamespaceW", "OpenPrivateNamespaceW", "DeleteBoundaryDescriptor",
                             "CreateMutexA", "WaitForSingleObject", "RegQueryValueExW", "MoveFileExW",
                             "ReleaseMutex", "ClosePrivateNamespace"});
    locking.erase(std::remove(locking.begin(), locking.end(), "RegQueryValueExW(PendingFileRenameOperations2)"),
                  locking.end());
    locking.erase(std::unique(locking.begin(), locking.end()), locking.end());
    EXPECT_EQ(locking, c.locking);
    EXPECT_EQ(fake.liveAllocations, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, LockTest, testing::ValuesIn(lockCases),
                         [](const testing::TestParamInfo<LockCase> &info) { return std::string(info.param.name); });

// The volume both files share is asked for its disks once; VirtDisk.dll is
// loaded only for a disk that reports a file-backed virtual bus.
TEST(RequestDeferredMove, AsksEachVolumeOnce) {
    ResetFake();
    AddFiles();
    ListedAtBoot();
    Build(22631);
    ExitStatus status = UsageError;
    RunCapturingOutput(status, "src.txt", "dst.txt", nt);
    EXPECT_EQ(status, Success);
    const Calls expected = {"GetVolumeNameForVolumeMountPointW(C:\\)", "DeviceIoControl(" + volumeC + ", 5636096)",
                            "DeviceIoControl(\\\\.\\PhysicalDrive1, 2954240)", "GetVolumeNameForVolumeMountPointW(W:\\)",
                            "DeviceIoControl(" + volumeW + ", 5636096)", "LoadLibraryA(virtdisk.dll)",
                            "GetStorageDependencyInformation(\\\\.\\PhysicalDrive1, 3)", "RegEnumKeyExW(0)",
                            "RegEnumKeyExW(1)", "RegEnumKeyExW(2)"};
    EXPECT_EQ(CallsTo({"GetVolumeNameForVolumeMountPointW", "DeviceIoControl", "LoadLibraryA",
                       "GetStorageDependencyInformation", "RegEnumKeyExW"}),
              expected);
    EXPECT_EQ(fake.liveAllocations, 0);
}

// The error code must be read straight after the failed search, and the
// system's text fetched, converted and released exactly as Windows expects.
TEST(ReportFailure, ReadsTheSearchErrorFirstAndReleasesEverything) {
    ResetFake();
    ExitStatus status = Success;
    RunCapturingOutput(status, "gone.txt", "dst.txt", DeferMechanism::ReplaceAtReboot);
    const Calls expected = {
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(Wow64DisableWow64FsRedirection)",
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(Wow64RevertWow64FsRedirection)",
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(GetFullPathNameW)",
        "GetFullPathNameW(gone.txt, 32768)",
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(GetSystemDirectoryW)",
        "GetSystemDirectoryW(32768)",
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(SearchPathW)",
        "SearchPathW(null, gone.txt, null, 32768)",
        "GetLastError(2)",
        "GetModuleHandleA(kernel32.dll)",  // whether standard output is a console
        "GetProcAddress(GetConsoleMode)",
        "GetModuleHandleA(kernel32.dll)",
        "GetProcAddress(FormatMessageW)",
        "FormatMessageA(0x1300, null, 2, 0x400, 0, null)",
        "LocalAlloc(0, " + std::to_string(notFound.size() + 1) + ")",
        "LoadLibraryA(user32.dll)",
        "GetProcAddress(CharToOemA)",
        "CharToOemA",
        "FreeLibrary()",
        "LocalFree()",
        "LocalFree()",
    };
    EXPECT_EQ(fake.calls, expected);
}

struct ReportCase {
    const char *name;
    const char *argument;
    void (*setUp)();
    std::string output;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ReportCase &c, std::ostream *os) { *os << c.name; }

const std::string ansiText = std::string("Acc") + AnsiEAcute + "s refus" + AnsiEAcute + ".\r\n";
const std::string oemText = std::string("Acc") + OemEAcute + "s refus" + OemEAcute + ".\r\n";

const ReportCase reportCases[] = {
    {"TextConvertedToOem", "a.txt", Nothing, "Error with: a.txt. " + oemText},
    {"ArgumentPrintedAsTyped", "%s %n café.txt", Nothing,
     "Error with: %s %n caf\xE9.txt. " + oemText},
    {"FailureWithoutAReason", "a.txt", [] { fake.lastError = ERROR_SUCCESS; },
     "Error with: a.txt. Windows gave no reason.\n"},
    {"NoSystemTextNamesTheCode", "a.txt", [] { fake.messages.clear(); },
     "Error with: a.txt. System error 5.\n"},
    {"CopyNotAllocatedPrintsUnconverted", "a.txt", [] { fake.localAllocFails = true; },
     "Error with: a.txt. " + ansiText},
    {"User32MissingPrintsUnconverted", "a.txt", [] { fake.user32Missing = true; },
     "Error with: a.txt. " + ansiText},
    // "?" for each character without an exact ANSI form, never a look-alike.
    {"NoLookAlikes", "złoty＂\U0001F600.dll", Nothing, "Error with: z?oty??.dll. " + oemText},
    // Nothing forged: control and bidirectional formatting characters.
    {"ControlCharactersShownAsQuestionMarks", "a\nCurrent OS\r\t\u202Eb\u2066.txt", Nothing,
     "Error with: a?Current OS???b?.txt. " + oemText},
    {"C1ControlsSeparatorsAndMarksShownAsQuestionMarks", "a\u0085b\u009B31m\u0081\u2028\u2029\u200E\u200F\u061C.txt",
     [] { fake.isConsole = true; }, "Error with: a?b?31m??????.txt. Accés refusé.\r\n"},
    {"EndsOfTheRangesShownAsQuestionMarks", "a\u007Fb\u009Fc\u2069.txt", [] { fake.isConsole = true; },
     "Error with: a?b?c?.txt. Accés refusé.\r\n"},
    {"Utf8CodePageHasEveryCharacter", "€-price\U0001F600.dll", [] { fake.codePage = CP_UTF8; },
     "Error with: €-price\U0001F600.dll. " + oemText},
    // A console shows characters: on NT through WriteConsoleW, with the
    // system's text in Unicode; on 95/98 everything in the OEM code page.
    {"NtConsoleShowsTheNameAsTyped", "złoty\U0001F600\n.dll", [] { fake.isConsole = true; },
     "Error with: złoty\U0001F600?.dll. Accés refusé.\r\n"},
    {"Win98ConsoleShowsTheOemCodePage", "café.txt",
     [] { fake.isConsole = true, fake.version.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS; },
     "Error with: caf\x82.txt. " + oemText},
};

class ReportFailureTest : public testing::TestWithParam<ReportCase> {};

TEST_P(ReportFailureTest, PrintsTheArgumentAndTheSystemText) {
    const ReportCase &c = GetParam();
    ResetFake();
    fake.messages[ERROR_ACCESS_DENIED] = ansiText;
    fake.lastError = ERROR_ACCESS_DENIED;
    c.setUp();
    ReportFailure(Widen(c.argument).c_str());
    EXPECT_EQ(ConsoleOutput(), c.output);
    EXPECT_EQ(fake.liveAllocations, 0);
    EXPECT_EQ(CallsTo({"WriteConsoleW"}).empty(),
              !fake.isConsole || fake.version.dwPlatformId != VER_PLATFORM_WIN32_NT);
}

INSTANTIATE_TEST_SUITE_P(Table, ReportFailureTest, testing::ValuesIn(reportCases),
                         [](const testing::TestParamInfo<ReportCase> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
