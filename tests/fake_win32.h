// A scriptable stand-in for the Windows functions the program calls. Each
// call is recorded, with its arguments, in fake.calls; what it returns is
// set up in the fields below before the code under test runs.
#ifndef QUARVEL_FAKE_WIN32_H
#define QUARVEL_FAKE_WIN32_H

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "win32/win32.h"

struct FakeWindows {
    // GetVersionExA: fills the record below unless versionResult is FALSE.
    BOOL versionResult = TRUE;
    OSVERSIONINFOA version{};

    // Names are UTF-8 here. The wide functions take them as UTF-16; the
    // ANSI ones are thin wrappers over those, converting through the code
    // page below as Windows does (with best fit), and record their own name.

    // SearchPath: an argument found here yields its full path; any other
    // fails with ERROR_FILE_NOT_FOUND. Searched in the current folder alone
    // ("."), a name is found if its full path is one of those found here.
    // searchLength overrides the returned length (for paths that do not
    // fit), leaving the buffer untouched.
    std::map<std::string, std::string> files;
    std::map<std::string, DWORD> searchLength;

    // GetShortPathName: a path found here yields its short form; any other
    // fails with ERROR_FILE_NOT_FOUND. shortLength overrides as above.
    std::map<std::string, std::string> shortNames;
    std::map<std::string, DWORD> shortLength;

    // GetFileAttributes: a folder for the paths listed, a file otherwise,
    // or the attributes given here.
    std::vector<std::string> folders;
    std::map<std::string, DWORD> attributes;
    // QueryDosDevice and GetVolumePathName: a letter's target ("S:"), a
    // path's volume; any other fails. KERNEL32 lacks the functions listed
    // in `missing` (all the wide ones are looked up).
    std::map<std::string, std::string> dosDevices;
    std::map<std::string, std::string> volumes;
    std::vector<std::string> missing;
    // GetDriveType: the type per root ("N:\\"); any other is a fixed drive.
    std::map<std::string, UINT> driveTypes;
    // GetVolumeInformationW: every volume keeps permissions (NTFS) but the
    // roots listed (FAT).
    std::vector<std::string> withoutAcls;
    // FindFirstFile: a path's long and short name and reparse tag; any other
    // is not found. CreateFileW opens a path given here, or one found above
    // (any of `files`), whose final path is then itself in the \\?\ form (an
    // empty one: the volume has no drive letter);
    // any other fails to open. GetFileInformationByHandle gives a file the
    // index of its final path's upper-case form, or of the path it is a
    // hard link of.
    struct Found {
        std::string longName, shortName;
        DWORD tag;
    };
    std::map<std::string, Found> found;
    std::map<std::string, std::string> finalPaths;
    std::map<std::string, std::string> hardLinks;
    // GetFileType of what a final path opens (a pipe's, say); any other is a
    // disk file. The folders (final paths without \\?\) that tell names
    // apart by case: their files' indexes are of their own spelling, and from
    // Windows 8 on FileCaseSensitiveInfo says so.
    std::map<std::string, DWORD> fileTypes;
    std::vector<std::string> caseSensitive;
    // From Windows 8 on, GetFileInformationByHandleEx's FileIdInfo: the
    // index, with these upper 64 bits of the ID (ReFS) per opened path.
    std::map<std::string, DWORD> idHigh;

    // What a volume lies on. GetVolumeNameForVolumeMountPoint gives a root's
    // volume name from `volumes` too. CreateFileW opens a volume listed here
    // (\\?\Volume{...}, without its last backslash) and each disk with a
    // bus (\\.\PhysicalDriveN), whose DeviceIoControl gives the volume's
    // disks and the disk's bus; any other query fails. VirtDisk.dll (as
    // LoadLibraryA gives it) gives a virtual disk's file, and the registry's
    // AutoAttachVirtualDisks key has a subkey per entry of attachedAtBoot,
    // with its Path.
    std::map<std::string, std::vector<DWORD>> volumeDisks;
    std::map<DWORD, DWORD> busTypes;
    std::map<DWORD, std::string> virtualDiskFiles;
    std::map<DWORD, std::string> outerDiskFiles;  // nested: the file that holds the volume of that file
    std::map<std::string, std::string> attachedAtBoot;

    // What is pending: the registry's values by name (an empty list: the
    // value cannot be read, with registryError), each of the type given and
    // cut by as many bytes at its end (a letter, "S:", is one of DOS
    // Devices), and the lines of the [rename] section of wininit.ini.
    std::map<std::string, std::vector<std::string>> pending;
    DWORD registryError = ERROR_ACCESS_DENIED;
    DWORD pendingType = REG_MULTI_SZ;
    int pendingCut = 0;  // in Windows' bytes; -1: one byte more
    bool pendingGrows = false;  // longer each time it is read
    std::vector<std::string> appendedWhileRead;  // appended to a value once its size is read
    std::vector<std::string> renameSection;

