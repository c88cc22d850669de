// Who may change a file: what the owner and the DACL of a file or folder let
// the accounts the restart does not trust do, read as Windows reads them.
#include "request.h"

#include "../win32/volumes.h"

namespace {

// SIDs as their bytes: revision 1, the count of subauthorities, the
// authority (6 bytes, most significant first), each subauthority (4 bytes,
// least significant first). Let in: Administrators (S-1-5-32-544), SYSTEM
// (S-1-5-18) and TrustedInstaller (S-1-5-80-956008885-3418522649-1831038044-
// 1853292631-2271478464), who can change Destination anyway, and the user who
// runs Quarvel, who elevated can too. Every other account or group counts.
const BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const BYTE localSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const BYTE trustedInstaller[] = {1,    6,    0,    0,    0,    0,    0,    5,    80,   0,    0,    0,
                                 0xB5, 0x89, 0xFB, 0x38, 0x19, 0x84, 0xC2, 0xCB, 0x5C, 0x6C, 0x23, 0x6D,
                                 0x57, 0x00, 0x77, 0x6E, 0xC0, 0x02, 0x64, 0x87};
BYTE runningUser[68];  // the largest SID: 15 subauthorities
// Before Vista, Power Users (S-1-5-32-547) may change Program Files and the
// Windows folder by default, and can make themselves administrators: they
// are let in there too. From Vista on the group has no such rights.
const BYTE powerUsers[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x23, 2, 0, 0};
// Everyone (S-1-1-0) is in every account's token. CREATOR OWNER (S-1-3-0) is
// a template for what a folder will hold, and grants nothing on the file
// itself; OWNER RIGHTS (S-1-3-4) stands for the owner.
const BYTE everyone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const BYTE creatorOwner[] = {1, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0};
const BYTE ownerRights[] = {1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0};

// Room for the header, the owner and the largest DACL (its size is 16 bits),
// aligned as Windows needs a descriptor to be.
alignas(4) BYTE descriptor[65536 + 128];

DWORD Number(const BYTE *at, int bytes) {
    DWORD value = 0;
    while (bytes-- > 0) {
        value = value << 8 | at[bytes];
    }
    return value;
}

// The length of the SID at `sid`, or 0 where `room` holds none.
DWORD SidLength(const BYTE *sid, DWORD room) {
    const DWORD length = room >= 8 && sid[0] == 1 ? 8 + 4 * DWORD{sid[1]} : 0;
    return length <= room ? length : 0;
}

// Whether two whole SIDs are one; byte by byte, so that the first difference,
// in the count if there, ends it.
bool IsSid(const BYTE *sid, const BYTE *other) {
    for (DWORD i = 0; i < 8 + 4 * DWORD{other[1]}; ++i) {
        if (sid[i] != other[i]) {
            return false;
        }
    }
    return true;
}

bool Counts(const BYTE *sid) {
    return !IsSid(sid, administrators) && !IsSid(sid, localSystem) && !IsSid(sid, trustedInstaller) &&
           !IsSid(sid, runningUser) && !(IsSid(sid, powerUsers) && (GetVersion() & 0xFF) < 6);
}

// What an entry does, as far as it can be known without evaluating a
// condition or an object type: an allow entry grants, a conditional one
// (callback, as Dynamic Access Control writes) whenever its condition might
// hold, an object one (a directory object's; on a file, one without an
// object type acts as a plain one) in case it does. Only a plain deny entry
// is certain to take rights away; a conditional or object deny takes none.
// Audit, alarm and label entries grant and deny nothing.
bool Grants(const BYTE *entry) {
    return entry[0] == ACCESS_ALLOWED_ACE_TYPE || entry[0] == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
           entry[0] == ACCESS_ALLOWED_OBJECT_ACE_TYPE || entry[0] == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
}

// An allow or deny entry that applies to the file or folder itself: one
// that is only inherited by what a folder will hold does not.
bool Applies(const BYTE *entry) {
    return (Grants(entry) || entry[0] == ACCESS_DENIED_ACE_TYPE) && (entry[1] & INHERIT_ONLY_ACE) == 0;
}

// Where an entry's SID begins: after its mask, and in an object entry after
// its flags and the object types they say follow.
DWORD SidAt(const BYTE *entry, DWORD size) {
    if (entry[0] != ACCESS_ALLOWED_OBJECT_ACE_TYPE && entry[0] != ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE) {
        return 8;
    }
    const DWORD flags = size >= 12 ? Number(entry + 8, 4) : 0;
    return 12 + ((flags & ACE_OBJECT_TYPE_PRESENT) != 0 ? 16 : 0) +
           ((flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0 ? 16 : 0);
}

// Whom an entry's SID stands for: OWNER RIGHTS the owner (if any), CREATOR
// OWNER no one.
const BYTE *Principal(const BYTE *sid, const BYTE *owner) {
    return IsSid(sid, ownerRights) ? owner : IsSid(sid, creatorOwner) ? nullptr : sid;
}

// An entry's rights with the generic ones as a file's: all, or writing.
DWORD Specific(DWORD mask, DWORD rights) {
    return (mask & rights) | ((mask & GENERIC_ALL) != 0 ? rights : 0) |
           ((mask & GENERIC_WRITE) != 0 ? rights & (FILE_WRITE_DATA | FILE_APPEND_DATA) : 0);
}

}  // namespace

UsersMay RightsOfUsers(const WCHAR *path, DWORD rights) {
    const DWORD length = FileDacl(path, descriptor, sizeof descriptor);
    if (length == 0 && GetLastError() == ERROR_ACCESS_DENIED) {
        return UsersMay::Change;
    }
    // A self-relative descriptor: revision, a byte, the control bits, then
    // the offsets of owner, group, SACL and DACL.
    const DWORD control = length >= 20 ? Number(descriptor + 2, 2) : 0;
    if ((control & 0x8000) == 0) {  // SE_SELF_RELATIVE
        return UsersMay::Unknown;
    }
    const DWORD ownerAt = Number(descriptor + 4, 4), dacl = Number(descriptor + 16, 4);
    if (ownerAt != 0 && (ownerAt > length || SidLength(descriptor + ownerAt, length - ownerAt) == 0)) {
        return UsersMay::Unknown;
    }
    const BYTE *owner = ownerAt != 0 ? descriptor + ownerAt : nullptr;
    if ((control & 0x0004) == 0 || dacl == 0) {  // no SE_DACL_PRESENT, or a NULL DACL: anything
        return UsersMay::Change;
    }
    if (dacl > length - 8 || Number(descriptor + dacl + 2, 2) > length - dacl) {
        return UsersMay::Unknown;
    }
    // Each entry whole, with its SID; and whether an OWNER RIGHTS entry
    // names the owner's rights, which it then has in place of its own.
    const BYTE *end = descriptor + dacl + Number(descriptor + dacl + 2, 2);
    const BYTE *const first = descriptor + dacl + 8;
    const BYTE *entry = first;
    bool ownerRightsNamed = false;
    for (DWORD count = Number(descriptor + dacl + 4, 2); count > 0; --count) {
        const DWORD size = end - entry >= 4 ? Number(entry + 2, 2) : 0;
        if (size < 8 || size > static_cast<DWORD>(end - entry)) {
            return UsersMay::Unknown;
        }
        const DWORD sidAt = SidAt(entry, size);
        if (Applies(entry) && (sidAt >= size || SidLength(entry + sidAt, size - sidAt) == 0)) {
            return UsersMay::Unknown;
        }
        ownerRightsNamed = ownerRightsNamed || (Applies(entry) && IsSid(entry + sidAt, ownerRights));
        entry += size;
    }
    // The owner may always read and change the DACL, whatever it says.
    if (owner != nullptr && !ownerRightsNamed && Counts(owner) && (rights & WRITE_DAC) != 0) {
        return UsersMay::Change;
    }
    // In order, for each right, the first entry that names it for an account
    // decides: so an account may do what an allow entry for it grants, less
    // what deny entries before it, for it or for Everyone, take back.
    for (const BYTE *allow = first; allow != entry; allow += Number(allow + 2, 2)) {
        const BYTE *who = Applies(allow) && Grants(allow)
                              ? Principal(allow + SidAt(allow, Number(allow + 2, 2)), owner)
                              : nullptr;
        if (who == nullptr || !Counts(who)) {
            continue;
        }
        DWORD granted = Specific(Number(allow + 4, 4), rights);
        for (const BYTE *deny = first; deny != allow; deny += Number(deny + 2, 2)) {
            const BYTE *denied = Applies(deny) && deny[0] == ACCESS_DENIED_ACE_TYPE ? Principal(deny + 8, owner)
                                                                                     : nullptr;
            if (denied != nullptr && (IsSid(denied, who) || IsSid(denied, everyone))) {
                granted &= ~Specific(Number(deny + 4, 4), rights);
            }
        }
        if (granted != 0) {
            return UsersMay::Change;
        }
    }
    return UsersMay::NotChange;
}

namespace {

// A rename keeps the file's own permissions, so after the restart
// Destination has Source's. An account that may change a file, or its
// folder's permissions, or delete it from its folder, can put another in its
// place.
const DWORD FileChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE;
const DWORD OwnFolderChanges = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// One that may delete or rename a folder on the way (DELETE on it,
// FILE_DELETE_CHILD on the folder above), or change its DACL or owner, can
// move it away and build a path of the same name with its own file in it,
// or a junction that leads anywhere.
const DWORD FolderChanges = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;

UsersMay MayReplace(const WCHAR *path) {
    const UsersMay file = RightsOfUsers(path, FileChanges);
    // The folder, with its backslash: a root too is a folder then.
    if (file == UsersMay::Change || !CopyText(scratch, path)) {
        return file;
    }
    *const_cast<WCHAR *>(FileName(scratch)) = 0;
    const UsersMay folder = RightsOfUsers(scratch, OwnFolderChanges);
    return folder == UsersMay::NotChange ? file : folder;
}

// Whether others may replace a folder on a path: its own folder, for
// `ownRights`, and on a volume that keeps permissions each folder above up
// to the drive's or volume's root, which the restart walks (the path is the
// final one, with junctions and mount points on the way resolved). The first
// they may is named in `open`. A folder whose DACL cannot be read is not
// judged.
bool FolderOpen(const WCHAR *path, DWORD ownRights, bool wholePath, WCHAR (&open)[MaxPath]) {
    if (!CopyText(scratch, path)) {
        return false;
    }
    const WCHAR *local = LocalPath(scratch);
    const WCHAR *root = local + RootLength(local) + 1;  // X:\ or \\?\Volume{GUID}\, as IsOnOtherDrive found
    WCHAR *end = const_cast<WCHAR *>(FileName(scratch));
    for (DWORD rights = ownRights;; rights = FolderChanges) {
        *end = 0;
        if (RightsOfUsers(scratch, rights) == UsersMay::Change) {
            CopyText(open, LocalPath(scratch));
            return true;
        }
        if (!wholePath || end <= root) {
            return false;
        }
        // The folder above: up to the backslash before this one's last.
        for (--end; end > root && end[-1] != '\\'; --end) {
        }
    }
}

// Whether the volume that holds a file keeps permissions; before Windows
// 2000, its drive's.
bool KeepsPermissionsOf(const Request &request, int file) {
    const WCHAR *local = LocalPath(request.realPaths[file]);
    const WCHAR driveRoot[] = {local[0], ':', '\\', 0};
    return request.volumes[file][0] != 0 ? KeepsPermissions(request.volumes[file])
                                         : local[1] != ':' || KeepsPermissions(driveRoot);
}

}  // namespace

// Where others may replace Source, or a folder on its path, but not
// Destination, they could choose what lands there until the restart, and
// change it after. Where Destination is just as open, nothing new is let in,
// unless they may also replace a folder on Destination's path: then they
// could choose where the restart puts it. Where the token cannot be read,
// nothing is judged. A volume that keeps no permissions (FAT) lets everyone
// change every file on it, and holds no junction: there the file and its
// folder are judged alone.
bool IsOpenToUsers(Request &request, int) {
    request.reason = OpenToUsers;
    if (!NamesAreUnicode() || ProcessUser(runningUser, sizeof runningUser) == 0) {
        return false;
    }
    const WCHAR *source = request.realPaths[SourceFile];
    const WCHAR *destination = request.realPaths[DestinationFile];
    if (RightsOfUsers(source, FileChanges) != UsersMay::Change) {
        request.reason = FolderOpenToUsers;
        if (!FolderOpen(source, FolderChanges, KeepsPermissionsOf(request, SourceFile), request.detail)) {
            return false;
        }
    }
    // Before Windows 2000 there are no junctions: a folder replaced there
    // can only lead into a folder of the replacer's own.
    if ((GetVersion() & 0xFF) >= 5 && KeepsPermissionsOf(request, DestinationFile) &&
        FolderOpen(destination, FolderChanges & ~FILE_DELETE_CHILD, true, request.detail)) {
        request.reason = DestinationPathOpen;
        return true;
    }
    return MayReplace(destination) == UsersMay::NotChange;
}
