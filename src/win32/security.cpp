// Who runs Quarvel: the user of its process's token (NT).
#include "files.h"

// Through NTDLL, which every NT process has, so that no ADVAPI32 is loaded.
DWORD ProcessUser(BYTE *sid, DWORD size) {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto open = ModuleFunction<NtOpenProcessTokenProc>(ntdll, "NtOpenProcessToken");
    const auto query = ModuleFunction<NtQueryInformationTokenProc>(ntdll, "NtQueryInformationToken");
    HANDLE token = nullptr;
    // The process itself: NtCurrentProcess().
    if (open == nullptr || query == nullptr ||
        open(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)), TOKEN_QUERY, &token) < 0) {
        return 0;
    }
    // TOKEN_USER, and the SID it points to, of at most 15 subauthorities.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + 68];
    } answer;
    ULONG length = 0;
    const LONG status = query(token, TokenUser, &answer, sizeof answer, &length);
    CloseHandle(token);
    const uintptr_t at = status >= 0 ? reinterpret_cast<uintptr_t>(answer.user.User.Sid) : 0;
    const uintptr_t start = reinterpret_cast<uintptr_t>(answer.bytes), end = start + sizeof answer;
    if (at < start || end - at < 8) {
        return 0;
    }
    const BYTE *user = answer.bytes + (at - start);
    const DWORD sidLength = 8 + 4 * DWORD{user[1]};
    if (user[0] != 1 || sidLength > end - at || sidLength > size) {
        return 0;
    }
    for (DWORD i = 0; i < sidLength; ++i) {
        sid[i] = user[i];
    }
    return sidLength;
}
