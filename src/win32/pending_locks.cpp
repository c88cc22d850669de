// The locks that keep two registrations of moves for the restart from
// reading and writing the pending lists at once.
#include "pending_lists.h"

namespace {

const DWORD LockWait = 30000;  // milliseconds, for each lock

// Quarvel's own mutex, then Windows' own; null where not taken.
HANDLE locks[2];

// Waits for a mutex that has been opened; one whose holder ended without
// releasing it is taken as well: the list is read afresh under it.
DWORD Take(HANDLE mutex, int which) {
    const DWORD waited = WaitForSingleObject(mutex, LockWait);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const DWORD error = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
        CloseHandle(mutex);
        return error;
    }
    locks[which] = mutex;
    return ERROR_SUCCESS;
}

// Windows' own lock lies in the root of NT's object namespace, which no
// Win32 name reaches: only NTDLL opens it.
DWORD TakeSystemLock() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto open = ModuleFunction<NtOpenMutantProc>(ntdll, "NtOpenMutant");
    const auto toError = ModuleFunction<RtlNtStatusToDosErrorProc>(ntdll, "RtlNtStatusToDosError");
    if (!NamesAreUnicode() || open == nullptr || toError == nullptr) {
        return ERROR_SUCCESS;
    }
    WCHAR name[] = L"\\PendingRenameMutex";
    UNICODE_STRING text = {sizeof name - sizeof(WCHAR), sizeof name, name};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &text;
    attributes.Attributes = 0x40;  // OBJ_CASE_INSENSITIVE
    HANDLE mutex = nullptr;
    const LONG status = open(&mutex, SYNCHRONIZE, &attributes);
    if (status >= 0) {
        return Take(mutex, 1);
    }
    const DWORD error = toError(status);
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace

DWORD LockPendingLists() {
    // Global\ names exist from Windows 2000 on; before, names are the
    // system's anyway.
    const bool global = NamesAreUnicode() && (GetVersion() & 0xFF) >= 5;
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, global ? "Global\\Quarvel pending moves"
                                                             : "Quarvel pending moves");
    if (mutex == nullptr) {
        return GetLastError();
    }
    const DWORD error = Take(mutex, 0);
    return error != ERROR_SUCCESS ? error : TakeSystemLock();
}

void UnlockPendingLists() {
    for (int which = 1; which >= 0; --which) {
        if (locks[which] != nullptr) {
            ReleaseMutex(locks[which]);
            CloseHandle(locks[which]);
            locks[which] = nullptr;
        }
    }
}
