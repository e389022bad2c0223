#include "LIONotificationBridge.h"

void LIONotificationBridge::SetTarget(Target* target) {
    mTarget = target ? std::weak_ptr<Target*>(target->mSelf) : std::weak_ptr<Target*>();
}

LIONotificationBridge::Target* LIONotificationBridge::GetTarget() const {
    std::shared_ptr<Target*> target = mTarget.lock();
    return target ? *target : nullptr;
}

void LIONotificationBridge::RawDeviceAdded(LIONotification* sender, const LIOService& service,
                                           void* more) {
    if (Target* target = GetTarget()) target->rawDeviceAdded(sender, service, more);
}

void LIONotificationBridge::RawDeviceRemoved(LIONotification* sender, const LIOService& service,
                                             void* more) {
    if (Target* target = GetTarget()) target->rawDeviceRemoved(sender, service, more);
}
