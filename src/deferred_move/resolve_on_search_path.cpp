// Turning an argument into the full path of an existing file.
#include "deferred_move.h"

bool ResolveOnSearchPath(const char *argument, char (&fullPath)[MAX_PATH]) {
    LPSTR filePart = nullptr;
    const DWORD length = SearchPathA(nullptr, argument, nullptr, MAX_PATH, fullPath, &filePart);
    if (length == 0) {
        return false;
    }
    if (length >= MAX_PATH) {
        // The path does not fit: the buffer holds no path at all.
        fullPath[0] = '\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}
