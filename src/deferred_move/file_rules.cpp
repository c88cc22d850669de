// The rules on the two files themselves: their short forms, one file under
// two names, a read-only Destination, and the short names 95/98 leave.
#include "request.h"

// The short forms tell a long name from its own short form. Windows 95 and
// 98 need them for the entry, so there a failure ends the request; on NT
// they only serve the comparison of the two names.
bool CannotShorten(Request &request, int) {
    request.shortened = ShortenPath(request.paths[SourceFile], request.shortPaths[SourceFile]) &&
                        ShortenPath(request.paths[DestinationFile], request.shortPaths[DestinationFile]);
    if (request.shortened || request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    request.reason = GetLastError();
    return true;
}

int FileForms(int file, const WCHAR *(&forms)[3]) {
    forms[0] = LocalPath(request.paths[file]);
    forms[1] = LocalPath(request.realPaths[file]);
    forms[2] = LocalPath(request.shortPaths[file]);
    return request.shortened ? 3 : 2;
}

bool IsSameId(const FileId &first, const FileId &second) {
    // Where one was read only as the 64-bit index, that much is compared.
    const int volumeParts = first.whole && second.whole ? 2 : 1;
    const int indexParts = first.whole && second.whole ? 4 : 2;
    DWORD known = 0;
    for (int part = 0; part < 4; ++part) {
        known |= first.index[part] | (part < 2 ? first.volume[part] : 0);
        if ((part < volumeParts && first.volume[part] != second.volume[part]) ||
            (part < indexParts && first.index[part] != second.index[part])) {
            return false;
        }
    }
    return known != 0;
}

namespace {

// Whether a name is one of a file's.
bool IsNameOf(const WCHAR *name, int file) {
    const WCHAR *forms[3];
    const int count = FileForms(file, forms);
    name = LocalPath(name);
    for (int form = 0; form < count; ++form) {
        if (SameName(name, forms[form])) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsSameFile(Request &request, int) {
    // On NT by their identity where both are known, which also tells a hard
    // link, and two names that differ only in case in a folder that tells
    // them apart; else by any of their names.
    request.reason = SameFile;
    const FileId(&ids)[2] = request.ids;
    if (IsSameId(ids[SourceFile], ids[SourceFile]) && IsSameId(ids[DestinationFile], ids[DestinationFile])) {
        return IsSameId(ids[SourceFile], ids[DestinationFile]);
    }
    return IsNameOf(request.paths[SourceFile], DestinationFile) ||
           IsNameOf(request.realPaths[SourceFile], DestinationFile) ||
           (request.shortened && IsNameOf(request.shortPaths[SourceFile], DestinationFile)) ||
           IsSameId(request.ids[SourceFile], request.ids[DestinationFile]);
}

// NTFS refuses to replace a read-only file, and DOS to delete one.
bool IsReadOnly(Request &request, int file) {
    const DWORD attributes = FileAttributes(request.paths[file]);
    request.reason = ReadOnlyFile;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// On 95/98 the file would exist under its short name only after the
// restart, and programs that open the long name would no longer find it.
// The file's own long name counts, however the Destination was typed (its
// short name names the same file); FindFirstFile gives both.
bool KeepsOnlyShortName(Request &request, int file) {
    if (request.mechanism != DeferMechanism::StartupRenameList) {
        return false;
    }
    WIN32_FIND_DATAW data;
    const WCHAR *longName = FileName(request.paths[file]);
    const WCHAR *shortName = FileName(request.shortPaths[file]);
    if (FindFileData(request.paths[file], data)) {
        longName = data.cFileName;
        // No short name of its own: the long one is a valid short name.
        shortName = data.cAlternateFileName[0] != 0 ? data.cAlternateFileName : longName;
    }
    CopyText(request.detail, shortName);
    request.reason = ShortNameOnly;
    return !SameName(longName, shortName);
}
