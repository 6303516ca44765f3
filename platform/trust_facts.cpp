#include "platform/trust_facts.h"

TrustFacts ReadTrustFacts(HANDLE object, ObjectKind kind) {
    TrustFacts facts = {kind, kOwnerOther, 1};
    if (object == nullptr || object == INVALID_HANDLE_VALUE) return facts;
    facts.owner = g_getOwnerKind(object);
    facts.othersMayChange = g_othersMayChange(object);
    return facts;
}

int OnlyAdministratorsControl(const TrustFacts& facts) {
    return facts.owner == kOwnerAdministrators && !facts.othersMayChange;
}
