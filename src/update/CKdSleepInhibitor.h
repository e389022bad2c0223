#pragma once

// Keeps the computer from idle sleep while it exists: a logind inhibitor lock ("sleep:idle",
// mode "block") taken over the system bus. Without a system bus or logind it holds nothing.
class CKdSleepInhibitor {
public:
    CKdSleepInhibitor();
    ~CKdSleepInhibitor();
    CKdSleepInhibitor(const CKdSleepInhibitor&) = delete;
    CKdSleepInhibitor& operator=(const CKdSleepInhibitor&) = delete;

    bool IsHeld() const { return mLockFd >= 0; }

private:
    int mLockFd = -1; // logind keeps the lock while this descriptor is open
};
