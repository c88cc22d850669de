// Names as Windows holds them: the wide functions on NT, the ANSI ones,
// reached by exact conversion, on 95/98; and names compared as the file
// system compares them.
#include "names.h"

namespace {

// Too large for the stack: the command line, and for each of the (at most
// two) paths of one call, a long path in its \\?\ form.
WCHAR commandLine[MaxPath];
WCHAR longForms[2][MaxPath];

// The NT family holds names in Unicode; 95, 98, ME and Win32s do not. Every
// 64-bit Windows is NT.
bool Unicode() {
#ifdef _WIN64
    return true;
#else
    return (GetVersion() & 0x80000000) == 0;
#endif
}

bool IsDeviceForm(const WCHAR *path, WCHAR kind) {
    return path[0] == '\\' && path[1] == '\\' && path[2] == kind && path[3] == '\\';
}

}  // namespace

DWORD FailWith(DWORD error) {
    SetLastError(error);
    return 0;
}

// A path too long for MAX_PATH in the \\?\ form, in which every NT takes it up
// to 32,767 characters. That form turns Windows' normalisation off (no / for
// \, no . or .. folders, no doubled \, no trailing dots or spaces), so the
// path is normalised first, as Windows would have. A path typed in that
// form, and one short enough, stay as they are.
const WCHAR *LongForm(const WCHAR *path, int which) {
    WCHAR(&form)[MaxPath] = longForms[which];
    const auto fullPathName = KERNEL32_FUNCTION(GetFullPathNameW);
    if (IsDeviceForm(path, '?') || fullPathName == nullptr) {
        return path;
    }
    // Room for the prefix; and Wine garbles a drive-relative name in a
    // buffer of exactly 32,768 characters.
    LPWSTR filePart = nullptr;
    WCHAR *full = form + 4;
    const DWORD length = fullPathName(path, MaxPath - 5, full, &filePart);
    if (length < MAX_PATH || length >= MaxPath - 5) {
        return path;
    }
    if (IsDeviceForm(full, '.')) {
        full[2] = '?';  // \\.\C:\... normalised is the same path
        return full;
    }
    if (full[0] == '\\' && full[1] == '\\') {
        // \\server\share\... is \\?\UNC\server\share\...: found, then
        // refused as any network path.
        for (DWORD at = length; at >= 2; --at) {
            full[at + 2] = full[at];
        }
        const WCHAR unc[] = L"\\\\?\\UNC\\";
        for (int i = 0; i < 8; ++i) {
            form[i] = unc[i];
        }
        return form;
    }
    if (full[1] != ':') {
        return full;
    }
    form[0] = form[1] = form[3] = '\\';
    form[2] = '?';
    return form;
}

// A name in the ANSI code page, exactly, for the A functions of 95/98; on
// failure the reason is set.
bool ToAnsi(const WCHAR *name, char (&ansi)[MAX_PATH]) {
    DWORD length = 0;
    for (const WCHAR *c = name; *c != 0;) {
        char bytes[4];
        int units = 0;
        const int count = CodePageCharacter(CP_ACP, c, bytes, units);
        if (count == 0) {
            return FailWith(ERROR_NO_UNICODE_TRANSLATION);
        }
        if (length + count >= MAX_PATH) {
            return FailWith(ERROR_FILENAME_EXCED_RANGE);
        }
        for (int i = 0; i < count; ++i) {
            ansi[length++] = bytes[i];
        }
        c += units;
    }
    ansi[length] = '\0';
    return true;
}

namespace {

// An A function's path result as its W function gives it: zero stays a
// failure; a path too long for MAX_PATH is one too, as 95/98 cannot use it.
DWORD FromAnsi(DWORD length, const char *ansi, WCHAR *path, DWORD size) {
    if (length == 0) {
        return 0;
    }
    if (length >= MAX_PATH) {
        return FailWith(ERROR_FILENAME_EXCED_RANGE);
    }
    const int converted = MultiByteToWideChar(CP_ACP, 0, ansi, -1, path, static_cast<int>(size));
    return converted > 0 ? static_cast<DWORD>(converted - 1) : 0;
}

// The 95/98 side of a query from a name to a path, through its A function.
DWORD AnsiQuery(DWORD(WINAPI *query)(LPCSTR, LPSTR, DWORD), const WCHAR *name, WCHAR *path,
                DWORD size) {
    char ansiName[MAX_PATH];
    char ansiPath[MAX_PATH];
    if (query == nullptr) {
        return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    if (!ToAnsi(name, ansiName)) {
        return 0;
    }
    return FromAnsi(query(ansiName, ansiPath, MAX_PATH), ansiPath, path, size);
}

// Whether a name has a folder or drive in it: not a bare file name.
bool HasFolder(const WCHAR *name) {
    for (const WCHAR *c = name; *c != 0; ++c) {
        if (*c == '\\' || *c == '/' || *c == ':') {
            return true;
        }
    }
    return false;
}

// A relative name with a folder in it, which SearchPath would append to
// each folder of the search path in turn, Quarvel's own first.
bool IsRelativeWithFolder(const WCHAR *name) {
    const bool full = name[0] == '\\' || name[0] == '/' ||
                      (name[0] != 0 && name[1] == ':' && (name[2] == '\\' || name[2] == '/'));
    return !full && HasFolder(name);  // a full path is taken as it stands
}

// Where AnsiSearchPath looks: the current folder ("."), or the search path.
const char *ansiSearchFolder;

// The two ANSI queries whose file part the program does not read, in the
// shape of the others.
DWORD WINAPI AnsiSearchPath(LPCSTR name, LPSTR path, DWORD size) {
    LPSTR filePart = nullptr;
    return SearchPathA(ansiSearchFolder, name, nullptr, size, path, &filePart);
}

DWORD WINAPI AnsiFullPathName(LPCSTR name, LPSTR path, DWORD size) {
    LPSTR filePart = nullptr;
    return GetFullPathNameA(name, size, path, &filePart);
}

// The first `count` units of a name upper-cased one by one as the file
// system does it: LCMapString's upper-casing is the file system's unless
// linguistic casing is asked for. 95/98, whose names are compared by their
// short forms too, and NT where that fails: ASCII alone.
void UpperCase(const WCHAR *name, DWORD count, WCHAR (&upper)[MaxPath]) {
    const auto map = KERNEL32_FUNCTION(LCMapStringW);
    if (Unicode() && map != nullptr &&
        map(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, name, static_cast<int>(count), upper, MaxPath) != 0) {
        return;
    }
    for (DWORD i = 0; i < count; ++i) {
        const WCHAR c = name[i];
        upper[i] = c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 'a' + 'A') : c;
    }
}

}  // namespace

