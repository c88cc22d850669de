// Runs two programs on each command line of a table, passed exactly as it
// stands (CreateProcessA, no shell), and prints what each wrote and its exit
// status. Usage: launch TABLE PROGRAM_A PROGRAM_B
// The table holds one command line a line; it is read as bytes.
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// Runs the program with the command line; returns its output and status.
void Run(const char *program, const char *commandLine, char *output, size_t size) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    char line[32768];
    lstrcpynA(line, commandLine, sizeof line);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        snprintf(output, size, "CreateProcessA failed: %lu\n", GetLastError());
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return;
    }
    CloseHandle(writeEnd);
    size_t length = 0;
    DWORD got = 0;
    while (length + 1 < size &&
           ReadFile(readEnd, output + length, static_cast<DWORD>(size - 1 - length), &got,
                    nullptr) &&
           got > 0) {
        length += got;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    snprintf(output + length, size - length, "status %lu\n", status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
}

}  // namespace

int main(int argc, char *argv[]) {
    if (argc != 4) {
        return 2;
    }
    FILE *table = fopen(argv[1], "rb");
    if (table == nullptr) {
        return 2;
    }
    static char commandLine[32768];
    static char first[65536];
    static char second[65536];
    int differences = 0;
    while (fgets(commandLine, sizeof commandLine, table) != nullptr) {
        commandLine[strcspn(commandLine, "\n")] = '\0';
        Run(argv[2], commandLine, first, sizeof first);
        Run(argv[3], commandLine, second, sizeof second);
        const bool same = strcmp(first, second) == 0;
        differences += same ? 0 : 1;
        printf("%s {%s}\n", same ? "same" : "DIFFERENT", commandLine);
        if (!same) {
            printf("  %s:\n%s  %s:\n%s", argv[2], first, argv[3], second);
        }
    }
    fclose(table);
    return differences == 0 ? 0 : 1;
}
