#pragma once

#include "LObjPtr_.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>

// One named notification: the sender (identity only) and an optional counted payload that is
// kept alive while the notification is on its way.
struct LNotification {
    std::string name;
    const void* sender = nullptr;
    LObjPtr_<LObject> object;
};

// Named notifications with observers per name; posted now on the caller's thread or later on the
// main run loop.
class LNotificationCenter {
public:
    using Handler = std::function<void(const LNotification&)>;

    static LNotificationCenter& Default();

    // Handler for every notification of this name (any sender). Returns a token (> 0).
    int AddObserver(const std::string& name, Handler handler);
    void RemoveObserver(int token);

    // Delivers to the current observers of the name, in registration order, on this thread.
    void Post(const LNotification& notification);
    void Post(const std::string& name, const void* sender = nullptr, LObject* object = nullptr);
    // Delivers later on the main run loop, without waiting; safe from any thread. Without a main
    // run loop it delivers at once.
    void PostOnMainThread(const std::string& name, const void* sender = nullptr,
                          LObject* object = nullptr);

private:
    struct Observer {
        std::string name;
        Handler handler;
    };
    std::mutex mMutex;
    int mNextToken = 1;
    std::map<int, Observer> mObservers;
};
