#pragma once

#include "LIONotification.h"

#include <memory>

// Forwards the notification's arrivals and removals to a window-layer object held by a weak
// reference: once the target is destroyed, the messages go nowhere.
class LIONotificationBridge : public LIONotification::Delegate {
public:
    // The receiving side. Destroying it detaches it from every bridge.
    class Target {
    public:
        Target() = default;
        Target(const Target&) {}
        Target& operator=(const Target&) { return *this; }
        virtual ~Target() = default;

        virtual void rawDeviceAdded(LIONotification* sender, const LIOService& service,
                                    void* more) = 0;
        virtual void rawDeviceRemoved(LIONotification* sender, const LIOService& service,
                                      void* more) = 0;

    private:
        friend class LIONotificationBridge;
        const std::shared_ptr<Target*> mSelf = std::make_shared<Target*>(this);
    };

    void SetTarget(Target* target);
    Target* GetTarget() const;

    void RawDeviceAdded(LIONotification* sender, const LIOService& service, void* more) override;
    void RawDeviceRemoved(LIONotification* sender, const LIOService& service, void* more) override;

private:
    std::weak_ptr<Target*> mTarget;
};
