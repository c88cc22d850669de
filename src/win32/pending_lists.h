// What the next start will already do, as Windows keeps it, and the locks
// that keep two registrations from reading and writing it at once.
#ifndef QUARVEL_PENDING_LISTS_H
#define QUARVEL_PENDING_LISTS_H

#include "names.h"

// Takes the lock that registrations of moves for the restart respect,
// waiting at most 30 seconds for it: on NT, Windows' own
// \PendingRenameMutex, which the Session Manager creates, only
// administrators may open and every MoveFileEx waits on (the thread that
// holds it may take it again, so a MoveFileEx made while it is held does not
// wait on itself); where it does not exist, Quarvel's own named mutex, in a
// private namespace only administrators can create from Vista on, else in
// Global\ from 2000 on. Returns ERROR_SUCCESS, WAIT_TIMEOUT where another
// program kept it, ERROR_ALREADY_EXISTS where another program holds the name
// of Quarvel's own (PendingLockName names it), or the error that kept it from
// being opened. UnlockPendingLists releases what was taken; it may be called
// whether or not anything was.
DWORD LockPendingLists();
void UnlockPendingLists();
const WCHAR *PendingLockName();

// A value of the Session Manager's key as read: its bytes (followed by
// three more zero characters than Windows stored, so that even a cut value
// ends), their count and the value's type; no data where there is no such
// value. The caller releases the data with LocalFree.
struct RegistryValue {
    WCHAR *data;
    DWORD size;
    DWORD type;
};

// Reads two values of the Session Manager's key (NT). Returns
// ERROR_SUCCESS (also where there is no key), ERROR_MORE_DATA for a value
// that kept growing while it was read, or the error that kept them from
// being read.
DWORD ReadPendingValues(const WCHAR *const (&names)[2], RegistryValue (&values)[2]);

// Whether the registry's Session Manager\DOS Devices defines a drive letter
// ("S:"), which then exists when the restart's moves run, unlike a letter
// made by SUBST or DefineDosDevice in a logon session (NT).
bool DefinedAtStart(const WCHAR *device);

// Reads the [rename] section of wininit.ini (95/98) as zero-terminated
// lines, ending in an empty one. Returns ERROR_SUCCESS (also for a missing
// file or section), ERROR_MORE_DATA for a section too long to be read whole,
// or the error of a read or conversion that failed.
DWORD ReadRenameSection(WCHAR (&lines)[MaxPath]);

// Registers a move for the restart: on NT through MoveFileEx, replacing
// Destination; on 95/98 as a "destination=source" line of wininit.ini's
// [rename] section in the Windows folder, by the names' exact ANSI forms,
// with the system's cached copy of the file then written out.
BOOL MoveAtReboot(const WCHAR *source, const WCHAR *destination);
BOOL AddRenameEntry(const WCHAR *source, const WCHAR *destination);

#endif