bool NamesAreUnicode() { return Unicode(); }

const WCHAR *ProcessCommandLine() {
    if (Unicode()) {
        return GetCommandLineW();
    }
    // Converted by characters, so that the second byte of a double-byte
    // character is never taken for a backslash or a quote.
    if (MultiByteToWideChar(CP_ACP, 0, GetCommandLineA(), -1, commandLine, MaxPath) == 0) {
        commandLine[0] = 0;
    }
    return commandLine;
}

DWORD SearchPathName(const WCHAR *name, WCHAR *path, DWORD size) {
    // Searched in the current folder alone, the name is taken from there.
    const bool here = IsRelativeWithFolder(name);
    if (Unicode()) {
        const auto searchPath = KERNEL32_FUNCTION(SearchPathW);
        // A bare file name is searched for as it is, never made a full path.
        LPWSTR filePart = nullptr;
        const WCHAR *searched = HasFolder(name) ? LongForm(name, 0) : name;
        return searchPath != nullptr ? searchPath(here ? L"." : nullptr, searched, nullptr, size, path,
                                                  &filePart)
                                     : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    ansiSearchFolder = here ? "." : nullptr;
    return AnsiQuery(AnsiSearchPath, name, path, size);
}

DWORD FullPathName(const WCHAR *name, WCHAR *path, DWORD size) {
    if (Unicode()) {
        const auto fullPathName = KERNEL32_FUNCTION(GetFullPathNameW);
        LPWSTR filePart = nullptr;
        return fullPathName != nullptr ? fullPathName(name, size, path, &filePart)
                                       : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    return AnsiQuery(AnsiFullPathName, name, path, size);
}

DWORD ShortPathName(const WCHAR *path, WCHAR *shortPath, DWORD size) {
    if (Unicode()) {
        const auto shortPathName = KERNEL32_FUNCTION(GetShortPathNameW);
        return shortPathName != nullptr ? shortPathName(LongForm(path, 0), shortPath, size)
                                        : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    return AnsiQuery(GetShortPathNameA, path, shortPath, size);
}

DWORD DosDeviceTarget(const WCHAR *device, WCHAR *target, DWORD size) {
    if (Unicode()) {
        const auto queryDosDevice = KERNEL32_FUNCTION(QueryDosDeviceW);
        return queryDosDevice != nullptr ? queryDosDevice(device, target, size)
                                         : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    return AnsiQuery(KERNEL32_FUNCTION(QueryDosDeviceA), device, target, size);
}

UINT SystemDirectory(WCHAR *path, UINT size) {
    if (Unicode()) {
        const auto systemDirectory = KERNEL32_FUNCTION(GetSystemDirectoryW);
        return systemDirectory != nullptr ? systemDirectory(path, size)
                                          : FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    char ansiPath[MAX_PATH];
    return FromAnsi(GetSystemDirectoryA(ansiPath, MAX_PATH), ansiPath, path, size);
}

bool SameUnits(const WCHAR *first, const WCHAR *second, DWORD count) {
    const auto compare = KERNEL32_FUNCTION(CompareStringOrdinal);
    if (Unicode() && compare != nullptr) {
        const int length = static_cast<int>(count);
        return compare(first, length, second, length, TRUE) == CSTR_EQUAL;
    }
    static WCHAR upper[2][MaxPath];
    if (count >= MaxPath) {
        return false;  // longer than any path
    }
    UpperCase(first, count, upper[0]);
    UpperCase(second, count, upper[1]);
    for (DWORD i = 0; i < count; ++i) {
        if (upper[0][i] != upper[1][i]) {
            return false;
        }
    }
    return true;
}

// Upper-casing keeps each unit one unit, so names of different lengths
// differ, and are told apart without a call.
bool SameName(const WCHAR *first, const WCHAR *second) {
    const DWORD length = TextLength(first);
    return length == TextLength(second) && SameUnits(first, second, length);
}
