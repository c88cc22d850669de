// Who may change a file: what the DACL of a file or folder lets the users
// who are not administrators do, read as Windows reads it.
#include "request.h"

namespace {

// The groups that hold every standard account, as the bytes of their SIDs:
// Everyone (S-1-1-0), Authenticated Users (S-1-5-11), INTERACTIVE (S-1-5-4)
// and Users (S-1-5-32-545). CREATOR OWNER (S-1-3-0) stands for the owner
// alone, and is not among them.
const BYTE everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const BYTE authenticatedUsers[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
const BYTE interactive[] = {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0};
const BYTE users[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};

// Room for the largest DACL (its size is 16 bits) and the descriptor's
// header.
BYTE descriptor[65536 + 64];

DWORD Number(const BYTE *at, int bytes) {
    DWORD value = 0;
    while (bytes-- > 0) {
        value = value << 8 | at[bytes];
    }
    return value;
}

bool IsSid(const BYTE *sid, DWORD room, const BYTE *group, DWORD length) {
    if (room < length) {
        return false;
    }
    for (DWORD i = 0; i < length; ++i) {
        if (sid[i] != group[i]) {
            return false;
        }
    }
    return true;
}

bool IsStandardUsersSid(const BYTE *sid, DWORD room) {
    return IsSid(sid, room, everyone, sizeof everyone) ||
           IsSid(sid, room, authenticatedUsers, sizeof authenticatedUsers) ||
           IsSid(sid, room, interactive, sizeof interactive) || IsSid(sid, room, users, sizeof users);
}

// An entry's rights with the generic ones as a file's: all, or writing.
DWORD Specific(DWORD mask, DWORD rights) {
    return (mask & rights) | ((mask & GENERIC_ALL) != 0 ? rights : 0) |
           ((mask & GENERIC_WRITE) != 0 ? rights & (FILE_WRITE_DATA | FILE_APPEND_DATA) : 0);
}

}  // namespace

UsersMay RightsOfUsers(const WCHAR *path, DWORD rights) {
    const DWORD length = FileDacl(path, descriptor, sizeof descriptor);
    // A self-relative descriptor: revision, a byte, the control bits, then
    // the offsets of owner, group, SACL and DACL.
    const DWORD control = length >= 20 ? Number(descriptor + 2, 2) : 0;
    if ((control & 0x8000) == 0) {  // SE_SELF_RELATIVE
        return UsersMay::Unknown;
    }
    const DWORD dacl = Number(descriptor + 16, 4);
    if ((control & 0x0004) == 0 || dacl == 0) {  // no SE_DACL_PRESENT, or a NULL DACL: anything
        return UsersMay::Change;
    }
    if (dacl > length - 8 || Number(descriptor + dacl + 2, 2) > length - dacl) {
        return UsersMay::Unknown;
    }
    // In order: for each right, the first entry for one of the groups that
    // names it decides. An entry that is only inherited by what the folder
    // will hold does not apply to the folder itself.
    const BYTE *end = descriptor + dacl + Number(descriptor + dacl + 2, 2);
    const BYTE *entry = descriptor + dacl + 8;
    DWORD decided = 0, granted = 0;
    for (DWORD count = Number(descriptor + dacl + 4, 2); count > 0; --count) {
        const DWORD size = end - entry >= 4 ? Number(entry + 2, 2) : 0;
        if (size < 8 || size > static_cast<DWORD>(end - entry)) {
            return UsersMay::Unknown;
        }
        const BYTE type = entry[0];
        const bool inheritOnly = (entry[1] & INHERIT_ONLY_ACE) != 0;
        if ((type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE) && !inheritOnly &&
            IsStandardUsersSid(entry + 8, size - 8)) {
            const DWORD named = Specific(Number(entry + 4, 4), rights) & ~decided;
            granted |= type == ACCESS_ALLOWED_ACE_TYPE ? named : 0;
            decided |= named;
        }
        entry += size;
    }
    return granted != 0 ? UsersMay::Change : UsersMay::NotChange;
}

// A rename keeps the file's own permissions, so after the restart
// Destination has Source's. Where users who are not administrators can
// change Source (or delete it from its folder and put another in its
// place) but not Destination, they could choose what lands there until the
// restart, and change it after. Where Destination is just as open, nothing
// new is let in; where a DACL cannot be read, nothing is judged.
const DWORD FileChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE;

bool IsOpenToUsers(Request &request, int) {
    request.reason = OpenToUsers;
    if (!NamesAreUnicode() || RightsOfUsers(request.realPaths[DestinationFile], FileChanges) != UsersMay::NotChange) {
        return false;
    }
    // The folder, with its backslash: a root too is a folder then.
    if (!CopyText(scratch, request.realPaths[SourceFile])) {
        return false;
    }
    *const_cast<WCHAR *>(FileName(scratch)) = 0;
    return RightsOfUsers(request.realPaths[SourceFile], FileChanges) == UsersMay::Change ||
           RightsOfUsers(scratch, FILE_DELETE_CHILD) == UsersMay::Change;
}
