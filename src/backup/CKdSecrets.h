#pragma once

// The texts that hold passwords and community names: shown masked unless asked for.
class CKdSecrets {
public:
    static constexpr const char* kMask = "********";

    // Whether id is one of a secret text's characters.
    static bool IsSecret(long id);
};
