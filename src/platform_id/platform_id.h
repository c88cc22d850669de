// Which Windows is running, in words for the console, and how a file move
// can be deferred to the next start on it.
#ifndef QUARVEL_PLATFORM_ID_H
#define QUARVEL_PLATFORM_ID_H

#include "../win32/win32.h"

enum class OsFamily { Win32s, Windows95, Windows98, WindowsNT, Other };

enum class DeferMechanism {
    ReplaceAtReboot,    // MoveFileEx registers the move (Windows NT)
    StartupRenameList,  // an entry in the [rename] section of wininit.ini (Windows 95, 98)
    None                // the platform cannot defer a move
};

struct OsIdentity {
    char description[128];  // one line, such as "Windows NT 4.0 build 1381"
    char servicePack[128];  // the system's service-pack text, copied unchanged; may be empty
    OsFamily family;
    DeferMechanism mechanism;
};

// Asks Windows for its version record and classifies it. Prints nothing.
OsIdentity IdentifyOs();

// Classifies a filled version record; a pure function of the record.
OsIdentity ClassifyVersion(const OSVERSIONINFOA &info);

#endif
