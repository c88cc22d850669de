// For the end-to-end tests: "DenyReading deny" lets no one read the values
// of the Session Manager's key, which hold the pending moves, by a DACL that
// denies Everyone KEY_QUERY_VALUE before it allows everything; "DenyReading
// allow" leaves only the entry that allows. Ends with status 0 if it could.
// "DenyReading hold NAME [held|free]" creates an event named NAME, and with
// held or free also \PendingRenameMutex, as the Session Manager does, owned
// or not; it prints "ready" and keeps them until it is ended. A NAME with a
// drive (C:\...) is a file instead, held open to read, shared for reading alone.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>

typedef LONG(WINAPI *NtCreateMutantProc)(HANDLE *, ACCESS_MASK, OBJECT_ATTRIBUTES *, BOOLEAN);

int Hold(int argc, char **argv) {
    if (argv[2][1] == ':' ? CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                        nullptr) == INVALID_HANDLE_VALUE
                          : CreateEventA(nullptr, TRUE, FALSE, argv[2]) == nullptr) {
        return 1;
    }
    if (argc == 4) {
        const auto create = reinterpret_cast<NtCreateMutantProc>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateMutant")));
        WCHAR name[] = L"\\PendingRenameMutex";
        UNICODE_STRING text = {sizeof name - sizeof(WCHAR), sizeof name, name};
        OBJECT_ATTRIBUTES attributes = {};
        attributes.Length = sizeof attributes;
        attributes.ObjectName = &text;
        attributes.Attributes = OBJ_CASE_INSENSITIVE;
        HANDLE mutant = nullptr;
        if (create == nullptr || create(&mutant, MUTANT_ALL_ACCESS, &attributes, strcmp(argv[3], "held") == 0) < 0) {
            return 1;
        }
    }
    printf("ready\n");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int main(int argc, char **argv) {
    if (argc >= 3 && strcmp(argv[1], "hold") == 0) {
        return Hold(argc, argv);
    }
    HKEY key = nullptr;
    if (argc != 2 || RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                   0, WRITE_DAC, &key) != ERROR_SUCCESS) {
        return 1;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    DWORD acl[64];
    InitializeAcl(reinterpret_cast<ACL *>(acl), sizeof acl, ACL_REVISION);
    if (strcmp(argv[1], "deny") == 0) {
        AddAccessDeniedAce(reinterpret_cast<ACL *>(acl), ACL_REVISION, KEY_QUERY_VALUE, everyone);
    }
    AddAccessAllowedAce(reinterpret_cast<ACL *>(acl), ACL_REVISION, KEY_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL *>(acl), FALSE);
    return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS ? 0 : 1;
}
