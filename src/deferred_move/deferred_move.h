// Resolving Source and Destination on the search path and registering the
// move with the system for the next start.
#ifndef QUARVEL_DEFERRED_MOVE_H
#define QUARVEL_DEFERRED_MOVE_H

#include "../platform_id/platform_id.h"

// The process exit status.
enum ExitStatus {
    Success = 0,              // the move was registered, or the platform is not supported
    UsageError = 1,           // not exactly two arguments
    SourceNotFound = 2,       // Source was not found on the search path
    DestinationNotFound = 3,  // Destination was not found on the search path
    RegistrationFailed = 4    // the system did not take the registration
};

// Resolves both arguments, then registers the move by the given mechanism
// (ReplaceAtReboot or StartupRenameList). On failure the failure report has
// been printed; on Success nothing has been printed.
ExitStatus RequestDeferredMove(const char *source, const char *destination,
                               DeferMechanism mechanism);

// Looks the argument up on the system's search path. On success the buffer
// holds the full path of an existing file; on failure the reason is left for
// GetLastError.
bool ResolveOnSearchPath(const char *argument, char (&fullPath)[MAX_PATH]);

// Converts a full path to its short (8.3) form; on failure the reason is left
// for GetLastError.
bool ShortenPath(const char *fullPath, char (&shortPath)[MAX_PATH]);

// Prints "Error with: <argument>. <system text>" for the error code that the
// last failing platform call left. Must be called before any other platform
// call, so that the code read is that call's own.
void ReportFailure(const char *argument);

#endif
