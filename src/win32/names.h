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

// Whether this Windows holds names in Unicode: the NT family.
bool NamesAreUnicode();

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
// Whether two names are one name to the file system: compared unit by unit,
// upper-cased as the file system upper-cases them (CompareStringOrdinal from
// Vista on, LCMapString before), never by lstrcmpi's linguistic rules, for
// which "strasse" and "stra\u00DFe" are equal.
bool SameName(const WCHAR *first, const WCHAR *second);
// The same for the first `count` units of each.
bool SameUnits(const WCHAR *first, const WCHAR *second, DWORD count);
// Where the function is missing (95), this fails.
DWORD DosDeviceTarget(const WCHAR *device, WCHAR *target, DWORD size);

// The form of the character at `text` (one UTF-16 unit, or a surrogate
// pair, whose count goes to `units`) in `bytes`, in a code page (CP_ACP,
// CP_OEMCP): its length, 1 to 4 (UTF-8), or 0 if the code page has no exact
// form for it. Never a best-fit look-alike.
int CodePageCharacter(UINT codePage, const WCHAR *text, char (&bytes)[4], int &units);

// The length of a text, in WCHARs.
DWORD TextLength(const WCHAR *text);

// Copies text into a path buffer, after `offset` characters already there;
// false if it does not fit, and then as much as fits, terminated.
bool CopyText(WCHAR (&to)[MaxPath], const WCHAR *from, DWORD offset = 0);

// For the seam's other files: sets the error and returns 0; a path in the
// form in which the W functions take it, a long one in its \\?\ form (in
// one of two buffers, `which`, so that a call may take two); a name in the
// ANSI code page exactly, false with the reason set where it has none.
DWORD FailWith(DWORD error);
const WCHAR *LongForm(const WCHAR *path, int which);
bool ToAnsi(const WCHAR *name, char (&ansi)[MAX_PATH]);

#endif
