// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out.
#include "deferred_move.h"

namespace {

// One request, as the checks before its registration see it.
struct Request {
    DeferMechanism mechanism;
    char sourcePath[MAX_PATH];  // the full paths found
    char destinationPath[MAX_PATH];
    bool shortened;  // whether the short (8.3) forms below are filled
    char shortSource[MAX_PATH];
    char shortDestination[MAX_PATH];
    DWORD reason;             // why a check refused it
    char detail[MAX_PATH];    // what the report names besides the argument
};

// The checks, each of which may refuse the request and set its reason. The
// Session Manager (NT) and WININIT (95/98) run the moves early in the start,
// as plain renames, and drop what they cannot carry out without a word.

// Deferred moves run before the network is available; removable media may be
// absent then, a CD cannot be written and a RAM disk starts empty. Only a
// fixed local disk is certain to be there.
bool IsOffFixedDisk(Request &request, const char *path) {
    request.reason = OnNetworkDrive;
    if (path[0] == '\\' && path[1] == '\\') {
        return true;  // \\server\share\..., or any other \\ form
    }
    if (path[1] != ':') {
        return false;  // left to the drive comparison
    }
    const char root[] = {path[0], ':', '\\', '\0'};
    const UINT type = GetDriveTypeA(root);
    if (type != DRIVE_REMOTE) {
        request.reason = NotOnFixedDisk;
    }
    return type != DRIVE_FIXED;
}

// A SUBST or DefineDosDevice letter belongs to the logon session, and the
// restart comes before any logon. Such a letter's target names a path
// (\??\C:\work) where a disk's names a device. QueryDosDeviceA is NT's.
bool IsOnSubstLetter(Request &request, const char *path) {
    const QueryDosDeviceProc queryDosDevice = Kernel32Function<QueryDosDeviceProc>("QueryDosDeviceA");
    const char letter[] = {path[0], ':', '\0'};
    char target[MAX_PATH];
    if (path[1] != ':' || queryDosDevice == nullptr ||
        queryDosDevice(letter, target, MAX_PATH) == 0 || target[0] != '\\' || target[1] != '?' ||
        target[2] != '?' || target[3] != '\\') {
        return false;
    }
    lstrcpynA(request.detail, target + 4, MAX_PATH);
    request.reason = OnSubstDrive;
    return true;
}

// The restart may follow a link and move the file it points to.
bool IsLink(Request &request, const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    request.reason = LinkNotFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Both mechanisms rename, and a rename cannot leave its drive...
bool IsOnOtherDrive(Request &request, const char *) {
    request.reason = ERROR_NOT_SAME_DEVICE;
    return request.sourcePath[1] != ':' || request.destinationPath[1] != ':' ||
           UpperAscii(request.sourcePath[0]) != UpperAscii(request.destinationPath[0]);
}

// ... nor its volume, which may be mounted in a folder of the drive or
// reached through a junction. GetVolumePathNameA is from Windows 2000 on.
bool IsOnOtherVolume(Request &request, const char *) {
    const GetVolumePathNameProc volumePathName =
        Kernel32Function<GetVolumePathNameProc>("GetVolumePathNameA");
    char sourceVolume[MAX_PATH];
    char destinationVolume[MAX_PATH];
    request.reason = ERROR_NOT_SAME_DEVICE;
    return volumePathName != nullptr && volumePathName(request.sourcePath, sourceVolume, MAX_PATH) &&
           volumePathName(request.destinationPath, destinationVolume, MAX_PATH) &&
           lstrcmpiA(sourceVolume, destinationVolume) != 0;
}

// The short forms tell a long name from its own short form. Windows 95 and
// 98 need them for the entry, so there a failure ends the request; on NT
// they only serve the comparison of the two names.
bool CannotShorten(Request &request, const char *) {
    request.shortened = ShortenPath(request.sourcePath, request.shortSource) &&
                        ShortenPath(request.destinationPath, request.shortDestination);
    if (request.shortened || request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    request.reason = GetLastError();
    return true;
}

bool IsSameFile(Request &request, const char *) {
    request.reason = SameFile;
    return lstrcmpiA(request.sourcePath, request.destinationPath) == 0 ||
           (request.shortened && lstrcmpiA(request.shortSource, request.shortDestination) == 0);
}

// NTFS refuses to replace a read-only file, and DOS to delete one.
bool IsReadOnly(Request &request, const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    request.reason = ReadOnlyFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// On 95/98 the file would exist under its short name only after the
// restart, and programs that open the long name would no longer find it.
bool KeepsOnlyShortName(Request &request, const char *) {
    if (request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    const char *shortName = FileName(request.shortDestination);
    lstrcpynA(request.detail, shortName, MAX_PATH);
    request.reason = ShortNameOnly;
    return lstrcmpiA(FileName(request.destinationPath), shortName) != 0;
}

enum class Names { Source, Destination, Each };  // Each: Source's path, then Destination's

struct Check {
    bool (*refuses)(Request &request, const char *path);
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

ExitStatus Refuse(const char *argument, DWORD reason, ExitStatus status = CannotCarryOut,
                  const char *detail = nullptr) {
    SetLastError(reason);
    ReportFailure(argument, detail);
    return status;
}

// Adds "destination=source" to the [rename] section of wininit.ini in the
// Windows directory, by the short (8.3) names: Windows 95 and 98 carry that
// section out before long file names are available. The second call writes
// the system's cached copy of the file out to disk; it is documented to
// return FALSE, so its result says nothing.
bool AddToStartupRenameList(const char *shortSource, const char *shortDestination) {
    if (!WritePrivateProfileStringA("rename", shortDestination, shortSource, "wininit.ini")) {
        return false;
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "wininit.ini");
    return true;
}

}  // namespace

ExitStatus RequestDeferredMove(const char *source, const char *destination,
                               DeferMechanism mechanism) {
    Request request;
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
        registered = MoveFileExA(request.sourcePath, request.destinationPath,
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
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
