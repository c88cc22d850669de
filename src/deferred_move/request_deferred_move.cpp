// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out.
#include "deferred_move.h"

namespace {

// One request, as the checks before its registration see it.
struct Request {
    DeferMechanism mechanism;
    WCHAR sourcePath[MaxPath];  // the full paths found
    WCHAR destinationPath[MaxPath];
    bool shortened;  // whether the short (8.3) forms below are filled
    WCHAR shortSource[MaxPath];
    WCHAR shortDestination[MaxPath];
    DWORD reason;            // why a check refused it
    WCHAR detail[MaxPath];   // what the report names besides the argument
};

// Too large for the stack.
Request request;

void CopyText(WCHAR (&to)[MaxPath], const WCHAR *from) {
    DWORD i = 0;
    for (; i + 1 < MaxPath && from[i] != 0; ++i) {
        to[i] = from[i];
    }
    to[i] = 0;
}

// The checks, each of which may refuse the request and set its reason. The
// Session Manager (NT) and WININIT (95/98) run the moves early in the start,
// as plain renames, and drop what they cannot carry out without a word.

// Deferred moves run before the network is available; removable media may be
// absent then, a CD cannot be written and a RAM disk starts empty. Only a
// fixed local disk is certain to be there.
bool IsOffFixedDisk(Request &request, const WCHAR *path) {
    path = LocalPath(path);
    request.reason = OnNetworkDrive;
    if (path[0] == '\\' && path[1] == '\\') {
        return true;  // \\server\share\..., \\?\UNC\..., or any other \\ form
    }
    if (path[1] != ':') {
        return false;  // left to the drive comparison
    }
    const WCHAR root[] = {path[0], ':', '\\', 0};
    const UINT type = DriveType(root);
    if (type != DRIVE_REMOTE) {
        request.reason = NotOnFixedDisk;
    }
    return type != DRIVE_FIXED;
}

// A SUBST or DefineDosDevice letter belongs to the logon session, and the
// restart comes before any logon. Such a letter's target names a path
// (\??\C:\work) where a disk's names a device. QueryDosDevice is NT's.
bool IsOnSubstLetter(Request &request, const WCHAR *path) {
    path = LocalPath(path);
    const WCHAR letter[] = {path[0], ':', 0};
    WCHAR *target = request.detail;
    if (path[1] != ':' || DosDeviceTarget(letter, target, MaxPath) == 0 || target[0] != '\\' ||
        target[1] != '?' || target[2] != '?' || target[3] != '\\') {
        target[0] = 0;
        return false;
    }
    CopyText(request.detail, target + 4);
    request.reason = OnSubstDrive;
    return true;
}

// The restart may follow a link and move the file it points to.
bool IsLink(Request &request, const WCHAR *path) {
    const DWORD attributes = FileAttributes(path);
    request.reason = LinkNotFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Both mechanisms rename, and a rename cannot leave its drive...
bool IsOnOtherDrive(Request &request, const WCHAR *) {
    const WCHAR *source = LocalPath(request.sourcePath);
    const WCHAR *destination = LocalPath(request.destinationPath);
    request.reason = ERROR_NOT_SAME_DEVICE;
    return source[1] != ':' || destination[1] != ':' || (source[0] | 0x20) != (destination[0] | 0x20);
}

// ... nor its volume, which may be mounted in a folder of the drive or
// reached through a junction. GetVolumePathName is from Windows 2000 on.
bool IsOnOtherVolume(Request &request, const WCHAR *) {
    static WCHAR sourceVolume[MaxPath];
    static WCHAR destinationVolume[MaxPath];
    request.reason = ERROR_NOT_SAME_DEVICE;
    return VolumePathName(request.sourcePath, sourceVolume, MaxPath) &&
           VolumePathName(request.destinationPath, destinationVolume, MaxPath) &&
           !SameText(LocalPath(sourceVolume), LocalPath(destinationVolume));
}

// The short forms tell a long name from its own short form. Windows 95 and
// 98 need them for the entry, so there a failure ends the request; on NT
// they only serve the comparison of the two names.
bool CannotShorten(Request &request, const WCHAR *) {
    request.shortened = ShortenPath(request.sourcePath, request.shortSource) &&
                        ShortenPath(request.destinationPath, request.shortDestination);
    if (request.shortened || request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    request.reason = GetLastError();
    return true;
}

bool IsSameFile(Request &request, const WCHAR *) {
    request.reason = SameFile;
    return SameText(LocalPath(request.sourcePath), LocalPath(request.destinationPath)) ||
           (request.shortened &&
            SameText(LocalPath(request.shortSource), LocalPath(request.shortDestination)));
}

// NTFS refuses to replace a read-only file, and DOS to delete one.
bool IsReadOnly(Request &request, const WCHAR *path) {
    const DWORD attributes = FileAttributes(path);
    request.reason = ReadOnlyFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// On 95/98 the file would exist under its short name only after the
// restart, and programs that open the long name would no longer find it.
bool KeepsOnlyShortName(Request &request, const WCHAR *) {
    if (request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    const WCHAR *shortName = FileName(request.shortDestination);
    CopyText(request.detail, shortName);
    request.reason = ShortNameOnly;
    return !SameText(FileName(request.destinationPath), shortName);
}

enum class Names { Source, Destination, Each };  // Each: Source's path, then Destination's

struct Check {
    bool (*refuses)(Request &request, const WCHAR *path);
    Names names;        // the argument the report names, and whose path is checked
    ExitStatus status;  // the status a refusal ends with
};

// In this order; the README lists it.
const Check checks[] = {
    {IsOffFixedDisk, Names::Each, CannotCarryOut},
    {IsOnSubstLetter, Names::Each, CannotCarryOut},
    {IsLink, Names::Each, CannotCarryOut},
    {IsOnOtherDrive, Names::Source, CannotCarryOut},
    {IsOnOtherVolume, Names::Source, CannotCarryOut},
    {CannotShorten, Names::Source, RegistrationFailed},
    {IsSameFile, Names::Source, CannotCarryOut},
    {IsReadOnly, Names::Destination, CannotCarryOut},
    {KeepsOnlyShortName, Names::Destination, CannotCarryOut},
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
    request.mechanism = mechanism;
    request.shortened = false;
    request.detail[0] = '\0';

    // From here to the registration the program looks at the file system as
    // the restart will: on 64-bit Windows, System32 is the native one. The
    // failure report turns the redirector on again, before it loads USER32.
    TurnRedirectionOff();

    // A name through Sysnative is refused before its search, which cannot
    // see that folder with the redirector off.
    if (GoesThroughSysnative(source)) {
        return Refuse(source, ThroughSysnative);
    }
    if (!ResolveOnSearchPath(source, request.sourcePath)) {
        ReportFailure(source);
        return SourceNotFound;
    }
    if (GoesThroughSysnative(destination)) {
        return Refuse(destination, ThroughSysnative);
    }
    if (!ResolveOnSearchPath(destination, request.destinationPath)) {
        ReportFailure(destination);
        return DestinationNotFound;
    }

    // Refuse what the next start cannot carry out, before anything is
    // registered: a request the system drops at the restart, or one that
    // destroys a file, must not be announced as done.
    for (const Check &check : checks) {
        if (check.names != Names::Destination && check.refuses(request, request.sourcePath)) {
            return Refuse(source, request.reason, check.status, request.detail);
        }
        if (check.names != Names::Source && check.refuses(request, request.destinationPath)) {
            return Refuse(destination, request.reason, check.status, request.detail);
        }
    }

    bool registered = false;
    switch (mechanism) {
    case DeferMechanism::ReplaceAtReboot:
        registered = MoveAtReboot(request.sourcePath, request.destinationPath) != FALSE;
        break;
    case DeferMechanism::StartupRenameList:
        registered = AddToStartupRenameList(request.shortSource, request.shortDestination);
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
