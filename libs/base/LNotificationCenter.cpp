#include "LNotificationCenter.h"

#include "LRunLoop.h"

#include <vector>

LNotificationCenter& LNotificationCenter::Default() {
    static LNotificationCenter sCenter;
    return sCenter;
}

int LNotificationCenter::AddObserver(const std::string& name, Handler handler) {
    std::lock_guard<std::mutex> lock(mMutex);
    int token = mNextToken++;
    mObservers[token] = Observer{name, std::move(handler)};
    return token;
}

void LNotificationCenter::RemoveObserver(int token) {
    std::lock_guard<std::mutex> lock(mMutex);
    mObservers.erase(token);
}

void LNotificationCenter::Post(const LNotification& notification) {
    // Copy the matching handlers first: a handler may add or remove observers.
    std::vector<Handler> handlers;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const auto& [token, observer] : mObservers)
            if (observer.name == notification.name) handlers.push_back(observer.handler);
    }
    for (const auto& handler : handlers)
        handler(notification);
}

void LNotificationCenter::Post(const std::string& name, const void* sender, LObject* object) {
    LNotification notification{name, sender, object};
    Post(notification);
}

void LNotificationCenter::PostOnMainThread(const std::string& name, const void* sender,
                                           LObject* object) {
    LNotification notification{name, sender, object};
    LRunLoop* loop = LRunLoop::Main();
    if (!loop) {
        Post(notification);
        return;
    }
    loop->Post([this, notification] { Post(notification); });
}
