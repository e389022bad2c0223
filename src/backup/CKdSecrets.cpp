#include "CKdSecrets.h"

namespace {
struct _SSecret {
    long mFirst;
    int mLength;
};
constexpr _SSecret kSecrets[] = {
    {620, 64}, // SNMP Community Name (write access)
    {690, 64}, // SNMP Read Community Name
    {950, 16}, // Password
};
} // namespace

bool CKdSecrets::IsSecret(long id) {
    for (const _SSecret& secret : kSecrets)
        if (id >= secret.mFirst && id < secret.mFirst + secret.mLength) return true;
    return false;
}
