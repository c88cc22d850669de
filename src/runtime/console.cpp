// Standard output as a text stream, through WriteFile.
#include "runtime.h"

#include "../win32/win32.h"

namespace {

const size_t ConsoleBufferSize = 512;

// Writes the collected text out, each "\n" as CR LF. A failed write is not
// reported: there is nowhere left to report it.
void WriteToStandardOutput(TextBuffer &buffer) {
    char bytes[2 * ConsoleBufferSize];
    DWORD count = 0;
    for (size_t i = 0; i < buffer.length; ++i) {
        if (buffer.text[i] == '\n') {
            bytes[count++] = '\r';
        }
        bytes[count++] = buffer.text[i];
    }
    buffer.length = 0;
    if (count == 0) {
        return;
    }
    // Windows 95 needs the count of bytes written even when it is not read.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, count, &written, nullptr);
}

char consoleText[ConsoleBufferSize];
TextBuffer console;

// The buffer is described on each use rather than by a static initializer:
// that keeps the executable free of a data section of its own, and so 512
// bytes smaller.
TextBuffer &Console() {
    console.text = consoleText;
    console.capacity = ConsoleBufferSize;
    console.flush = WriteToStandardOutput;
    return console;
}

}  // namespace

void WriteText(const char *text) { AppendText(Console(), text); }

void WriteFormatted(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedV(Console(), format, arguments);
    va_end(arguments);
}

void FlushConsole() { WriteToStandardOutput(Console()); }
