#pragma once
// The public half of the key that update archives are signed with. Only its
// public half is in the program; the private half stays with the publisher.
#include "update/Signature.h"

namespace update {

// The key archives must be signed with. A test build of the program (never
// a shipped one) takes another from the environment variable
// BX_TEST_UPDATE_KEY (64 hexadecimal digits), so the update tests can sign
// with keys of their own.
PublicKey UpdatePublicKey();

}  // namespace update
