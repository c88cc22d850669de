// Splitting the command line into the argument vector, by the rules of
// Microsoft's C runtime ("Parsing C command-line arguments"):
// - spaces and tabs separate arguments, except inside a quoted part;
// - double quotes start and end a quoted part and are removed;
// - the program's name, the first entry, follows the same rules, except
//   that every backslash in it is literal;
// - in the other arguments, 2n backslashes before a double quote give n
//   backslashes and the quote starts or ends a quoted part; 2n+1 give n
//   backslashes and a literal quote; other backslashes are literal;
// - inside a quoted part, two double quotes give one literal quote and the
//   quoted part goes on (as msvcrt.dll does under Wine, and as Microsoft's
//   own example shows).
// It reads characters, never bytes: on NT the command line is Unicode, and
// on 95/98 it is converted from the ANSI code page first, so that the second
// byte of a double-byte character is never taken for a backslash.
#include "runtime.h"

namespace {

struct Splitter {
    WCHAR *text;
    size_t textSize;
    size_t used;
    bool full;
};

void Put(Splitter &splitter, WCHAR c) {
    if (splitter.used == splitter.textSize) {
        splitter.full = true;
        return;
    }
    splitter.text[splitter.used++] = c;
}

void PutBackslashes(Splitter &splitter, size_t count) {
    while (count-- > 0) {
        Put(splitter, '\\');
    }
}

bool IsBlank(WCHAR c) { return c == ' ' || c == '\t'; }

// Copies one entry of the vector, starting at `p`; returns where it ends.
// In the program's name, backslashes are plain characters.
const WCHAR *CopyArgument(Splitter &splitter, const WCHAR *p, bool programName) {
    bool quoted = false;
    for (;;) {
        size_t backslashes = 0;
        while (!programName && *p == '\\') {
            ++backslashes;
            ++p;
        }
        if (*p != '"') {
            PutBackslashes(splitter, backslashes);
            if (*p == 0 || (!quoted && IsBlank(*p))) {
                return p;
            }
            Put(splitter, *p++);
            continue;
        }
        PutBackslashes(splitter, backslashes / 2);
        if (backslashes % 2 == 1) {
            Put(splitter, '"');
        } else if (quoted && p[1] == '"') {
            Put(splitter, '"');
            ++p;
        } else {
            quoted = !quoted;
        }
        ++p;
    }
}

}  // namespace

int SplitCommandLine(const WCHAR *commandLine, WCHAR *text, size_t textSize, WCHAR **argv,
                     int argvSize) {
    Splitter splitter = {text, textSize, 0, false};
    int argc = 0;
    const WCHAR *p = commandLine;

    // The program's name is the first entry even when it is empty.
    for (;;) {
        if (argc + 1 >= argvSize) {
            return 0;
        }
        argv[argc] = splitter.text + splitter.used;
        p = CopyArgument(splitter, p, argc == 0);
        Put(splitter, 0);
        ++argc;
        while (IsBlank(*p)) {
            ++p;
        }
        if (*p == 0 || splitter.full) {
            break;
        }
    }
    if (splitter.full) {
        return 0;
    }
    argv[argc] = nullptr;
    return argc;
}

int SplitProcessCommandLine(const WCHAR *commandLine, WCHAR **&argv) {
    static WCHAR text[MaxArgumentText];
    static WCHAR *vector[MaxArguments];
    argv = vector;
    return SplitCommandLine(commandLine, text, MaxArgumentText, vector, MaxArguments);
}
