// Registering the move of Source onto Destination for the next start, once
// it is certain that the start can carry it out: the checks in their order,
// the registration, and the refusal.
#include "request.h"

#include "../messages.h"
#include "../win32/pending_lists.h"

Request request;
WCHAR scratch[MaxPath];

namespace {

enum class Files { Source, Destination, Each };  // Each: Source's, then Destination's

struct Check {
    bool (*refuses)(Request &request, int file);
    Files files;        // the file checked, whose argument the report names
    ExitStatus status;  // the status a refusal ends with
};

// In this order; docs/reference.md lists it.
const Check checks[] = {
    {NamesStream, Files::Each, CannotCarryOut},
    {CannotLocate, Files::Each, CannotCarryOut},
    {IsOffFixedDisk, Files::Each, CannotCarryOut},
    {IsOnLateDisk, Files::Each, CannotCarryOut},
    {IsLink, Files::Each, CannotCarryOut},
    {IsReparsePointFile, Files::Each, CannotCarryOut},
    {IsOnOtherDrive, Files::Source, CannotCarryOut},
    {IsOnOtherVolume, Files::Source, CannotCarryOut},
    {CannotShorten, Files::Source, RegistrationFailed},
    {IsSameFile, Files::Source, CannotCarryOut},
    {IsReadOnly, Files::Destination, CannotCarryOut},
    {KeepsOnlyShortName, Files::Destination, CannotCarryOut},
    {CannotReadPending, Files::Source, RegistrationFailed},
    {IsPending, Files::Each, CannotCarryOut},
    {IsOpenToUsers, Files::Source, CannotCarryOut},
};

// What the report says, once the lock is released: nothing is written
// while it is held, so that an output nobody reads (a paused console, a
// full pipe) cannot keep every other registration on the machine waiting.
struct Refusal {
    const WCHAR *argument;  // nullptr: nothing to report
    DWORD reason;
} refusal;

ExitStatus Refuse(const WCHAR *argument, DWORD reason, ExitStatus status = CannotCarryOut) {
    refusal = Refusal{argument, reason};
    return status;
}

// The request, up to its registration read back; the lock may still be
// held when it returns, and what it refused is reported after.
ExitStatus Register(const WCHAR *source, const WCHAR *destination, DeferMechanism mechanism) {
    const WCHAR *arguments[] = {source, destination};
    request.mechanism = mechanism;
    request.shortened = false;
    request.pendingFile = -1;
    request.alreadyPending = false;
    request.detail[0] = request.otherDetail[0] = 0;

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
        // Reported at once: the reason is the search's own.
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
                return Refuse(arguments[file], request.reason, check.status);
            }
        }
    }

    // The very pair already pending is not registered again.
    if (request.alreadyPending) {
        TurnRedirectionOn();
        return Success;
    }
    // NT registers where the files really lie; 95/98 by the short (8.3)
    // names, as WININIT runs before long file names are available.
    const bool registered =
        (mechanism == DeferMechanism::ReplaceAtReboot
             ? MoveAtReboot(request.realPaths[SourceFile], request.realPaths[DestinationFile])
             : AddRenameEntry(request.shortPaths[SourceFile], request.shortPaths[DestinationFile])) != FALSE;
    if (!registered) {
        // A [rename] section that would no longer be read whole, refused
        // before anything was written.
        const DWORD error = GetLastError();
        const bool cut = mechanism == DeferMechanism::StartupRenameList && error == ERROR_MORE_DATA;
        return Refuse(source, cut ? PendingListDamaged : error, RegistrationFailed);
    }
    const DWORD readBack = ReadBack();
    if (readBack != ERROR_SUCCESS) {
        CopyText(request.detail, mechanism == DeferMechanism::ReplaceAtReboot ? LOOK_AT_PENDING_NT : LOOK_AT_PENDING_9X);
        return Refuse(source, readBack, RegistrationFailed);
    }
    TurnRedirectionOn();
    return Success;
}

}  // namespace

ExitStatus RequestDeferredMove(const WCHAR *source, const WCHAR *destination,
                               DeferMechanism mechanism) {
    refusal.argument = nullptr;
    const ExitStatus status = Register(source, destination, mechanism);
    UnlockPendingLists();
    if (refusal.argument != nullptr) {
        SetLastError(refusal.reason);
        ReportFailure(refusal.argument, request.detail, request.otherDetail);
        // On 95/98 there is nothing to elevate.
        if (status == RegistrationFailed && mechanism == DeferMechanism::ReplaceAtReboot) {
            ReportMissingRights(refusal.reason);
        }
    }
    return status;
}
