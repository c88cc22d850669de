// What the next start will already carry out, as Windows holds it.
#include "request.h"

#include "../win32/pending_lists.h"

bool StartsWith(const WCHAR *name, const char *prefix) {
    for (; *prefix != 0; ++name, ++prefix) {
        if ((*name | 0x20) != (*prefix | 0x20)) {  // ASCII, in either case
            return false;
        }
    }
    return true;
}

namespace {

// Takes Windows' marks off a name of a pending move: "!" or "@" (replace the
// file there; "@" also before a delete's source) and "*" with a digit
// (Windows 10 and 11 since 2025), in any order. Then the object namespace's
// names for the DOS devices (\??\, \DosDevices\, \GLOBAL??\) become \\?\,
// the form in which the file functions take the same names: \??\C:\...,
// \??\Volume{...}\... and \??\GLOBALROOT\Device\... alike. A trailing
// ::$DATA, the file's own data stream, names the file itself, and comes off.
// A name that then does not begin at a root of the object namespace
// (C:\..., \\?\..., \\server\...) is none the restart can open: it is
// told by `foreign`. In place.
WCHAR *Unmarked(WCHAR *name, bool &replaces, bool &foreign) {
    const DWORD length = TextLength(name);
    if (length >= 7 && StartsWith(name + length - 7, "::$DATA")) {
        name[length - 7] = 0;
    }
    for (;;) {
        if (name[0] == '!' || name[0] == '@') {
            replaces = true;
            ++name;
        } else if (name[0] == '*' && name[1] >= '0' && name[1] <= '9') {
            name += 2;
        } else {
            break;
        }
    }
    foreign = name[0] != '\\' || name[1] == '\\';
    static const char *const prefixes[] = {"\\??\\", "\\DosDevices\\", "\\GLOBAL??\\"};
    for (const char *prefix : prefixes) {
        if (StartsWith(name, prefix)) {
            while (*++prefix != 0) {
                ++name;
            }
            name -= 3;
            name[0] = name[1] = name[3] = '\\';
            name[2] = '?';
            break;
        }
    }
    return name;
}

// Whether a value holds what MoveFileEx can append to without harm: pairs of
// a source that is not empty and a destination (empty for a delete), then
// the empty string that ends the list, at the very end; or that empty string
// alone. MoveFileEx appends its pair to the value as it finds it: after an
// odd byte, a cut or a lone source, the new pair lands misaligned or joined
// to another name, and the restart drops it or turns another entry into a
// delete; the restart stops at an empty source.
bool IsWholeList(const RegistryValue &value) {
    const WCHAR *text = value.data;
    const DWORD units = value.size / sizeof(WCHAR);
    if (value.type != REG_MULTI_SZ || value.size % sizeof(WCHAR) != 0 || units == 0 || text[units - 1] != 0) {
        return false;
    }
    DWORD at = 0;
    for (int part = 0; at < units - 1; part ^= 1) {
        if (part == 0 && text[at] == 0) {
            return false;  // an empty source before the end
        }
        while (text[at] != 0) {
            ++at;
        }
        ++at;
        if (part == 0 && at >= units - 1) {
            return false;  // a source without its destination
        }
    }
    return at == units - 1;
}

// PendingFileRenameOperations and ...2, which the Session Manager runs as one
// list, in this order: pairs of names, an empty destination for a delete.
DWORD VisitRegistryList(bool (*visit)(const PendingMove &move), DWORD (&counts)[2]) {
    const WCHAR *const names[] = {L"PendingFileRenameOperations", L"PendingFileRenameOperations2"};
    RegistryValue values[2];
    // The registry needs no file system redirection, and ADVAPI32 may be
    // loaded on the way, which needs it on; the names are then looked at as
    // the restart sees them.
    TurnRedirectionOn();
    DWORD error = ReadPendingValues(names, values);
    TurnRedirectionOff();
    for (int list = 0; list < 2; ++list) {
        if (error == ERROR_SUCCESS && values[list].data != nullptr && !IsWholeList(values[list])) {
            error = PendingListDamaged;
        }
    }
    bool found = false;
    for (int list = 0; list < 2; ++list) {
        WCHAR *name = values[list].data;
        for (; error == ERROR_SUCCESS && name != nullptr && *name != 0 && !found; ++counts[list]) {
            PendingMove move = {nullptr, nullptr, false, list, {false, false}};
            bool replaces = false;
            WCHAR *destination = name + TextLength(name) + 1;
            WCHAR *next = destination + TextLength(destination) + 1;
            move.source = Unmarked(name, replaces, move.foreign[0]);
            move.destination = Unmarked(destination, move.replaces, move.foreign[1]);
            move.foreign[1] = move.foreign[1] && *move.destination != 0;  // a delete
            name = next;
            found = visit(move);
        }
        if (values[list].data != nullptr) {
            LocalFree(values[list].data);
        }
    }
    return error;
}

// A [rename] name made whole as DOS reads it: / is \, a doubled \ is one,
// and . and .. folders are resolved, never above the root. In place: the
// name only gets shorter.
void MakeWhole(WCHAR *name) {
    for (WCHAR *c = name; *c != 0; ++c) {
        *c = *c == '/' ? WCHAR{'\\'} : *c;
    }
    WCHAR *root = name + (name[0] != 0 && name[1] == ':' ? 2 : 0);
    root += root[0] == '\\' ? (root == name && root[1] == '\\' ? 2 : 1) : 0;
    WCHAR *out = root;
    for (const WCHAR *in = root; *in != 0;) {
        const WCHAR *end = in;
        while (*end != 0 && *end != '\\') {
            ++end;
        }
        const long length = end - in;
        if (length == 2 && in[0] == '.' && in[1] == '.') {
            while (out > root && out[-1] != '\\') {
                --out;
            }
            out -= out > root ? 1 : 0;
        } else if (length > 0 && !(length == 1 && in[0] == '.')) {
            if (out > root) {
                *out++ = '\\';
            }
            for (long i = 0; i < length; ++i) {
                *out++ = in[i];
            }
        }
        in = *end != 0 ? end + 1 : end;
    }
    *out = 0;
}

// The [rename] section: "destination=source" lines, "NUL=source" a delete.
DWORD VisitRenameSection(bool (*visit)(const PendingMove &move), DWORD (&counts)[2]) {
    static WCHAR lines[MaxPath];
    const DWORD error = ReadRenameSection(lines);
    for (WCHAR *line = lines; error == ERROR_SUCCESS && *line != 0;) {
        WCHAR *next = line + TextLength(line) + 1;
        WCHAR *equals = line;
        while (*equals != 0 && *equals != '=') {
            ++equals;
        }
        if (*equals == '=') {
            *equals = 0;
            MakeWhole(line);
            MakeWhole(equals + 1);
            const PendingMove move = {equals + 1, SameName(line, L"NUL") ? L"" : line, true, 0, {false, false}};
            ++counts[0];
            if (visit(move)) {
                break;
            }
        }
        line = next;
    }
    return error;
}

}  // namespace

DWORD ForEachPendingMove(DeferMechanism mechanism, bool (*visit)(const PendingMove &move),
                         DWORD (&counts)[2]) {
    counts[0] = counts[1] = 0;
    const DWORD error = mechanism == DeferMechanism::StartupRenameList ? VisitRenameSection(visit, counts)
                                                                       : VisitRegistryList(visit, counts);
    // A list that cannot be read whole is no safer than a damaged one.
    return error == ERROR_MORE_DATA || error == ERROR_NO_UNICODE_TRANSLATION ? PendingListDamaged : error;
}
