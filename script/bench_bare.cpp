// The baseline for script/bench: a bare program that makes the same kernel
// calls as a successful run of Quarvel.exe on Windows NT (version query, two
// searches, one registration) and prints one line.
#include <windows.h>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc != 3) {
        return 1;
    }
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);

    char sourcePath[MAX_PATH];
    char destinationPath[MAX_PATH];
    LPSTR filePart = nullptr;
    if (SearchPathA(nullptr, argv[1], nullptr, MAX_PATH, sourcePath, &filePart) == 0 ||
        SearchPathA(nullptr, argv[2], nullptr, MAX_PATH, destinationPath, &filePart) == 0) {
        return 2;
    }
    MoveFileExA(sourcePath, destinationPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    puts("registered");
    return 0;
}
