// The lock that keeps two registrations of moves for the restart from
// reading and writing the pending lists at once.
#include "pending_lists.h"

namespace {

const DWORD LockWait = 30000;  // milliseconds

// The lock taken, and the private namespace that holds Quarvel's own; null
// where there is none. The name of Quarvel's own, for the report.
HANDLE lock;
HANDLE privateNamespace;
WCHAR lockName[32];

// Administrators (S-1-5-32-544), and a self-relative security descriptor
// whose DACL grants everything to Administrators and SYSTEM (S-1-5-18) and
// nothing to anyone else, for the namespace and the mutex in it; aligned
// as Windows takes a SID and a descriptor.
alignas(4) BYTE administrators[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
alignas(4) BYTE onlyAdministrators[] = {
    1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,  // header: DACL at 20
    2, 0, 52, 0, 2, 0, 0, 0,                                             // the DACL: 52 bytes, 2 entries
    0, 0, 24, 0, 0, 0, 0, 0x10, 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,  // GENERIC_ALL
    0, 0, 20, 0, 0, 0, 0, 0x10, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
};
static_assert(sizeof onlyAdministrators == 72, "the descriptor's size");

// Waits for a mutex that has been opened; one whose holder ended without
// releasing it is taken as well: the list is read afresh under it.
DWORD Take(HANDLE mutex) {
    const DWORD waited = WaitForSingleObject(mutex, LockWait);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        // A failed wait that gives no reason is still no lock.
        const DWORD error = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError();
        CloseHandle(mutex);
        return error != ERROR_SUCCESS ? error : WAIT_TIMEOUT;
    }
    lock = mutex;
    return ERROR_SUCCESS;
}

// Windows' own lock, \PendingRenameMutex, which the Session Manager creates
// in the root of NT's object namespace (no Win32 name reaches it: only
// NTDLL opens it) and lets only Administrators and SYSTEM open. Every
// delayed MoveFileEx waits on it, so it keeps out every other registration
// and nobody else can hold it. Gives the mutex, or ERROR_FILE_NOT_FOUND
// where there is none (95/98, older NT, Wine), or the error that kept it
// from being opened.
DWORD OpenSystemLock(HANDLE &mutex) {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto open = ModuleFunction<NtOpenMutantProc>(ntdll, "NtOpenMutant");
    const auto toError = ModuleFunction<RtlNtStatusToDosErrorProc>(ntdll, "RtlNtStatusToDosError");
    if (!NamesAreUnicode() || open == nullptr || toError == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    WCHAR name[] = L"\\PendingRenameMutex";
    UNICODE_STRING text = {sizeof name - sizeof(WCHAR), sizeof name, name};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &text;
    attributes.Attributes = 0x40;  // OBJ_CASE_INSENSITIVE
    const LONG status = open(&mutex, SYNCHRONIZE, &attributes);
    const DWORD error = status >= 0 ? ERROR_SUCCESS : toError(status);
    return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error;
}

// From Vista on, Quarvel's own mutex lies in a private namespace bounded by
// the Administrators group, which nobody outside it can create, and which,
// like the mutex, only Administrators and SYSTEM may open: so no other user
// can take the name first or hold the mutex. Where there are no private
// namespaces (before Vista, Wine), the name is in Global\ from 2000 on.
// Gives the name to create, or nullptr with the error set.
const char *OwnLockName(SECURITY_ATTRIBUTES &security) {
    const bool global = NamesAreUnicode() && (GetVersion() & 0xFF) >= 5;
    const auto createBoundary = KERNEL32_FUNCTION(CreateBoundaryDescriptorW);
    const auto addSid = KERNEL32_FUNCTION(AddSIDToBoundaryDescriptor);
    const auto createNamespace = KERNEL32_FUNCTION(CreatePrivateNamespaceW);
    const auto openNamespace = KERNEL32_FUNCTION(OpenPrivateNamespaceW);
    const auto deleteBoundary = KERNEL32_FUNCTION(DeleteBoundaryDescriptor);
    // Wine has the first and returns NULL from it, and aborts in the second.
    HANDLE boundary = global && createBoundary != nullptr && addSid != nullptr && createNamespace != nullptr &&
                              openNamespace != nullptr && deleteBoundary != nullptr
                          ? createBoundary(L"Quarvel", 0)
                          : nullptr;
    if (boundary == nullptr) {
        return global ? "Global\\Quarvel pending moves" : "Quarvel pending moves";
    }
    if (addSid(&boundary, administrators)) {
        privateNamespace = createNamespace(&security, boundary, L"Quarvel");
        if (privateNamespace == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
            privateNamespace = openNamespace(boundary, L"Quarvel");
        }
    }
    const DWORD error = privateNamespace == nullptr ? GetLastError() : ERROR_SUCCESS;
    deleteBoundary(boundary);
    SetLastError(error);
    return privateNamespace != nullptr ? "Quarvel\\pending moves" : nullptr;
}

}  // namespace

DWORD LockPendingLists() {
    HANDLE mutex = nullptr;
    const DWORD error = OpenSystemLock(mutex);
    if (error != ERROR_FILE_NOT_FOUND) {
        return error == ERROR_SUCCESS ? Take(mutex) : error;
    }
    SECURITY_ATTRIBUTES security = {sizeof security, onlyAdministrators, FALSE};
    const char *name = OwnLockName(security);
    for (int i = 0; name != nullptr && (lockName[i] = name[i]) != 0; ++i) {
    }
    mutex = name != nullptr ? CreateMutexA(privateNamespace != nullptr ? &security : nullptr, FALSE, name)
                            : nullptr;
    if (mutex == nullptr) {
        // An event, semaphore or file mapping of that name, or a mutex
        // that only its creator may open: another program holds the name.
        const DWORD failed = GetLastError();
        return name != nullptr && (failed == ERROR_INVALID_HANDLE || failed == ERROR_ACCESS_DENIED)
                   ? ERROR_ALREADY_EXISTS
                   : failed;
    }
    return Take(mutex);
}

void UnlockPendingLists() {
    if (lock != nullptr) {
        ReleaseMutex(lock);
        CloseHandle(lock);
        lock = nullptr;
    }
    if (privateNamespace != nullptr) {
        const auto closeNamespace = KERNEL32_FUNCTION(ClosePrivateNamespace);
        if (closeNamespace != nullptr) {
            closeNamespace(privateNamespace, 0);
        }
        privateNamespace = nullptr;
    }
}

const WCHAR *PendingLockName() { return lockName; }
