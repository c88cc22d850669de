// Version query and classification of the running Windows.
#include "platform_id.h"

#include <stdio.h>
#include <string.h>

#include "../messages.h"

namespace {

// The record's numbers are printed with "%ld" as signed 32-bit values,
// whatever the width of long on the host.
long AsPrinted(DWORD value) { return static_cast<long>(static_cast<LONG>(value)); }

// Copies the service-pack text, always terminated even if the record's is not.
void CopyServicePack(OsIdentity &identity, const OSVERSIONINFOA &info) {
    strncpy(identity.servicePack, info.szCSDVersion, sizeof identity.servicePack - 1);
    identity.servicePack[sizeof identity.servicePack - 1] = '\0';
}

}  // namespace

OsIdentity ClassifyVersion(const OSVERSIONINFOA &info) {
    OsIdentity identity;
    memset(&identity, 0, sizeof identity);
    CopyServicePack(identity, info);

    const long major = AsPrinted(info.dwMajorVersion);
    const long minor = AsPrinted(info.dwMinorVersion);
    const long lowBuild = AsPrinted(info.dwBuildNumber & 0xFFFF);

    // Every format below holds at most three 32-bit numbers and fits the
    // 128-byte description with room to spare.
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        sprintf(identity.description, MSG_DESCRIBE_WIN32S, major, minor);
        identity.family = OsFamily::Win32s;
        identity.mechanism = DeferMechanism::None;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (info.dwMinorVersion == 0) {
            sprintf(identity.description, MSG_DESCRIBE_WINDOWS95, major, 0L, lowBuild);
            identity.family = OsFamily::Windows95;
        } else {
            sprintf(identity.description, MSG_DESCRIBE_WINDOWS98, major, minor, lowBuild);
            identity.family = OsFamily::Windows98;
        }
        identity.mechanism = DeferMechanism::StartupRenameList;
        break;
    case VER_PLATFORM_WIN32_NT:
        sprintf(identity.description, MSG_DESCRIBE_WINDOWSNT, major, minor,
                AsPrinted(info.dwBuildNumber));
        identity.family = OsFamily::WindowsNT;
        identity.mechanism = DeferMechanism::ReplaceAtReboot;
        break;
    default:
        sprintf(identity.description, MSG_DESCRIBE_UNKNOWN_PLATFORM, AsPrinted(info.dwPlatformId));
        identity.family = OsFamily::Other;
        identity.mechanism = DeferMechanism::None;
        break;
    }
    return identity;
}

OsIdentity IdentifyOs() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info)) {
        return ClassifyVersion(info);
    }

    // Without a version record nothing can be deferred safely.
    OsIdentity identity;
    memset(&identity, 0, sizeof identity);
    strcpy(identity.description, MSG_DESCRIBE_UNREADABLE);
    identity.family = OsFamily::Other;
    identity.mechanism = DeferMechanism::None;
    return identity;
}
