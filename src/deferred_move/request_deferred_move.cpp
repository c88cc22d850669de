// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out.
#include "deferred_move.h"

namespace {

const int SourceFile = 0;
const int DestinationFile = 1;

// One request, as the checks before its registration see it: each path by
// file, Source's first.
struct Request {
    DeferMechanism mechanism;
    WCHAR paths[2][MaxPath];      // the full paths found, as they are registered
    WCHAR realPaths[2][MaxPath];  // the same with links and mount points resolved, where known
    WCHAR volumes[2][MaxPath];    // the roots of the volumes that hold them; empty where unknown
    bool shortened;               // whether the short (8.3) forms below are filled
    WCHAR shortPaths[2][MaxPath];
    DWORD reason;            // why a check refused it
    WCHAR detail[MaxPath];   // what the report names besides the argument
};

// Too large for the stack.
Request request;
WCHAR scratch[MaxPath];

// The checks, each of which may refuse the request and set its reason. The
// Session Manager (NT) and WININIT (95/98) run the moves early in the start,
// as plain renames, and drop what they cannot carry out without a word.

// A drive letter that stands for a folder (SUBST, DefineDosDevice, or the
// registry's DOS Devices list) names \??\C:\work where a disk's names a
// device. SUBST letters belong to the logon session and do not exist at the
// restart, so the path is registered by the folder the letter stands for
// (which also serves a letter that does exist then), and every other check
// judges that path. A letter that stands for anything else is refused.
// QueryDosDevice is NT's. Then where the file really lies: its real path
// (Vista on) and the root of the volume that holds it (2000 on).
bool CannotLocate(Request &request, int file) {
    WCHAR(&path)[MaxPath] = request.paths[file];
    WCHAR *target = request.detail;
    for (int depth = 0; depth < 8; ++depth) {  // a letter may stand for a folder on another
        const WCHAR *local = LocalPath(path);
        const WCHAR letter[] = {local[0], ':', 0};
        if (local[1] != ':' || DosDeviceTarget(letter, target, MaxPath) == 0 || target[0] != '\\' ||
            target[1] != '?' || target[2] != '?' || target[3] != '\\') {
            break;
        }
        target += 4;
        request.reason = OnSubstDrive;
        if (target[1] != ':') {
            CopyText(request.detail, target);
            return true;
        }
        // C:\work and \dst.txt, with one backslash between them.
        DWORD length = TextLength(target);
        length -= target[length - 1] == '\\' ? 1 : 0;
        if (!CopyText(scratch, target) || !CopyText(scratch, local + 2, length) ||
            !CopyText(path, scratch)) {
            request.reason = ERROR_FILENAME_EXCED_RANGE;
            return true;
        }
        target = request.detail;
    }
    request.detail[0] = 0;
    if (FinalPathName(path, request.realPaths[file], MaxPath) == 0) {
        CopyText(request.realPaths[file], path);
    }
    if (!VolumePathName(LocalPath(request.realPaths[file]), request.volumes[file], MaxPath)) {
        request.volumes[file][0] = 0;
    }
    return false;
}

// Deferred moves run before the network is available; removable media may be
// absent then, a CD cannot be written and a RAM disk starts empty. Only a
// fixed local disk is certain to be there. What counts is the volume that
// holds the file: one mounted in a folder, or reached through a link, is
// judged by itself, not by the drive letter.
bool IsOffFixedDisk(Request &request, int file) {
    const WCHAR *path = LocalPath(request.realPaths[file]);
    request.reason = OnNetworkDrive;
    if (path[0] == '\\' && path[1] == '\\') {
        return true;  // \\server\share\..., \\?\UNC\..., or any other \\ form
    }
    if (path[1] != ':') {
        return false;  // left to the drive comparison
    }
    const WCHAR letterRoot[] = {path[0], ':', '\\', 0};
    const WCHAR *volume = request.volumes[file];
    const UINT type = DriveType(volume[0] != 0 ? LocalPath(volume) : letterRoot);
    if (type != DRIVE_REMOTE) {
        request.reason = NotOnFixedDisk;
    }
    return type != DRIVE_FIXED;
}

// The restart may follow a link and move the file it points to. Only a
// name surrogate (bit 29 of the reparse tag) is a link: symbolic links,
// junctions and mount points. Compressed (WOF), deduplicated and cloud files
// carry a reparse point too, and are files.
bool IsLink(Request &request, int file) {
    const DWORD attributes = FileAttributes(request.paths[file]);
    WIN32_FIND_DATAW data;
    request.reason = LinkNotFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (!FindFileData(request.paths[file], data) || (data.dwReserved0 & 0x20000000) != 0);
}

// Both mechanisms rename, and a rename cannot leave its drive...
bool IsOnOtherDrive(Request &request, int) {
    const WCHAR *source = LocalPath(request.realPaths[SourceFile]);
    const WCHAR *destination = LocalPath(request.realPaths[DestinationFile]);
    request.reason = ERROR_NOT_SAME_DEVICE;
    return source[1] != ':' || destination[1] != ':' || (source[0] | 0x20) != (destination[0] | 0x20);
}

// ... nor its volume, which may be mounted in a folder of the drive or
// reached through a junction. GetVolumePathName is from Windows 2000 on.
bool IsOnOtherVolume(Request &request, int) {
    const WCHAR *source = request.volumes[SourceFile];
    const WCHAR *destination = request.volumes[DestinationFile];
    request.reason = ERROR_NOT_SAME_DEVICE;
    return source[0] != 0 && destination[0] != 0 && !SameText(LocalPath(source), LocalPath(destination));
}

// The short forms tell a long name from its own short form. Windows 95 and
// 98 need them for the entry, so there a failure ends the request; on NT
// they only serve the comparison of the two names.
bool CannotShorten(Request &request, int) {
    request.shortened = ShortenPath(request.paths[SourceFile], request.shortPaths[SourceFile]) &&
                        ShortenPath(request.paths[DestinationFile], request.shortPaths[DestinationFile]);
    if (request.shortened || request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    request.reason = GetLastError();
    return true;
}

bool IsSameFile(Request &request, int) {
    // As found, as they really are, and by their short forms.
    request.reason = SameFile;
    return SameText(LocalPath(request.paths[SourceFile]), LocalPath(request.paths[DestinationFile])) ||
           SameText(LocalPath(request.realPaths[SourceFile]),
                    LocalPath(request.realPaths[DestinationFile])) ||
           (request.shortened && SameText(LocalPath(request.shortPaths[SourceFile]),
                                          LocalPath(request.shortPaths[DestinationFile])));
}

// NTFS refuses to replace a read-only file, and DOS to delete one.
bool IsReadOnly(Request &request, int file) {
    const DWORD attributes = FileAttributes(request.paths[file]);
    request.reason = ReadOnlyFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// On 95/98 the file would exist under its short name only after the
// restart, and programs that open the long name would no longer find it.
// The file's own long name counts, however the Destination was typed (its
// short name names the same file); FindFirstFile gives both.
bool KeepsOnlyShortName(Request &request, int file) {
    if (request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    WIN32_FIND_DATAW data;
    const WCHAR *longName = FileName(request.paths[file]);
    const WCHAR *shortName = FileName(request.shortPaths[file]);
    if (FindFileData(request.paths[file], data)) {
        longName = data.cFileName;
        // No short name of its own: the long one is a valid short name.
        shortName = data.cAlternateFileName[0] != 0 ? data.cAlternateFileName : longName;
    }
    CopyText(request.detail, shortName);
    request.reason = ShortNameOnly;
    return !SameText(longName, shortName);
}

enum class Files { Source, Destination, Each };  // Each: Source's, then Destination's

struct Check {
    bool (*refuses)(Request &request, int file);
    Files files;        // the file checked, whose argument the report names
    ExitStatus status;  // the status a refusal ends with
};

// In this order; the README lists it.
const Check checks[] = {
    {CannotLocate, Files::Each, CannotCarryOut},
    {IsOffFixedDisk, Files::Each, CannotCarryOut},
    {IsLink, Files::Each, CannotCarryOut},
    {IsOnOtherDrive, Files::Source, CannotCarryOut},
    {IsOnOtherVolume, Files::Source, CannotCarryOut},
    {CannotShorten, Files::Source, RegistrationFailed},
    {IsSameFile, Files::Source, CannotCarryOut},
    {IsReadOnly, Files::Destination, CannotCarryOut},
    {KeepsOnlyShortName, Files::Destination, CannotCarryOut},
};

ExitStatus Refuse(const WCHAR *argument, DWORD reason, ExitStatus status = CannotCarryOut,
                  const WCHAR *detail = nullptr) {
    SetLastError(reason);
    ReportFailure(argument, detail);
    return status;
}

// Adds "destination=source" to the [rename] section of wininit.ini in the
// Windows directory, by the short (8.3) names: Windows 95 and 98 carry that
// section out before long file names are available. The second call writes
// the system's cached copy of the file out to disk; it is documented to
// return FALSE, so its result says nothing.
bool AddToStartupRenameList(const WCHAR *shortSource, const WCHAR *shortDestination) {
    if (!AddRenameEntry(shortSource, shortDestination)) {
        return false;
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "wininit.ini");
    return true;
}

}  // namespace

ExitStatus RequestDeferredMove(const WCHAR *source, const WCHAR *destination,
                               DeferMechanism mechanism) {
    const WCHAR *arguments[] = {source, destination};
    request.mechanism = mechanism;
    request.shortened = false;
    request.detail[0] = 0;

    // From here to the registration the program looks at the file system as
    // the restart will: on 64-bit Windows, System32 is the native one. The
    // failure report turns the redirector on again, before it loads USER32.
    TurnRedirectionOff();

    for (int file = SourceFile; file <= DestinationFile; ++file) {
        // A name through Sysnative is refused before its search, which
        // cannot see that folder with the redirector off.
        if (GoesThroughSysnative(arguments[file])) {
            return Refuse(arguments[file], ThroughSysnative);
        }
        if (!ResolveOnSearchPath(arguments[file], request.paths[file])) {
            ReportFailure(arguments[file]);
            return file == SourceFile ? SourceNotFound : DestinationNotFound;
        }
    }

    // Refuse what the next start cannot carry out, before anything is
    // registered: a request the system drops at the restart, or one that
    // destroys a file, must not be announced as done.
    for (const Check &check : checks) {
        for (int file = SourceFile; file <= DestinationFile; ++file) {
            const Files checked = file == SourceFile ? Files::Source : Files::Destination;
            if ((check.files == Files::Each || check.files == checked) &&
                check.refuses(request, file)) {
                return Refuse(arguments[file], request.reason, check.status, request.detail);
            }
        }
    }

    bool registered = false;
    switch (mechanism) {
    case DeferMechanism::ReplaceAtReboot:
        registered = MoveAtReboot(request.paths[SourceFile], request.paths[DestinationFile]) != FALSE;
        break;
    case DeferMechanism::StartupRenameList:
        registered = AddToStartupRenameList(request.shortPaths[SourceFile],
                                            request.shortPaths[DestinationFile]);
        break;
    case DeferMechanism::None:
        // Nothing can be registered without a mechanism; never report success.
        SetLastError(ERROR_NOT_SUPPORTED);
        break;
    }
    if (!registered) {
        ReportFailure(source);
        return RegistrationFailed;
    }
    TurnRedirectionOn();
    return Success;
}
