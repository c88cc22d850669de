// The request every check reads and sets, and the checks, by subject; for
// this folder's files alone (callers include deferred_move.h).
#ifndef QUARVEL_REQUEST_H
#define QUARVEL_REQUEST_H

#include "deferred_move.h"

const int SourceFile = 0;
const int DestinationFile = 1;

// One request, as the checks before its registration see it: each path by
// file, Source's first.
struct Request {
    DeferMechanism mechanism;
    WCHAR paths[2][MaxPath];      // the full paths found, drive letters that stand for a folder replaced
    WCHAR realPaths[2][MaxPath];  // where the files really lie, as NT registers them (below)
    FileId ids[2];                // the files' identities (NT); zero where unknown
    WCHAR volumes[2][MaxPath];    // the roots of the volumes that hold them; empty where unknown
    bool shortened;               // whether the short (8.3) forms below are filled
    WCHAR shortPaths[2][MaxPath];
    int pendingFile;              // the file that takes part in a move already pending, or -1
    bool alreadyPending;          // the very pair is pending already
    DWORD counts[2];              // the moves pending in each list before the registration
    DWORD reason;                 // why a check refused it
    WCHAR detail[MaxPath];        // what the report names besides the argument
    WCHAR otherDetail[MaxPath];
};

// This run's request, and a path buffer for any check's passing use: both
// too large for the stack.
extern Request request;
extern WCHAR scratch[MaxPath];

// The checks, in the files of their subjects. Each may refuse the request
// for one file (SourceFile or DestinationFile) and then sets its reason. The
// Session Manager (NT) and WININIT (95/98) run the moves early in the start,
// as plain renames, and drop what they cannot carry out without a word.

// location.cpp: where each file lies, and whether the restart reaches it.
bool NamesStream(Request &request, int file);
bool CannotLocate(Request &request, int file);
bool IsOffFixedDisk(Request &request, int file);
bool IsOnLateDisk(Request &request, int file);
bool IsLink(Request &request, int file);
bool IsReparsePointFile(Request &request, int file);
bool IsOnOtherDrive(Request &request, int file);
bool IsOnOtherVolume(Request &request, int file);

// file_rules.cpp: the two files themselves: their short forms, one file
// under two names, a read-only Destination, 95/98's short names.
bool CannotShorten(Request &request, int file);
bool IsSameFile(Request &request, int file);
bool IsReadOnly(Request &request, int file);
bool KeepsOnlyShortName(Request &request, int file);
// The forms of a file's path a name may be spelt in, in Windows' notation
// for local paths: as found, as it really is, and its short form; their count.
int FileForms(int file, const WCHAR *(&forms)[3]);
// Whether two identities are known and one file's.
bool IsSameId(const FileId &first, const FileId &second);

// pending.cpp: what the next start will already do, and the registration
// read back. CannotReadPending takes the locks, which RequestDeferredMove
// releases.
bool CannotReadPending(Request &request, int file);
bool IsPending(Request &request, int file);
// After the registration: ERROR_SUCCESS where it is in the lists read back,
// RequestNotKept where it is not, RequestMayBeKept where they cannot be read.
DWORD ReadBack();
// Whether a name begins with an ASCII prefix, in either case.
bool StartsWith(const WCHAR *name, const char *prefix);

// permissions.cpp: who else may change what lands on Destination.
bool IsOpenToUsers(Request &request, int file);

#endif
