// Registering the move of Source onto Destination for the next start.
#include "deferred_move.h"

namespace {

// Adds "destination=source" to the [rename] section of wininit.ini in the
// Windows directory. Windows 95 and 98 carry that section out before long
// file names are available, so the entry uses the short (8.3) names.
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
