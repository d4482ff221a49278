#include "setup/private_temp.h"

#include <windows.h>
#include <stddef.h>

#include "setup/path.h"

namespace {

// An access-allowed entry with its SID of `count` sub-authorities in place.
template <int count>
struct AllowedAce {
    ACE_HEADER header;
    ACCESS_MASK mask;
    BYTE revision;
    BYTE subAuthorityCount;
    BYTE authority[6];
    DWORD subAuthority[count];
};

// The security of a private folder, written out in the self-relative form
// that CreateDirectoryA takes as it stands (smaller than building it at run
// time): a protected DACL with two entries, full access for
// BUILTIN\Administrators (S-1-5-32-544) and for SYSTEM (S-1-5-18), both
// inherited by what is made inside. No owner is named: the system gives the
// folder the token's default one.
struct PrivateDescriptor {
    SECURITY_DESCRIPTOR_RELATIVE header;
    ACL dacl;
    AllowedAce<2> administrators;
    AllowedAce<1> system;
};

const BYTE kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

alignas(4) const PrivateDescriptor kPrivateDescriptor = {
    {SECURITY_DESCRIPTOR_REVISION, 0, SE_SELF_RELATIVE | SE_DACL_PRESENT | SE_DACL_PROTECTED, 0,
     0, 0, offsetof(PrivateDescriptor, dacl)},
    {ACL_REVISION, 0, sizeof(ACL) + sizeof(AllowedAce<2>) + sizeof(AllowedAce<1>), 2, 0},
    {{ACCESS_ALLOWED_ACE_TYPE, kInherited, sizeof(AllowedAce<2>)},
     FILE_ALL_ACCESS,
     SID_REVISION,
     2,
     {0, 0, 0, 0, 0, 5},
     {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}},
    {{ACCESS_ALLOWED_ACE_TYPE, kInherited, sizeof(AllowedAce<1>)},
     FILE_ALL_ACCESS,
     SID_REVISION,
     1,
     {0, 0, 0, 0, 0, 5},
     {SECURITY_LOCAL_SYSTEM_RID}},
};

// Names tried before giving up: each one that exists (made by anyone) is
// passed over.
enum { kNameAttempts = 64 };

} // namespace

bool process_is_elevated()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    // TOKEN_ELEVATION, Windows Vista and later.
    DWORD elevated = 0, length = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevated, sizeof elevated, &length);
    CloseHandle(token);
    return known && elevated != 0;
}

bool create_private_folder(const char* parent, PathBuffer out)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, (void*)&kPrivateDescriptor, FALSE};
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char name[16];
        wsprintfA(name, "vlx%04lx.tmp", (seed + attempt) & 0xFFFF);
        path_join(parent, name, out);
        if (out[0] == '\0' || !path_append(out, "\\"))
            break;
        if (CreateDirectoryA(out, &attributes))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    out[0] = '\0';
    return false;
}

void remove_private_folder(const char* folder)
{
    RemoveDirectoryA(folder);
}
