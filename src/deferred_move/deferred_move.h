// Resolving Source and Destination on the search path and registering the
// move with the system for the next start.
#ifndef QUARVEL_DEFERRED_MOVE_H
#define QUARVEL_DEFERRED_MOVE_H

#include "../platform_id/platform_id.h"
#include "../win32/files.h"

// The process exit status.
enum ExitStatus {
    Success = 0,              // the move was registered, or the platform is not supported
    UsageError = 1,           // not exactly two arguments
    SourceNotFound = 2,       // Source was not found on the search path
    DestinationNotFound = 3,  // Destination was not found on the search path
    RegistrationFailed = 4,   // the system did not take the registration
    CannotCarryOut = 5        // the next start could not carry the move out; nothing registered
};

// The program's own reasons for a failure, as error codes in the range that
// Windows leaves to applications (bit 29 set), so that they travel through
// SetLastError and the failure report like the system's own.
enum OwnError : DWORD {
    NotAFile = 0x20000001,  // the name is a folder
    OnNetworkDrive,         // a network drive or \\server\share path
    SameFile,               // Source and Destination name one file
    ShortNameOnly,          // 95/98 would leave Destination under its short name
    ThroughSysnative,       // a folder that only 32-bit programs see
    NotOnFixedDisk,         // a removable, CD-ROM, RAM or unknown drive
    OnSubstDrive,           // a drive letter that stands for no path on a disk (the detail)
    LinkNotFile,            // a symbolic link, junction or mount point
    ReadOnlyFile,           // Destination is read-only
    StreamName,             // a stream of a file, not the file
    NoFinalPath,            // Windows gives no path by drive letter for the file
    PendingListsBusy,       // another program kept the locks of the pending lists
    PendingListDamaged,     // a pending list that cannot be read whole
    RequestNotKept,         // the registration is not in the list read back
    OpenToUsers,            // another account can change or replace Source
    FolderOpenToUsers,      // ... or a folder on its path (the detail)
    DestinationPathOpen,    // ... and a folder on Destination's path (the detail)
    CompressedByWindows,    // Windows 11 refuses a file compressed by Windows (WOF)
    ReparsePointFile,       // ... or one that carries another reparse point
    OnIscsiDisk,            // a disk the iSCSI software initiator connects after the moves
    OnDetachedVirtualDisk,  // a virtual disk that is not attached at boot
    LockNameTaken,          // another program holds the name of Quarvel's own lock (the detail)
    RequestMayBeKept,       // the lists could not be read back after the registration
    // The pending ones, which the report ends alike. Details: the entry's
    // names, source then destination.
    InPendingMove,               // the file takes part in a pending move
    InPendingDelete,             // the file is to be deleted at the next start
    FolderInPendingMove,         // a folder that holds the file is a pending move's source
    FolderReplacedByPendingMove, // ... or its destination
    FolderInPendingDelete        // ... or is to be deleted
};

// Resolves both arguments, then registers the move by the given mechanism
// (ReplaceAtReboot or StartupRenameList). On failure the failure report has
// been printed; on Success nothing has been printed.
ExitStatus RequestDeferredMove(const WCHAR *source, const WCHAR *destination,
                               DeferMechanism mechanism);

// Looks the argument up on the system's search path. On success the buffer
// holds the full path of an existing file (not a folder); on failure the
// reason is left for GetLastError.
bool ResolveOnSearchPath(const WCHAR *argument, WCHAR (&fullPath)[MaxPath]);

// Converts a full path to its short (8.3) form; on failure the reason is left
// for GetLastError.
bool ShortenPath(const WCHAR *fullPath, WCHAR (&shortPath)[MaxPath]);

// The last component of a path.
const WCHAR *FileName(const WCHAR *path);

// A path in Windows' own notation for a local path, \\?\C:\... or
// \\.\C:\..., from its drive letter on; any other path as it is.
const WCHAR *LocalPath(const WCHAR *path);
// The length of the drive or volume a local path begins with, X: or
// \\?\Volume{GUID}, without the backslash that must follow it (or end the
// path); 0 for any other path.
DWORD RootLength(const WCHAR *path);

// Whether the argument's full path goes through the Windows folder's
// Sysnative, a folder that 64-bit Windows shows to 32-bit programs only.
// Looks at the name alone.
bool GoesThroughSysnative(const WCHAR *argument);

// The WOW64 file system redirector, for the 32-bit build on 64-bit Windows:
// while it is off, System32 is the native System32, as it is for the
// restart. Where there is none (old Windows, the 64-bit build) or it cannot
// be turned off, nothing changes. It must be on again before a DLL is loaded
// and before the run ends; turning it on when it is not off does nothing.
void TurnRedirectionOff();
void TurnRedirectionOn();

// A move or delete the next start will already carry out, with Windows'
// marks taken off its names (NT's in the \\?\ form): its source, its
// destination (empty for a delete), whether it replaces a file there, and
// the list that holds it (0: PendingFileRenameOperations, or wininit.ini;
// 1: PendingFileRenameOperations2), and for each name, source first,
// whether it is foreign to NT's object namespace (C:\..., \\?\...), so
// that the restart cannot open it.
struct PendingMove {
    const WCHAR *source;
    const WCHAR *destination;
    bool replaces;
    int list;
    bool foreign[2];
};

// Reads what the next start will already carry out by the mechanism (on NT
// PendingFileRenameOperations and ...2, on 95/98 the [rename] section of
// wininit.ini) and calls `visit` with each move in turn, until it returns
// true; `counts` receives the number of moves visited in each list. Returns
// ERROR_SUCCESS, PendingListDamaged for a list that cannot be read whole
// (nothing is then visited), or the error that kept it from being read.
DWORD ForEachPendingMove(DeferMechanism mechanism, bool (*visit)(const PendingMove &move),
                         DWORD (&counts)[2]);

// What every account but Administrators, SYSTEM, TrustedInstaller and the
// user who runs Quarvel (read from its token by IsOpenToUsers) may do to a
// file or folder, by its owner and DACL (NT): whether they are granted any
// of `rights` (GENERIC_ALL and GENERIC_WRITE counted as the file rights they
// stand for; an owner among them WRITE_DAC), or Unknown where the DACL
// cannot be read. A NULL DACL grants everything; a descriptor Windows
// refuses to give (its owner may hide it) counts as granting it.
enum class UsersMay { Unknown, NotChange, Change };
UsersMay RightsOfUsers(const WCHAR *path, DWORD rights);

// Prints "Error with: <argument>. <text>" for the error code that the last
// failing platform call left: the system's text, or the program's own for an
// OwnError (ShortNameOnly names `detail`, the short name; OnSubstDrive the
// folder the letter stands for; the pending ones the entry). Must be called
// before any other platform call, so that the code read is that call's own.
// Turns the redirector on again once it has read the code.
void ReportFailure(const WCHAR *argument, const WCHAR *detail = nullptr,
                   const WCHAR *otherDetail = nullptr);

// Ends a report of a registration, or of the locking or reading of the
// pending lists, that NT refused for want of rights with the next step: an
// elevated prompt.
void ReportMissingRights(DWORD errorCode);

#endif
