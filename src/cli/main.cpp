// Entry point of Quarvel.exe. The MinGW build links no C runtime: the entry
// point takes the command line from Windows, splits it, runs the program and
// ends the process once all output is written. The MSVC build links its C
// runtime statically and starts from wmain, for current Windows only.
#include "driver.h"

#include "../runtime/runtime.h"
#include "../win32/names.h"

#if defined(_MSC_VER)

int wmain(int argc, wchar_t *argv[]) {
    const ExitStatus status = RunQuarvel(argc, argv);
    FlushConsole();
    return status;
}

#else

// Windows calls the entry point with a stack aligned to 4 bytes only.
extern "C" __attribute__((force_align_arg_pointer)) void QuarvelStart() {
    WCHAR **arguments = nullptr;
    const int argc = SplitProcessCommandLine(ProcessCommandLine(), arguments);
    const ExitStatus status = RunQuarvel(argc, arguments);
    FlushConsole();
    ExitProcess(status);
}

#endif
