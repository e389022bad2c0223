#include "LNotificationCenter.h"
#include "LPipe.h"
#include "LPollRunLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(PollRunLoop, SourcesTimersAndPostsFromAnotherThread) {
    LPollRunLoop loop;
    LPipe pipe;
    ASSERT_TRUE(pipe.Open());
    std::vector<std::string> events;
    int source = loop.AddSource(pipe.ReadDescriptor(), [&] {
        events.push_back("readable");
        pipe.FlushReadData();
    });
    ASSERT_GT(source, 0);
    int cancelled = loop.AddTimer(5, [&] { events.push_back("cancelled"); });
    loop.CancelTimer(cancelled);
    loop.AddTimer(20, [&] {
        events.push_back("timer");
        loop.Stop();
    });
    std::thread poster([&] { loop.Post([&] { events.push_back("posted"); }); });
    pipe.Write("x", 1);
    loop.Run(2000);
    poster.join();
    EXPECT_EQ(events, (std::vector<std::string>{"readable", "posted", "timer"}));

    loop.RemoveSource(source);
    pipe.Write("y", 1);
    loop.RunOnce(10);
    EXPECT_EQ(events.size(), 3u);
}

TEST(NotificationCenter, DeliversByNameNowOrOnMainLoop) {
    LNotificationCenter center;
    std::vector<std::string> seen;
    int token = center.AddObserver("A", [&](const LNotification& n) {
        seen.push_back(n.name + (n.sender == &seen ? "+sender" : ""));
    });
    center.AddObserver("B", [&](const LNotification& n) { seen.push_back(n.name); });
    center.Post("A", &seen);
    center.Post("C");
    EXPECT_EQ(seen, (std::vector<std::string>{"A+sender"}));

    LPollRunLoop loop;
    LRunLoop::SetMain(&loop);
    std::thread worker([&] { center.PostOnMainThread("B"); });
    worker.join();
    EXPECT_EQ(seen.size(), 1u); // not yet: delivered on the main loop
    loop.RunOnce(100);
    EXPECT_EQ(seen.back(), "B");
    LRunLoop::SetMain(nullptr);

    center.RemoveObserver(token);
    center.Post("A");
    EXPECT_EQ(seen.size(), 2u);
}
