// What a file is, as Windows tells it: its attributes, its drive's type and
// volume, FindFirstFile's record, and what a handle opened for a query alone
// gives (identity, final path, security descriptor).
#ifndef QUARVEL_FILES_H
#define QUARVEL_FILES_H

#include "names.h"

// Each as the Windows function of the same name; on 95/98 through the A
// function, by the name's exact ANSI form.
DWORD FileAttributes(const WCHAR *path);
UINT DriveType(const WCHAR *root);
// From Windows 2000 on; elsewhere it fails.
BOOL VolumePathName(const WCHAR *path, WCHAR *volume, DWORD size);
// FindFirstFile's record of one file: its long and short names and, for a
// reparse point, its tag. False if there is none.
bool FindFileData(const WCHAR *path, WIN32_FIND_DATAW &data);
// Each handle below is opened with the security quality of service that lets
// a server only identify the caller, and used only where it is a file or
// folder on a disk (GetFileType); elsewhere it fails with ERROR_BAD_FILE_TYPE.
// What Windows tells of a file through a handle opened with no access at all
// (nothing is read, and a file in use opens too): its final path, with every
// link, junction, mount point and drive letter on the way resolved, as
// \\?\C:\... or \\?\UNC\... (GetFinalPathNameByHandle, from Vista on),
// and its identity: the volume serial number and the file's ID, 128 bits
// wide from Windows 8 on (`whole`), its 64-bit index before (NT; all zero
// where unknown). Returns ERROR_SUCCESS with the final path, or with it empty
// the reason there is none: ERROR_PATH_NOT_FOUND where the file's volume has
// no drive letter, ERROR_CALL_NOT_IMPLEMENTED before Vista and on 95/98.
struct FileId {
    DWORD volume[2];  // low, high
    DWORD index[4];   // from the lowest 32 bits up
    bool whole;
};
DWORD OpenedFileFacts(const WCHAR *path, WCHAR (&finalPath)[MaxPath], FileId &id);
// A file's or folder's identity alone (NT); false where it cannot be opened.
bool FileIdentity(const WCHAR *path, FileId &id);
// Whether a folder tells names apart by case (NTFS's per-folder case
// sensitivity, which WSL and fsutil set); false where it cannot be asked.
bool IsCaseSensitiveFolder(const WCHAR *path);
// A file's or folder's security descriptor with its owner and DACL,
// self-relative, in a buffer of `size` bytes aligned for a DWORD (NT): its
// length, or 0 where it cannot be read, with the reason for GetLastError
// (ERROR_ACCESS_DENIED where Windows refuses to give it).
DWORD FileDacl(const WCHAR *path, BYTE *descriptor, DWORD size);

// security.cpp: the SID of the user who runs Quarvel, from its process's
// token, in a buffer of `size` bytes (NT): its length, or 0 where it cannot
// be read.
DWORD ProcessUser(BYTE *sid, DWORD size);

#endif
