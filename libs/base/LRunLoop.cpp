#include "LRunLoop.h"

#include <atomic>

namespace {
std::atomic<LRunLoop*> gMainRunLoop{nullptr};
}

LRunLoop* LRunLoop::Main() {
    return gMainRunLoop.load();
}

void LRunLoop::SetMain(LRunLoop* loop) {
    gMainRunLoop.store(loop);
}
