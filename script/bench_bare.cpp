// The baselines for script/bench: bare programs that make the same kernel
// calls as a successful run of Quarvel.exe on Windows NT (version query, two
// searches, one registration) and print one line. BenchBare uses msvcrt for
// its start-up and output; BenchBareNoCrt (BENCH_NO_CRT) has none and
// searches the two names the bench always passes, a.txt and b.txt.
#include <windows.h>

#include <cstdio>

namespace {

int Register(const char *source, const char *destination) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);

    char sourcePath[MAX_PATH];
    char destinationPath[MAX_PATH];
    LPSTR filePart = nullptr;
    if (SearchPathA(nullptr, source, nullptr, MAX_PATH, sourcePath, &filePart) == 0 ||
        SearchPathA(nullptr, destination, nullptr, MAX_PATH, destinationPath, &filePart) == 0) {
        return 2;
    }
    MoveFileExA(sourcePath, destinationPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    return 0;
}

}  // namespace

#ifdef BENCH_NO_CRT
extern "C" __attribute__((force_align_arg_pointer)) void BenchStart() {
    const int status = Register("a.txt", "b.txt");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "registered\r\n", 12, &written, nullptr);
    ExitProcess(status);
}
#else
int main(int argc, char *argv[]) {
    if (argc != 3) {
        return 1;
    }
    const int status = Register(argv[1], argv[2]);
    puts("registered");
    return status;
}
#endif
