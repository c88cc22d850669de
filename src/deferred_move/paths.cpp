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
    return PathFits(SearchPathA(nullptr, argument, nullptr, MAX_PATH, fullPath, &filePart), fullPath);
}

bool ShortenPath(const char *fullPath, char (&shortPath)[MAX_PATH]) {
    return PathFits(GetShortPathNameA(fullPath, shortPath, MAX_PATH), shortPath);
}
