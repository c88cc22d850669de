// Prints the argument vector that msvcrt's start-up made, one entry a line
// with its length, for comparing with the program's own splitting.
#include <stdio.h>
#include <string.h>

int main(int argc, char *argv[]) {
    for (int i = 0; i < argc; ++i) {
        printf("%lu:[%s]\n", static_cast<unsigned long>(strlen(argv[i])), argv[i]);
    }
    return argc;
}
