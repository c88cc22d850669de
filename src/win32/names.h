// Names as Windows holds them. The program works on UTF-16 text (WCHAR)
// throughout; these functions take it to Windows. The NT family holds every
// name in Unicode, so there they call the wide (W) functions, which take any
// name and, in the \\?\ form, paths of up to 32,767 characters; nothing is
// ever converted to the ANSI code page, whose best fit would turn a
// character it lacks into a look-alike (another file). Windows 95, 98 and ME
// have only the ANSI (A) functions: there a name is converted to the ANSI
// code page exactly, or the call fails, and a result is converted back.
// Wide functions are looked up at run time: 95 lacks or stubs many.
#ifndef QUARVEL_NAMES_H
#define QUARVEL_NAMES_H

#include "win32.h"

// Room for the longest path the W functions take, and its terminator; also
// for the longest command line.
const DWORD MaxPath = 32768;

// The process's command line: on NT its own Unicode one; on 95/98 the ANSI
// one (the system has no other), converted.
const WCHAR *ProcessCommandLine();

// Each as the Windows function of the same name (with "A" or "W"). A path
// result that does not fit `size` gives the size it needs; on 95/98 one
// longer than MAX_PATH fails with ERROR_FILENAME_EXCED_RANGE. A name with
// no exact ANSI form fails there with ERROR_NO_UNICODE_TRANSLATION.
// A name with a folder in it (app\x.dll, .\x.dll, ..\x.dll, C:x.dll) is
// taken from the current folder; only a bare file name is looked up along
// the system's search path.
DWORD SearchPathName(const WCHAR *name, WCHAR *path, DWORD size);
DWORD FullPathName(const WCHAR *name, WCHAR *path, DWORD size);
DWORD ShortPathName(const WCHAR *path, WCHAR *shortPath, DWORD size);
UINT SystemDirectory(WCHAR *path, UINT size);
DWORD FileAttributes(const WCHAR *path);
UINT DriveType(const WCHAR *root);
BOOL MoveAtReboot(const WCHAR *source, const WCHAR *destination);  // NT only
BOOL AddRenameEntry(const WCHAR *source, const WCHAR *destination);  // wininit.ini
bool SameText(const WCHAR *first, const WCHAR *second);  // lstrcmpi's equality
// Where the function is missing (95, NT before 2000), these fail.
DWORD DosDeviceTarget(const WCHAR *device, WCHAR *target, DWORD size);
BOOL VolumePathName(const WCHAR *path, WCHAR *volume, DWORD size);
// FindFirstFile's record of one file: its long and short names and, for a
// reparse point, its tag. False if there is none.
bool FindFileData(const WCHAR *path, WIN32_FIND_DATAW &data);
// The path with every link, junction and mount point on the way resolved,
// as \\?\C:\... or \\?\UNC\...: GetFinalPathNameByHandle, from Vista on, on a
// handle opened with no access at all (nothing is read, and a file in use
// opens too). 0 where Windows cannot tell.
DWORD FinalPathName(const WCHAR *path, WCHAR *finalPath, DWORD size);

// The ANSI form of the character at `text` (one UTF-16 unit, or a surrogate
// pair, whose count goes to `units`) in `bytes`: its length, 1 or 2, or 0 if
// the code page has no exact form for it. Never a best-fit look-alike.
int AnsiCharacter(const WCHAR *text, char (&bytes)[2], int &units);

// The length of a text, in WCHARs.
DWORD TextLength(const WCHAR *text);

// Copies text into a path buffer, after `offset` characters already there;
// false if it does not fit.
bool CopyText(WCHAR (&to)[MaxPath], const WCHAR *from, DWORD offset = 0);

#endif
