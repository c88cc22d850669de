// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out.
#include "deferred_move.h"

namespace {

// A path on a network share: \\server\share\... (or any other \\ form), or
// a drive letter that Windows reports as remote. Deferred moves run before
// the network is available.
bool IsOnNetwork(const char *path) {
    if (path[0] == '\\' && path[1] == '\\') {
        return true;
    }
    const char root[] = {path[0], ':', '\\', '\0'};
    return path[1] == ':' && GetDriveTypeA(root) == DRIVE_REMOTE;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Both deferred mechanisms rename, and a rename cannot leave its drive.
bool OnSameDrive(const char *sourcePath, const char *destinationPath) {
    return sourcePath[1] == ':' && destinationPath[1] == ':' &&
           UpperAscii(sourcePath[0]) == UpperAscii(destinationPath[0]);
}

ExitStatus Refuse(const char *argument, DWORD reason, const char *detail = nullptr) {
    SetLastError(reason);
    ReportFailure(argument, detail);
    return CannotCarryOut;
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
    char sourcePath[MAX_PATH];
    char destinationPath[MAX_PATH];

    // From here to the registration the program looks at the file system as
    // the restart will: on 64-bit Windows, System32 is the native one. The
    // failure report turns the redirector on again, before it loads USER32.
    TurnRedirectionOff();

    // A name through Sysnative is refused before its search, which cannot
    // see that folder with the redirector off.
    if (GoesThroughSysnative(source)) {
        return Refuse(source, ThroughSysnative);
    }
    if (!ResolveOnSearchPath(source, sourcePath)) {
        ReportFailure(source);
        return SourceNotFound;
    }
    if (GoesThroughSysnative(destination)) {
        return Refuse(destination, ThroughSysnative);
    }
    if (!ResolveOnSearchPath(destination, destinationPath)) {
        ReportFailure(destination);
        return DestinationNotFound;
    }

    // Refuse what the next start cannot carry out, before anything is
    // registered: a request the system drops at the restart, or one that
    // destroys a file, must not be announced as done.
    if (IsOnNetwork(sourcePath)) {
        return Refuse(source, OnNetworkDrive);
    }
    if (IsOnNetwork(destinationPath)) {
        return Refuse(destination, OnNetworkDrive);
    }
    if (!OnSameDrive(sourcePath, destinationPath)) {
        return Refuse(source, ERROR_NOT_SAME_DEVICE);
    }
    // The short forms tell a long name from its own short form. Windows 95
    // and 98 need them for the entry; on NT they only serve that comparison.
    char shortSource[MAX_PATH];
    char shortDestination[MAX_PATH];
    const bool shortened = ShortenPath(sourcePath, shortSource) &&
                           ShortenPath(destinationPath, shortDestination);
    if (!shortened && mechanism == DeferMechanism::StartupRenameList) {
        ReportFailure(source);
        return RegistrationFailed;
    }
    if (lstrcmpiA(sourcePath, destinationPath) == 0 ||
        (shortened && lstrcmpiA(shortSource, shortDestination) == 0)) {
        return Refuse(source, SameFile);
    }

    bool registered = false;
    switch (mechanism) {
    case DeferMechanism::ReplaceAtReboot:
        registered = MoveFileExA(sourcePath, destinationPath,
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
        break;
    case DeferMechanism::StartupRenameList:
        // After the restart the file would exist under its short name only,
        // and programs that open the long name would no longer find it.
        if (lstrcmpiA(FileName(destinationPath), FileName(shortDestination)) != 0) {
            return Refuse(destination, ShortNameOnly, FileName(shortDestination));
        }
        registered = AddToStartupRenameList(shortSource, shortDestination);
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
