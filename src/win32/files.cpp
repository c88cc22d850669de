// What a file is: its attributes, the record FindFirstFile gives of it, its
// drive's type and volume, and what a handle opened for a query alone tells:
// its identity, its final path and its security descriptor (owner and DACL).
#include "files.h"

DWORD FileAttributes(const WCHAR *path) {
    if (NamesAreUnicode()) {
        const auto fileAttributes = KERNEL32_FUNCTION(GetFileAttributesW);
        return fileAttributes != nullptr ? fileAttributes(LongForm(path, 0))
                                         : INVALID_FILE_ATTRIBUTES;
    }
    char ansiPath[MAX_PATH];
    return ToAnsi(path, ansiPath) ? GetFileAttributesA(ansiPath) : INVALID_FILE_ATTRIBUTES;
}

UINT DriveType(const WCHAR *root) {
    if (NamesAreUnicode()) {
        const auto driveType = KERNEL32_FUNCTION(GetDriveTypeW);
        return driveType != nullptr ? driveType(root) : DRIVE_UNKNOWN;
    }
    char ansiRoot[MAX_PATH];
    return ToAnsi(root, ansiRoot) ? GetDriveTypeA(ansiRoot) : DRIVE_UNKNOWN;
}

// From Windows 2000 on: no 95/98 has it.
BOOL VolumePathName(const WCHAR *path, WCHAR *volume, DWORD size) {
    const auto volumePathName = KERNEL32_FUNCTION(GetVolumePathNameW);
    return NamesAreUnicode() && volumePathName != nullptr && volumePathName(LongForm(path, 0), volume, size);
}

