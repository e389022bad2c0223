#pragma once

#include "LPrmObserver.h"

#include <memory>
#include <optional>

// The observer a widget owns: forwards the observer's events to its view, the delegate.
class LPrmObserverBridge : public LPrmObserver {
public:
    // The view side. Every message is optional: the defaults stand for "not implemented".
    // The bridge refers to its delegate weakly: once the delegate is destroyed it receives nothing.
    class Delegate {
    public:
        Delegate() = default;
        Delegate(const Delegate&) {}
        Delegate& operator=(const Delegate&) { return *this; }
        virtual ~Delegate() = default;

        // The value has changed.
        virtual void valueUpdated(LPrmObserverBridge* bridge) {}
        // A service pass has looked at the bridge.
        virtual void checkValueUpdated(LPrmObserverBridge* bridge) {}
        // Asked to refresh: whether the value changed, or nullopt when not implemented.
        virtual std::optional<bool> updateValue(LPrmObserverBridge* bridge) { return std::nullopt; }

    private:
        friend class LPrmObserverBridge;
        // Expires with the delegate; bridges hold it weakly.
        std::shared_ptr<Delegate*> mAnchor = std::make_shared<Delegate*>(this);
    };

    explicit LPrmObserverBridge(LPrmManager* manager = nullptr) : LPrmObserver(manager) {}

    // Binds to a parameter, caches its value and sends valueUpdated once.
    virtual void Setup(LPrmManager* manager, long id, Delegate* delegate);
    virtual void Setup(LPrmManagerHandle* handle, long id, Delegate* delegate);

    void SetDelegate(Delegate* delegate);
    // The delegate, or null when none is set or it is gone.
    Delegate* GetDelegate() const;

    bool UpdateValue() override;
    void CheckValueUpdated() override;
    void ValueUpdated() override;

private:
    template <class ManagerOrHandle>
    void SetupWith(ManagerOrHandle manager, long id, Delegate* delegate);

    std::weak_ptr<Delegate*> mDelegate;
};
