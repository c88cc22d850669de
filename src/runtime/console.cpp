// Standard output as a text stream: through WriteFile to a file or pipe, and
// to a console as it shows text.
#include "runtime.h"

#include "../win32/names.h"

namespace {

const size_t ConsoleBufferSize = 512;

// Writes the collected text out, each "\n" as CR LF. A failed write is not
// reported: there is nowhere left to report it.
void WriteToStandardOutput(TextBuffer &buffer) {
    WCHAR units[2 * ConsoleBufferSize];
    const bool wide = buffer.output == Output::UnicodeConsole;
    DWORD count = 0;
    for (size_t i = 0; i < buffer.length; ++i) {
        const WCHAR unit = wide ? buffer.wide[i] : static_cast<unsigned char>(buffer.text[i]);
        if (unit == '\n') {
            units[count++] = '\r';
        }
        units[count++] = unit;
    }
    buffer.length = 0;
    if (count == 0) {
        return;
    }
    // Windows 95 needs the count of what was written even when it is not read.
    DWORD written = 0;
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (wide) {
        Kernel32Function<decltype(&WriteConsoleW)>("WriteConsoleW")(output, units, count, &written,
                                                                     nullptr);
        return;
    }
    // Bytes, narrowed in place: each goes no further than its unit began.
    char *bytes = reinterpret_cast<char *>(units);
    for (DWORD i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(units[i]);
    }
    WriteFile(output, bytes, count, &written, nullptr);
}

char consoleText[ConsoleBufferSize];
WCHAR consoleUnits[ConsoleBufferSize];
TextBuffer console;
bool described;

// The buffer is described on first use rather than by a static initializer:
// that keeps the executable free of a data section of its own. A console
// shows Unicode where names are Unicode (NT) and WriteConsoleW exists.
TextBuffer &Console() {
    if (!described) {
        DWORD mode = 0;
        const auto consoleMode = Kernel32Function<decltype(&GetConsoleMode)>("GetConsoleMode");
        console.output = Output::Bytes;
        if (consoleMode != nullptr && consoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
            const bool unicode =
                NamesAreUnicode() && Kernel32Function<decltype(&WriteConsoleW)>("WriteConsoleW") != nullptr;
            console.output = unicode ? Output::UnicodeConsole : Output::OemConsole;
        }
        console.text = consoleText;
        console.wide = consoleUnits;
        console.capacity = ConsoleBufferSize;
        console.flush = WriteToStandardOutput;
        described = true;
    }
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

void WriteSystemText(const char *oemText) { AppendText(Console(), oemText, CP_OEMCP); }

void WriteSystemText(const WCHAR *text) { AppendWideText(Console(), text, false); }

bool ConsoleShowsUnicode() { return Console().output == Output::UnicodeConsole; }

// Written out, and looked at anew by the next write.
void FlushConsole() {
    WriteToStandardOutput(Console());
    described = false;
}
