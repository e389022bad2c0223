#include "LPollRunLoop.h"
#include "LRunLoopSource.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A pipe with one byte waiting, so its read end stays readable.
struct ReadablePipe {
    ReadablePipe() {
        EXPECT_EQ(pipe(fds), 0);
        EXPECT_EQ(write(fds[1], "x", 1), 1);
    }
    ~ReadablePipe() {
        close(fds[0]);
        close(fds[1]);
    }
    int fds[2];
};

TEST(RunLoopSource, AddedOnceAndRemovedWhenReassignedOrDestroyed) {
    LPollRunLoop loop;
    ReadablePipe pipe;
    int calls = 0;
    {
        LRunLoopSource source(pipe.fds[0], [&] { ++calls; });
        EXPECT_TRUE(source.AddRunLoopSource(&loop));
        EXPECT_TRUE(source.AddRunLoopSource(&loop));
        loop.RunOnce(0);
        EXPECT_EQ(calls, 1) << "added twice, called once per round";

        // A copy takes the source but is not added; the original stays added.
        LRunLoopSource copy(source);
        EXPECT_FALSE(copy.IsAdded());
        EXPECT_TRUE(source.IsAdded());
        loop.RunOnce(0);
        EXPECT_EQ(calls, 2);

        // Reassigning removes the source from its run loop first.
        source = LRunLoopSource(pipe.fds[0], [&] { calls += 100; });
        EXPECT_FALSE(source.IsAdded());
        loop.RunOnce(0);
        EXPECT_EQ(calls, 2);
        EXPECT_TRUE(source.AddRunLoopSource(&loop));
        loop.RunOnce(0);
        EXPECT_EQ(calls, 102);
    }
    loop.RunOnce(0);
    EXPECT_EQ(calls, 102) << "destroyed sources are removed";

    // Without a run loop, or without a source, nothing is added.
    LRunLoop::SetMain(nullptr);
    LRunLoopSource orphan(pipe.fds[0], [] {});
    EXPECT_FALSE(orphan.AddRunLoopSource());
    EXPECT_FALSE(LRunLoopSource().AddRunLoopSource(&loop));
}

} // namespace
