// Turning an argument into the full path of an existing file, a full path
// into its short (8.3) form, and telling a path that only 32-bit programs see.
#include "deferred_move.h"

namespace {

// Reads the result of a call that fills a MAX_PATH buffer: zero is failure,
// with the reason already set; MAX_PATH or more is the size the path would
// need, so the buffer holds no path at all.
bool PathFits(DWORD length, char (&path)[MAX_PATH]) {
    if (length == 0) {
        return false;
    }
    if (length >= MAX_PATH) {
        path[0] = '\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

}  // namespace

bool ResolveOnSearchPath(const char *argument, char (&fullPath)[MAX_PATH]) {
    LPSTR filePart = nullptr;
    if (!PathFits(SearchPathA(nullptr, argument, nullptr, MAX_PATH, fullPath, &filePart), fullPath)) {
        return false;
    }
    // SearchPathA finds folders too; neither mechanism can move one onto a
    // file or replace one, and a folder moved onto a file destroys the file.
    const DWORD attributes = GetFileAttributesA(fullPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        SetLastError(NotAFile);
        return false;
    }
    return true;
}

bool ShortenPath(const char *fullPath, char (&shortPath)[MAX_PATH]) {
    return PathFits(GetShortPathNameA(fullPath, shortPath, MAX_PATH), shortPath);
}

const char *FileName(const char *path) {
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c) {
        if (*c == '\\') {
            name = c + 1;
        }
    }
    return name;
}

bool GoesThroughSysnative(const char *argument) {
    char fullPath[MAX_PATH];
    char systemFolder[MAX_PATH];
    LPSTR filePart = nullptr;
    const DWORD length = GetFullPathNameA(argument, MAX_PATH, fullPath, &filePart);
    const UINT systemLength = GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || systemLength == 0 || systemLength >= MAX_PATH) {
        return false;
    }
    // Sysnative stands beside the system folder, in the Windows folder. (The
    // Windows folder is not asked for: on a terminal server a program may be
    // given a private one of the user's.)
    const DWORD parent = static_cast<DWORD>(FileName(systemFolder) - systemFolder);
    if (parent == 0 || length < parent) {
        return false;
    }
    // The full path's component after the Windows folder, and its start.
    char *folder = fullPath + parent;
    char *end = folder;
    while (*end != '\0' && *end != '\\') {
        ++end;
    }
    *end = '\0';
    if (lstrcmpiA(folder, "Sysnative") != 0) {
        return false;
    }
    *folder = '\0';
    systemFolder[parent] = '\0';
    return lstrcmpiA(fullPath, systemFolder) == 0;
}
