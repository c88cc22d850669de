// For the end-to-end tests: "DenyReading deny" lets no one read the values
// of the Session Manager's key, which hold the pending moves, by a DACL that
// denies Everyone KEY_QUERY_VALUE before it allows everything; "DenyReading
// allow" leaves only the entry that allows. Ends with status 0 if it could.
#include <windows.h>

#include <cstring>

int main(int argc, char **argv) {
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
