// Security identifiers and token membership, as far as an administrator check needs them: the
// token holds the Administrators group (S-1-5-32-544) enabled exactly when the machine
// description says the process runs elevated. On Windows, a filtered token of an
// unelevated administrator carries that group for deny only, and CheckTokenMembership then
// answers FALSE, as it does here.
#include <windows.h>

#include <winsim/api.h>

#include <array>
#include <cstring>

namespace {

struct security_identifier {
    SID_IDENTIFIER_AUTHORITY authority{};
    BYTE count = 0;
    std::array<DWORD, 8> sub_authorities{};
};

bool is_administrators(const security_identifier& sid) {
    const SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    return std::memcmp(sid.authority.Value, nt.Value, sizeof nt.Value) == 0 && sid.count == 2 &&
           sid.sub_authorities[0] == SECURITY_BUILTIN_DOMAIN_RID &&
           sid.sub_authorities[1] == DOMAIN_ALIAS_RID_ADMINS;
}

} // namespace

extern "C" BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                                BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                                DWORD nSubAuthority1, DWORD nSubAuthority2,
                                                DWORD nSubAuthority3, DWORD nSubAuthority4,
                                                DWORD nSubAuthority5, DWORD nSubAuthority6,
                                                DWORD nSubAuthority7, PSID* pSid) {
    if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* sid = new security_identifier;
    sid->authority = *pIdentifierAuthority;
    sid->count = nSubAuthorityCount;
    sid->sub_authorities = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                            nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
    *pSid = sid;
    return TRUE;
}

extern "C" PVOID WINAPI FreeSid(PSID pSid) {
    delete static_cast<security_identifier*>(pSid);
    return nullptr;
}

extern "C" BOOL WINAPI CheckTokenMembership(HANDLE TokenHandle, PSID SidToCheck, PBOOL IsMember) {
    // Only the caller's own token is modelled.
    if (TokenHandle != nullptr || SidToCheck == nullptr || IsMember == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& sid = *static_cast<const security_identifier*>(SidToCheck);
    // Everyone else's groups are not modelled: an unknown group is one the token lacks.
    *IsMember = is_administrators(sid) && winsim::machine_elevated() ? TRUE : FALSE;
    return TRUE;
}
