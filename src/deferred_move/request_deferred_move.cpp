// Registering the move of Source onto Destination for the next start.
#include "deferred_move.h"

namespace {

// Windows 95 and 98 carry out the [rename] section of wininit.ini before long
// file names are available, so the entry must use the short (8.3) names.
bool ShortenPath(const char *fullPath, char (&shortPath)[MAX_PATH]) {
    const DWORD length = GetShortPathNameA(fullPath, shortPath, MAX_PATH);
    if (length == 0) {
        return false;
    }
    if (length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// Adds "destination=source" to the [rename] section of wininit.ini in the
// Windows directory.
bool AddToStartupRenameList(const char *sourcePath, const char *destinationPath) {
    char shortSource[MAX_PATH];
    char shortDestination[MAX_PATH];
    if (!ShortenPath(sourcePath, shortSource) || !ShortenPath(destinationPath, shortDestination)) {
        return false;
    }
    return WritePrivateProfileStringA("rename", shortDestination, shortSource, "wininit.ini") != FALSE;
}

bool Register(const char *sourcePath, const char *destinationPath, DeferMechanism mechanism) {
    switch (mechanism) {
    case DeferMechanism::ReplaceAtReboot:
        return MoveFileExA(sourcePath, destinationPath,
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    case DeferMechanism::StartupRenameList:
        return AddToStartupRenameList(sourcePath, destinationPath);
    case DeferMechanism::None:
        break;
    }
    // Nothing can be registered without a mechanism; never report success.
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace

ExitStatus RequestDeferredMove(const char *source, const char *destination,
                               DeferMechanism mechanism) {
    char sourcePath[MAX_PATH];
    char destinationPath[MAX_PATH];

    if (!ResolveOnSearchPath(source, sourcePath)) {
        ReportFailure(source);
        return SourceNotFound;
    }
    if (!ResolveOnSearchPath(destination, destinationPath)) {
        ReportFailure(destination);
        return DestinationNotFound;
    }
    if (!Register(sourcePath, destinationPath, mechanism)) {
        ReportFailure(source);
        return RegistrationFailed;
    }
    return Success;
}