    // The two registering calls: what they return and the error they leave.
    // A registration that succeeds is added to what is pending, as Windows
    // adds it, unless it is not kept.
    BOOL moveFileResult = TRUE;
    BOOL profileResult = TRUE;
    DWORD registerError = ERROR_ACCESS_DENIED;
    bool registrationKept = true;
    // What another program appends to the list right after a registration,
    // or whether the list can no longer be read then.
    std::vector<std::string> appendedAfter;
    bool unreadableAfterRegistration = false;

    // NtQuerySecurityObject: the DACL of what a handle opened, by its final
    // path (without \\?\): its entries in order (type 0 allows, 1 denies;
    // for the SIDs listed, Named a user's and Running the token's user; with
    // its flags), none for a NULL DACL; any other path's cannot be read, and
    // a hidden one's Windows refuses to give (access denied). The owner
    // given for the path, if any, where it is asked for. A buffer not
    // aligned as its structure is refused, as Windows refuses it.
    struct Ace {
        BYTE type;
        enum Sid { Everyone, Users, System, Named, Running, LocalService, AuthenticatedUsers, Interactive,
                   Administrators, TrustedInstaller, OwnerRights, CreatorOwner, PowerUsers } sid;
        DWORD mask;
        BYTE flags = 0;
        DWORD objectFlags = 0;  // an object entry's: which GUIDs (zeros) follow
    };
    std::map<std::string, std::vector<Ace>> dacls;
    std::map<std::string, Ace::Sid> owners;
    std::vector<std::string> hiddenDacls;
    // NtOpenProcessToken and NtQueryInformationToken: the token's user is
    // Running's SID, unless it cannot be read.
    bool tokenUnreadable = false;

    // The locks: WaitForSingleObject's answer, whether NTDLL opens Windows'
    // own \PendingRenameMutex (NT only), the error CreateMutexA fails with
    // (none: it creates), and from Vista on the private namespace: whether
    // it exists already, or whether there are no boundaries (Wine 8). While
    // a lock is held, nothing may be written to standard output.
    DWORD waitResult = WAIT_OBJECT_0;
    bool systemMutex = false;
    bool systemMutexDenied = false;  // it exists, and only administrators may open it
    DWORD mutexError = ERROR_SUCCESS;
    bool namespaceExists = false;
    bool boundaryMissing = false;
    bool lockHeld = false;
    bool wroteUnderLock = false;

    // FormatMessageA: the system's text per error code; no entry, no text.
    std::map<DWORD, std::string> messages;

    bool localAllocFails = false;  // LocalAlloc returns NULL
    bool user32Missing = false;    // LoadLibraryA("user32.dll") fails

    // GetFullPathName puts a relative name in currentDirectory.
    std::string currentDirectory = "C:\\work";
    std::string systemDirectory = "C:\\WINDOWS\\system32";

    // The WOW64 redirector: `wow64` gives KERNEL32 its two switches, which
    // then fail if `wow64Fails`. While they work, each file system call made
    // with the redirector on, and each DLL load or message fetched with it
    // off, is listed in redirectionFaults.
    bool wow64 = false;
    bool wow64Fails = false;
    bool redirectionOff = false;
    std::vector<std::string> redirectionFaults;

    // The ANSI and OEM code pages, of those modelled (and UTF-8), and the
    // command line (UTF-8), which GetCommandLineA gives in the ANSI one.
    UINT codePage = 1252;
    UINT oemCodePage = 850;
    std::string commandLine;

    // Every byte written to standard output; what WriteConsoleW writes, as
    // UTF-8. Standard output is a console if isConsole.
    std::string console;
    bool isConsole = false;

    DWORD lastError = 0;
    int liveAllocations = 0;          // system buffers not yet released
    std::vector<std::string> calls;   // "Name(arg, arg, ...)" per call, in order
};

extern FakeWindows fake;

// Starts every test from the same state: Windows 7 SP1, no files, the
// system's usual texts for the codes the program meets.
void ResetFake();

// What the program has written to standard output so far, each CR LF read
// back as the "\n" it was written for.
std::string ConsoleOutput();

// The calls whose names are listed, in the order they were made.
std::vector<std::string> CallsTo(const std::vector<std::string> &names);

// UTF-8 to UTF-16 (a surrogate pair for a character beyond U+FFFF), and back.
std::wstring Widen(const std::string &text);
std::string Narrow(const WCHAR *text);

// The fake's CharToOemA turns the ANSI e-acute (0xE9) into the OEM one (0x82),
// so that tests can see whether a text was converted.
constexpr char AnsiEAcute = '\xE9';
constexpr char OemEAcute = '\x82';

#endif
