// The few services a C runtime would give the program, written on KERNEL32
// alone, so that Quarvel.exe loads on every Win32 system: console output,
// text formatting and the splitting of the command line.
#ifndef QUARVEL_RUNTIME_H
#define QUARVEL_RUNTIME_H

#include <stdarg.h>
#include <stddef.h>

#include "../win32/win32.h"

#if defined(__GNUC__)
#define QUARVEL_PRINTF(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define QUARVEL_PRINTF(formatIndex, firstArgument)
#endif

// What a buffer holds. Bytes: the ANSI code page's for names and the
// program's own text, the OEM code page's for the system's text, as a file
// or pipe has always received them. A console shows the OEM code page: on
// 95/98 everything is converted to it; on NT the text is UTF-16, for
// WriteConsoleW, which shows every character the console's font has.
enum class Output { Bytes, OemConsole, UnicodeConsole };

// Text collected in a fixed buffer, in `text`, or in `wide` on a console
// that shows Unicode. When it is full, `flush` (if any) empties it; without
// one, text beyond the capacity is dropped.
struct TextBuffer {
    char *text;
    size_t capacity;
    size_t length;
    void (*flush)(TextBuffer &buffer);
    Output output;
    WCHAR *wide;
};

// Appends text of the ANSI code page, or of another (CP_OEMCP): on a
// console converted as it shows them, elsewhere as it is.
void AppendText(TextBuffer &buffer, const char *text, UINT codePage = CP_ACP);
// Appends a wide text. A name is shown safely: each control character and
// bidirectional formatting character becomes "?", so that a name can neither
// forge a line nor reorder what the reader sees; so does each character the
// output's code page lacks (never a best-fit look-alike).
void AppendWideText(TextBuffer &buffer, const WCHAR *text, bool name);

// Appends the format with its arguments. Only "%s" (ANSI text), "%ls" (a
// name), "%ld" and "%lu" are understood; at any other conversion the output
// stops there and the result is false, so that an unknown conversion never
// reads an argument.
bool AppendFormattedV(TextBuffer &buffer, const char *format, va_list arguments);


// Formats into a buffer of `size` bytes, always terminated, cut if too long.
void FormatText(char *buffer, size_t size, const char *format, ...) QUARVEL_PRINTF(3, 4);

// Standard output, a text stream: each "\n" goes out as CR LF and every other
// character unchanged, whether it is a console, a file or a pipe. Output is
// buffered until FlushConsole, or until the buffer fills. A console is one
// for which GetConsoleMode succeeds (NUL and pipes are character devices
// too); the first write finds out.
void WriteText(const char *text);
void WriteFormatted(const char *format, ...) QUARVEL_PRINTF(1, 2);
// The system's text for an error: in the OEM code page, or UTF-16, which
// only a console that shows Unicode takes.
void WriteSystemText(const char *oemText);
void WriteSystemText(const WCHAR *text);
bool ConsoleShowsUnicode();
void FlushConsole();

// The longest command line Windows passes to a program, in characters.
const size_t MaxCommandLine = 32767;
// Room for the split vector of any command line of that length: every
// argument but the program's name takes at least two characters (itself, or
// a pair of quotes, and a blank), and each is stored with its terminator.
const int MaxArguments = MaxCommandLine / 2 + 2;
const size_t MaxArgumentText = MaxCommandLine + MaxArguments;

// Splits a command line into an argument vector by the rules of Microsoft's
// C runtime, the program's name first. The texts go into `text`, the vector
// into `argv`, ended by a null entry. Returns the number of entries, or 0 if
// they do not fit the storage given.
int SplitCommandLine(const WCHAR *commandLine, WCHAR *text, size_t textSize, WCHAR **argv,
                     int argvSize);

// Splits the process's command line into static storage of the sizes above
// (the start-up has no heap, and they are too large for the stack) and
// points `argv` at the vector. A command line that does not fit gives no
// entries at all, and so the usage message, never a cut argument.
int SplitProcessCommandLine(const WCHAR *commandLine, WCHAR **&argv);

#endif
