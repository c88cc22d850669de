// Version query and classification of the running Windows.
#include "platform_id.h"

#include "../messages.h"
#include "../runtime/runtime.h"

namespace {

// The record's numbers are printed with "%ld" as signed 32-bit values,
// whatever the width of long on the host.
long AsPrinted(DWORD value) { return static_cast<long>(static_cast<LONG>(value)); }

// Copies the service-pack text, always terminated even if the record's is not.
void CopyServicePack(OsIdentity &identity, const OSVERSIONINFOA &info) {
    size_t i = 0;
    for (; i + 1 < sizeof identity.servicePack && info.szCSDVersion[i] != '\0'; ++i) {
        identity.servicePack[i] = info.szCSDVersion[i];
    }
    identity.servicePack[i] = '\0';
}

}  // namespace

namespace {

// The mechanism follows from the family alone: NT registers with
// MoveFileEx, 95 and 98 write wininit.ini, the others cannot defer a move.
DeferMechanism MechanismOf(OsFamily family) {
    return family == OsFamily::WindowsNT                                       ? DeferMechanism::ReplaceAtReboot
           : family == OsFamily::Windows95 || family == OsFamily::Windows98 ? DeferMechanism::StartupRenameList
                                                                              : DeferMechanism::None;
}

}  // namespace

OsIdentity ClassifyVersion(const OSVERSIONINFOA &info) {
    OsIdentity identity = {};
    CopyServicePack(identity, info);
    char(&description)[sizeof identity.description] = identity.description;

    const long major = AsPrinted(info.dwMajorVersion);
    const long minor = AsPrinted(info.dwMinorVersion);
    const long lowBuild = AsPrinted(info.dwBuildNumber & 0xFFFF);

    // Every format below holds at most three 32-bit numbers and fits the
    // 128-byte description with room to spare; FormatText cuts it anyway.
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        FormatText(description, sizeof description, MSG_DESCRIBE_WIN32S, major, minor);
        identity.family = OsFamily::Win32s;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (info.dwMinorVersion == 0) {
            FormatText(description, sizeof description, MSG_DESCRIBE_WINDOWS95, major, 0L,
                       lowBuild);
            identity.family = OsFamily::Windows95;
        } else {
            FormatText(description, sizeof description, MSG_DESCRIBE_WINDOWS98, major, minor,
                       lowBuild);
            identity.family = OsFamily::Windows98;
        }
        break;
    case VER_PLATFORM_WIN32_NT:
        FormatText(description, sizeof description, MSG_DESCRIBE_WINDOWSNT, major, minor,
                   AsPrinted(info.dwBuildNumber));
        identity.family = OsFamily::WindowsNT;
        break;
    default:
        FormatText(description, sizeof description, MSG_DESCRIBE_UNKNOWN_PLATFORM,
                   AsPrinted(info.dwPlatformId));
        identity.family = OsFamily::Other;
        break;
    }
    identity.mechanism = MechanismOf(identity.family);
    return identity;
}

OsIdentity IdentifyOs() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExA(&info)) {
        return ClassifyVersion(info);
    }

    // Without a version record nothing can be deferred safely.
    OsIdentity identity = {};
    FormatText(identity.description, sizeof identity.description, "%s", MSG_DESCRIBE_UNREADABLE);
    identity.family = OsFamily::Other;
    identity.mechanism = MechanismOf(identity.family);
    return identity;
}
