// Turning an argument into the full path of an existing file, and a full path
// into its short (8.3) form.
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
