// Formatting text into fixed buffers: the four conversions the program's
// messages use, and nothing else.
#include "runtime.h"

#include "../win32/names.h"

namespace {

// One unit: a byte, or on a console that shows Unicode a UTF-16 unit.
void AppendUnit(TextBuffer &buffer, WCHAR unit) {
    if (buffer.length == buffer.capacity) {
        if (buffer.flush == nullptr) {
            return;
        }
        buffer.flush(buffer);
    }
    if (buffer.output == Output::UnicodeConsole) {
        buffer.wide[buffer.length++] = unit;
    } else {
        buffer.text[buffer.length++] = static_cast<char>(unit);
    }
}

void AppendChar(TextBuffer &buffer, char c) { AppendUnit(buffer, static_cast<unsigned char>(c)); }

// Characters that would forge a line or reorder what the reader sees: the
// C0 and C1 controls (NEL starts a line, CSI an escape sequence; in code
// page 1252 some become the same bytes), the line and paragraph separators,
// and Unicode's bidirectional controls (ALM, LRM, RLM, the embeddings,
// overrides and isolates).
bool IsDisguising(WCHAR c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void AppendDecimal(TextBuffer &buffer, unsigned long value, bool negative) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (negative) {
        AppendChar(buffer, '-');
    }
    while (count > 0) {
        AppendChar(buffer, digits[--count]);
    }
}

// The length of the conversion at `format` (just past its '%'), or 0 if it
// is not one of "s", "ls", "ld", "lu".
size_t ConversionLength(const char *format) {
    if (format[0] == 's') {
        return 1;
    }
    if (format[0] == 'l' && (format[1] == 'd' || format[1] == 'u' || format[1] == 's')) {
        return 2;
    }
    return 0;
}

}  // namespace

void AppendText(TextBuffer &buffer, const char *text, UINT codePage) {
    bool ascii = true;
    for (const char *c = text; *c != '\0'; ++c) {
        ascii = ascii && static_cast<unsigned char>(*c) < 0x80;
    }
    // A file or pipe takes every text's bytes as they are, and a console on
    // 95/98 the OEM code page's.
    static WCHAR wide[MaxPath];
    if (ascii || buffer.output == Output::Bytes ||
        (buffer.output == Output::OemConsole && codePage == CP_OEMCP) ||
        MultiByteToWideChar(codePage, 0, text, -1, wide, MaxPath) == 0) {
        while (*text != '\0') {
            AppendChar(buffer, *text++);
        }
        return;
    }
    AppendWideText(buffer, wide, false);
}

void AppendWideText(TextBuffer &buffer, const WCHAR *text, bool name) {
    while (*text != 0) {
        if (name && IsDisguising(*text)) {
            AppendChar(buffer, '?');
            ++text;
            continue;
        }
        if (buffer.output == Output::UnicodeConsole) {
            AppendUnit(buffer, *text++);  // a surrogate pair goes out as its two units
            continue;
        }
        char bytes[4];
        int units = 1;
        const int count = CodePageCharacter(buffer.output == Output::OemConsole ? CP_OEMCP : CP_ACP,
                                            text, bytes, units);
        for (int i = 0; i < count; ++i) {
            AppendChar(buffer, bytes[i]);
        }
        if (count == 0) {
            AppendChar(buffer, '?');
        }
        text += units;
    }
}

bool AppendFormattedV(TextBuffer &buffer, const char *format, va_list arguments) {
    for (const char *c = format; *c != '\0'; ++c) {
        if (*c != '%') {
            AppendChar(buffer, *c);
            continue;
        }
        const size_t length = ConversionLength(c + 1);
        if (length == 0) {
            return false;
        }
        if (c[1] == 's') {
            const char *text = va_arg(arguments, const char *);
            AppendText(buffer, text != nullptr ? text : "");
        } else if (c[2] == 's') {
            const WCHAR *text = va_arg(arguments, const WCHAR *);
            AppendWideText(buffer, text != nullptr ? text : L"", true);
        } else if (c[2] == 'd') {
            const long value = va_arg(arguments, long);
            // The magnitude of the most negative value fits unsigned long.
            AppendDecimal(buffer, value < 0 ? 0UL - static_cast<unsigned long>(value)
                                            : static_cast<unsigned long>(value),
                          value < 0);
        } else {
            AppendDecimal(buffer, va_arg(arguments, unsigned long), false);
        }
        c += length;
    }
    return true;
}

void FormatText(char *buffer, size_t size, const char *format, ...) {
    if (size == 0) {
        return;
    }
    TextBuffer text = {buffer, size - 1, 0, nullptr, Output::Bytes, nullptr};
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedV(text, format, arguments);
    va_end(arguments);
    buffer[text.length] = '\0';
}
