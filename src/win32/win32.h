// The one place where the program meets Windows. On Windows this is
// <windows.h>; on any other host the same sources compile against
// host_win32.h, which declares only what the program uses, and the unit tests
// link a scriptable fake of those functions.
#ifndef QUARVEL_WIN32_H
#define QUARVEL_WIN32_H

#include <stddef.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winternl.h>
#include <winioctl.h>
#include <virtdisk.h>
#else
#include "host_win32.h"
#endif

// The structures the program reads or hands Windows, at the sizes and
// offsets Windows documents, on every build: 32-bit, 64-bit, and the host
// the unit tests run on (where WCHAR is wider, so only the Windows builds
// check a structure of WCHARs).
const size_t PointerSize = sizeof(void *);
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA");
static_assert(sizeof(FILETIME) == 8 && sizeof(BY_HANDLE_FILE_INFORMATION) == 52, "BY_HANDLE_FILE_INFORMATION");
static_assert(sizeof(WIN32_FIND_DATAA) == 320 && (sizeof(WCHAR) != 2 || sizeof(WIN32_FIND_DATAW) == 592),
              "WIN32_FIND_DATA");
static_assert(sizeof(FILE_ID_INFO) == 24 && alignof(FILE_ID_INFO) == 8 && offsetof(FILE_ID_INFO, FileId) == 8,
              "FILE_ID_INFO");
static_assert(sizeof(ULONG) == 4 && sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(GUID) == 16, "ULONG");
static_assert(sizeof(UNICODE_STRING) == 2 * PointerSize && sizeof(OBJECT_ATTRIBUTES) == 6 * PointerSize &&
                  offsetof(OBJECT_ATTRIBUTES, Attributes) == 3 * PointerSize,
              "OBJECT_ATTRIBUTES");
static_assert(sizeof(TOKEN_USER) == 2 * PointerSize && sizeof(SECURITY_ATTRIBUTES) == 3 * PointerSize,
              "TOKEN_USER");
static_assert(sizeof(DISK_EXTENT) == 24 && sizeof(VOLUME_DISK_EXTENTS) == 32, "VOLUME_DISK_EXTENTS");
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12 && sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40 &&
                  offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28,
              "STORAGE_DEVICE_DESCRIPTOR");
static_assert(sizeof(VIRTUAL_STORAGE_TYPE) == 20 && offsetof(STORAGE_DEPENDENCY_INFO_TYPE_2, AncestorLevel) == 28 &&
                  sizeof(STORAGE_DEPENDENCY_INFO_TYPE_2) == 32 + 4 * PointerSize &&
                  offsetof(STORAGE_DEPENDENCY_INFO, Version2Entries) == 8,
              "STORAGE_DEPENDENCY_INFO");

// CharToOemA lives in USER32, which the program loads only when a failure
// report needs it; this is the type of the entry point it looks up.
typedef BOOL(WINAPI *CharToOemProc)(LPCSTR source, LPSTR destination);

// The WOW64 file system redirector's switches, which KERNEL32 has only from
// Vista, XP x64 and 2003 SP1 on (they fail where there is no WOW64).
typedef BOOL(WINAPI *Wow64DisableProc)(PVOID *oldValue);
typedef BOOL(WINAPI *Wow64RevertProc)(PVOID oldValue);

// A function of a DLL loaded at run time; nullptr where the module or the
// function is missing. A KERNEL32 function that older Windows lack is looked
// up so, so that the program still loads there.
FARPROC ModuleAddress(HMODULE module, const char *name);
FARPROC Kernel32Address(const char *name);

// The same, by the function's type.
template <typename Function>
Function ModuleFunction(HMODULE module, const char *name) {
    // Cast through the generic function type: FARPROC has no parameters.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(ModuleAddress(module, name)));
}

template <typename Function>
Function Kernel32Function(const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Kernel32Address(name)));
}

// A KERNEL32 function that Windows 95 or NT 3.51 may lack, by its own name
// and type; nullptr where it is missing.
#define KERNEL32_FUNCTION(name) Kernel32Function<decltype(&name)>(#name)

// GetFileInformationByHandleEx (Vista on), for FileIdInfo (Windows 8 on): a
// file's 64-bit volume serial number and 128-bit ID.
typedef BOOL(WINAPI *FileInformationByHandleExProc)(HANDLE file, int informationClass, void *information,
                                                     DWORD size);
const int FileIdInfoClass = 18;
const int FileCaseSensitiveInfoClass = 23;

// NTDLL's NtOpenMutant, which opens a mutex by its name in NT's object
// namespace, and RtlNtStatusToDosError, which gives an NTSTATUS as an error
// code. NTDLL is mapped into every NT process, so nothing is loaded for them.
typedef LONG(WINAPI *NtOpenMutantProc)(HANDLE *mutant, DWORD access, OBJECT_ATTRIBUTES *attributes);
typedef ULONG(WINAPI *RtlNtStatusToDosErrorProc)(LONG status);
// NTDLL's NtQuerySecurityObject: an object's security descriptor, by handle.
typedef LONG(WINAPI *NtQuerySecurityObjectProc)(HANDLE object, DWORD information, void *descriptor,
                                                 ULONG size, ULONG *needed);
// NTDLL's NtOpenProcessToken and NtQueryInformationToken: a process's token,
// and what it holds (TokenUser: the user who runs the process).
typedef LONG(WINAPI *NtOpenProcessTokenProc)(HANDLE process, DWORD access, HANDLE *token);
typedef LONG(WINAPI *NtQueryInformationTokenProc)(HANDLE token, TOKEN_INFORMATION_CLASS information,
                                                   void *buffer, ULONG size, ULONG *needed);

#endif
