#pragma once

#include "LRunLoop.h"

// A descriptor source that can be added to one run loop at a time. The wrapper does not own the
// descriptor; it removes the source from its run loop when it is reassigned or destroyed.
class LRunLoopSource {
public:
    LRunLoopSource() = default;
    LRunLoopSource(int descriptor, LRunLoop::Callback onReadable);
    // Takes the other's source only; the copy is not added anywhere.
    LRunLoopSource(const LRunLoopSource& other);
    // Removes the current source from its run loop first; the new source is not added.
    LRunLoopSource& operator=(const LRunLoopSource& other);
    virtual ~LRunLoopSource();

    // Adds the source to loop (null: the main run loop) unless it is already added. False
    // without a source or a run loop (none installed yet): the source is then never read.
    [[nodiscard]] bool AddRunLoopSource(LRunLoop* loop = nullptr);
    void RemoveRunLoopSource();

private:
    int mDescriptor = -1;
    LRunLoop::Callback mOnReadable;
    LRunLoop* mRunLoop = nullptr;
    int mSourceId = 0;
};
