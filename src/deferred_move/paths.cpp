// Turning an argument into the full path of an existing file, a full path
// into its short (8.3) form, and telling a path that only 32-bit programs see.
#include "request.h"

namespace {

// Reads the result of a call that fills a path buffer: zero is failure, with
// the reason already set; the buffer's size or more is the size the path
// would need, so the buffer holds no path at all.
bool PathFits(DWORD length, WCHAR (&path)[MaxPath]) {
    if (length == 0) {
        return false;
    }
    if (length >= MaxPath) {
        path[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

bool IsDriveLetterPath(const WCHAR *path) {
    return ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':';
}

}  // namespace

bool ResolveOnSearchPath(const WCHAR *argument, WCHAR (&fullPath)[MaxPath]) {
    if (!PathFits(SearchPathName(argument, fullPath, MaxPath), fullPath)) {
        return false;
    }
    // SearchPath finds folders too; neither mechanism can move one onto a
    // file or replace one, and a folder moved onto a file destroys the file.
    const DWORD attributes = FileAttributes(fullPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        SetLastError(NotAFile);
        return false;
    }
    return true;
}

bool ShortenPath(const WCHAR *fullPath, WCHAR (&shortPath)[MaxPath]) {
    return PathFits(ShortPathName(fullPath, shortPath, MaxPath), shortPath);
}

const WCHAR *FileName(const WCHAR *path) {
    const WCHAR *name = path;
    for (const WCHAR *c = path; *c != 0; ++c) {
        if (*c == '\\') {
            name = c + 1;
        }
    }
    return name;
}

const WCHAR *LocalPath(const WCHAR *path) {
    const bool deviceForm = path[0] == '\\' && path[1] == '\\' && (path[2] == '?' || path[2] == '.') &&
                            path[3] == '\\';
    return deviceForm && IsDriveLetterPath(path + 4) ? path + 4 : path;
}

DWORD RootLength(const WCHAR *path) {
    DWORD length = path[0] != 0 && path[1] == ':' ? 2 : 0;
    if (length == 0 && StartsWith(path, "\\\\?\\Volume{") && TextLength(path) >= 48 && path[47] == '}') {
        length = 48;
    }
    return length != 0 && (path[length] == '\\' || path[length] == 0) ? length : 0;
}

bool GoesThroughSysnative(const WCHAR *argument) {
    static WCHAR fullPathText[MaxPath];
    static WCHAR systemFolder[MaxPath];
    const DWORD length = FullPathName(argument, fullPathText, MaxPath);
    const UINT systemLength = SystemDirectory(systemFolder, MaxPath);
    if (length == 0 || length >= MaxPath || systemLength == 0 || systemLength >= MaxPath) {
        return false;
    }
    // Sysnative stands beside the system folder, in the Windows folder. (The
    // Windows folder is not asked for: on a terminal server a program may be
    // given a private one of the user's.)
    WCHAR *fullPath = const_cast<WCHAR *>(LocalPath(fullPathText));
    const DWORD parent = static_cast<DWORD>(FileName(systemFolder) - systemFolder);
    if (parent == 0 || TextLength(fullPath) < parent) {
        return false;
    }
    // The full path's component after the Windows folder, and its start.
    WCHAR *folder = fullPath + parent;
    WCHAR *end = folder;
    while (*end != 0 && *end != '\\') {
        ++end;
    }
    *end = 0;
    if (!SameName(folder, L"Sysnative")) {
        return false;
    }
    *folder = 0;
    systemFolder[parent] = 0;
    return SameName(fullPath, systemFolder);
}
