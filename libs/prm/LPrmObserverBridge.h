#pragma once

#include "LPrmObserver.h"

#include <optional>
#include <vector>

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
        // Detaches every bridge that still refers to this delegate.
        virtual ~Delegate();

        // The value has changed.
        virtual void valueUpdated(LPrmObserverBridge* bridge) {}
        // A service pass has looked at the bridge.
        virtual void checkValueUpdated(LPrmObserverBridge* bridge) {}
        // Asked to refresh: whether the value changed, or nullopt when not implemented.
        virtual std::optional<bool> updateValue(LPrmObserverBridge* bridge) { return std::nullopt; }

    private:
        friend class LPrmObserverBridge;
        std::vector<LPrmObserverBridge*> mBridges; // the bridges that refer to this delegate
    };

    explicit LPrmObserverBridge(LPrmManager* manager = nullptr) : LPrmObserver(manager) {}
    ~LPrmObserverBridge() override;

    // Binds to a parameter, caches its value and sends valueUpdated once.
    virtual void Setup(LPrmManager* manager, long id, Delegate* delegate);
    virtual void Setup(LPrmManagerHandle* handle, long id, Delegate* delegate);

    void SetDelegate(Delegate* delegate);
    // The delegate, or null when none is set or it is gone.
    Delegate* GetDelegate() const { return mDelegate; }

    bool UpdateValue() override;
    void CheckValueUpdated() override;
    void ValueUpdated() override;

private:
    template <class ManagerOrHandle>
    void SetupWith(ManagerOrHandle manager, long id, Delegate* delegate);

    Delegate* mDelegate = nullptr; // weak: cleared by the delegate's destructor
    bool* mDestroyed = nullptr;    // set by the destructor while the delegate is being told
};
