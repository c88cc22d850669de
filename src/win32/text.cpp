// Text in the program's own buffers, and a character's exact form in a code
// page.
#include "names.h"

int CodePageCharacter(UINT codePage, const WCHAR *text, char (&bytes)[4], int &units) {
    units = text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF ? 2 : 1;
    // ASCII is itself in every ANSI code page.
    if (text[0] < 0x80) {
        bytes[0] = static_cast<char>(text[0]);
        return 1;
    }
    // Best fit may give a look-alike, and a character with no form at all
    // becomes the default one: either way, the bytes do not read back as
    // the character. (WC_NO_BEST_FIT_CHARS is Windows 2000's and later.)
    const int length = WideCharToMultiByte(codePage, 0, text, units, bytes, 4, nullptr, nullptr);
    WCHAR back[2] = {0, 0};
    if (length == 0 || MultiByteToWideChar(codePage, 0, bytes, length, back, 2) != units ||
        back[0] != text[0] || (units == 2 && back[1] != text[1])) {
        return 0;
    }
    return length;
}

bool CopyText(WCHAR (&to)[MaxPath], const WCHAR *from, DWORD offset) {
    for (; offset < MaxPath; ++offset, ++from) {
        to[offset] = *from;
        if (*from == 0) {
            return true;
        }
    }
    to[MaxPath - 1] = 0;
    return false;
}

DWORD TextLength(const WCHAR *text) {
    DWORD length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}