namespace {

// A file or folder opened for a query alone: with no access at all, or to
// read its security descriptor; nothing is read, and a file in use opens
// too. Should the name lead to a pipe or another device all the same, its
// server may only identify Quarvel's account, never act as it, and the
// handle is closed unused: only a file or folder on a disk is looked at.
// Fails where there are no wide functions (95/98).
HANDLE OpenForQuery(const WCHAR *path, DWORD access = 0) {
    const auto createFile = KERNEL32_FUNCTION(CreateFileW);
    const auto fileType = KERNEL32_FUNCTION(GetFileType);
    if (!NamesAreUnicode() || createFile == nullptr || fileType == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE file =
        createFile(LongForm(path, 0), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                   nullptr);
    if (file != INVALID_HANDLE_VALUE && fileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        SetLastError(ERROR_BAD_FILE_TYPE);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Four bytes, least significant first, as an ID holds them.
DWORD Dword(const BYTE *at) {
    return at[0] | DWORD{at[1]} << 8 | DWORD{at[2]} << 16 | DWORD{at[3]} << 24;
}

// From Windows 8 on, the 128-bit file ID with the 64-bit volume serial
// number: on ReFS the 64-bit index need not be unique. Elsewhere, or where
// the file system gives no such ID, the index.
bool OpenedFileId(HANDLE file, FileId &id) {
    const auto informationEx = Kernel32Function<FileInformationByHandleExProc>("GetFileInformationByHandleEx");
    // Windows refuses a buffer that is not aligned as the structure, whose
    // serial number is 64 bits wide.
    FILE_ID_INFO idInfo;
    if (informationEx != nullptr && informationEx(file, FileIdInfoClass, &idInfo, sizeof idInfo)) {
        const BYTE *index = idInfo.FileId.Identifier;
        const ULONGLONG serial = idInfo.VolumeSerialNumber;
        id = FileId{{static_cast<DWORD>(serial), static_cast<DWORD>(serial >> 32)},
                    {Dword(index), Dword(index + 4), Dword(index + 8), Dword(index + 12)}, true};
        return true;
    }
    const auto information = KERNEL32_FUNCTION(GetFileInformationByHandle);
    BY_HANDLE_FILE_INFORMATION info;
    if (information == nullptr || !information(file, &info)) {
        return false;
    }
    id = FileId{{info.dwVolumeSerialNumber, 0}, {info.nFileIndexLow, info.nFileIndexHigh, 0, 0}, false};
    return true;
}

}  // namespace

bool FileIdentity(const WCHAR *path, FileId &id) {
    const HANDLE file = OpenForQuery(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = OpenedFileId(file, id);
    CloseHandle(file);
    return known;
}

// FileCaseSensitiveInfo (Windows 10 1803 on): FILE_CS_FLAG_CASE_SENSITIVE_DIR.
bool IsCaseSensitiveFolder(const WCHAR *path) {
    const auto informationEx = Kernel32Function<FileInformationByHandleExProc>("GetFileInformationByHandleEx");
    const HANDLE folder =
        informationEx != nullptr ? OpenForQuery(path, FILE_READ_ATTRIBUTES) : INVALID_HANDLE_VALUE;
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD flags = 0;
    const bool known = informationEx(folder, FileCaseSensitiveInfoClass, &flags, sizeof flags) != FALSE;
    CloseHandle(folder);
    return known && (flags & 1) != 0;
}

// Through NTDLL, which every NT process has, so that no ADVAPI32 is loaded;
// a handle for reading the descriptor alone opens a file in use too.
DWORD FileDacl(const WCHAR *path, BYTE *descriptor, DWORD size) {
    const auto query =
        ModuleFunction<NtQuerySecurityObjectProc>(GetModuleHandleA("ntdll.dll"), "NtQuerySecurityObject");
    if (query == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    const HANDLE file = OpenForQuery(path, READ_CONTROL);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;  // GetLastError tells why
    }
    ULONG length = 0;
    const LONG status =
        query(file, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor, size, &length);
    CloseHandle(file);
    const LONG accessDenied = static_cast<LONG>(0xC0000022);
    SetLastError(status >= 0 ? ERROR_SUCCESS : status == accessDenied ? ERROR_ACCESS_DENIED : ERROR_INVALID_DATA);
    return status >= 0 ? length : 0;
}

bool FindFileData(const WCHAR *path, WIN32_FIND_DATAW &data) {
    HANDLE found = INVALID_HANDLE_VALUE;
    if (NamesAreUnicode()) {
        const auto findFirstFile = KERNEL32_FUNCTION(FindFirstFileW);
        if (findFirstFile != nullptr) {
            found = findFirstFile(LongForm(path, 0), &data);
        }
    } else {
        WIN32_FIND_DATAA ansiData;
        char ansiPath[MAX_PATH];
        if (ToAnsi(path, ansiPath) &&
            (found = FindFirstFileA(ansiPath, &ansiData)) != INVALID_HANDLE_VALUE) {
            // The names alone: 95/98 have no reparse points.
            data.dwReserved0 = 0;
            MultiByteToWideChar(CP_ACP, 0, ansiData.cFileName, -1, data.cFileName, MAX_PATH);
            MultiByteToWideChar(CP_ACP, 0, ansiData.cAlternateFileName, -1, data.cAlternateFileName,
                                14);
        }
    }
    if (found == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(found);
    return true;
}

DWORD OpenedFileFacts(const WCHAR *path, WCHAR (&finalPath)[MaxPath], FileId &id) {
    finalPath[0] = 0;
    id = FileId{};
    const HANDLE file = OpenForQuery(path);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    const auto finalPathName = KERNEL32_FUNCTION(GetFinalPathNameByHandleW);
    OpenedFileId(file, id);
    // By drive letter (VOLUME_NAME_DOS), which fails with
    // ERROR_PATH_NOT_FOUND for a volume that has none.
    DWORD error = ERROR_CALL_NOT_IMPLEMENTED;
    if (finalPathName != nullptr) {
        const DWORD length = finalPathName(file, finalPath, MaxPath, 0);
        error = length == 0 ? GetLastError() : length < MaxPath ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    if (error != ERROR_SUCCESS) {
        finalPath[0] = 0;
    }
    CloseHandle(file);
    return error;
}
