#pragma once

#include "CKdUpdater.h"
#include "KdUpdateInformation.h"
#include "LNotificationCenter.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

// Records the "KdUpdateNotification"s of the test as (type, value) pairs.
class UpdateNotes {
public:
    using Note = std::pair<int, int>;

    UpdateNotes() {
        mToken = LNotificationCenter::Default().AddObserver(
            CKdUpdater::kNotificationName, [this](const LNotification& notification) {
                auto* info = dynamic_cast<KdUpdateInformation*>(notification.object.Get());
                if (!info || info->Updater() != notification.sender) return;
                std::lock_guard lock(mMutex);
                mNotes.emplace_back(info->Type(), info->Value());
                mChanged.notify_all();
            });
    }
    ~UpdateNotes() { LNotificationCenter::Default().RemoveObserver(mToken); }

    void Clear() {
        std::lock_guard lock(mMutex);
        mNotes.clear();
    }
    std::vector<Note> Notes() {
        std::lock_guard lock(mMutex);
        return mNotes;
    }
    // The values of the progress notifications.
    std::vector<int> Progress() {
        std::vector<int> values;
        for (const Note& note : Notes())
            if (note.first == CKdUpdater::kNotifyProgress) values.push_back(note.second);
        return values;
    }
    // Waits for the end notification; its value, or -1 after the time-out.
    int WaitForEnd(int timeoutMs = 10000) {
        std::unique_lock lock(mMutex);
        int result = -1;
        mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const Note& note : mNotes)
                if (note.first == CKdUpdater::kNotifyEnd) result = note.second;
            return result >= 0;
        });
        return result;
    }

private:
    int mToken = 0;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<Note> mNotes;
};
