// The stop's hold on the worker: the gate that decides whether the store is
// free, and the Internet handles it closes.
#include <gtest/gtest.h>

#include "service/worker_stop.h"

namespace {

TEST(NetWorkerStop, GivingUpOnAWorkerOutsideTheGateFreesTheStore) {
    CWorkerStop stop;
    {
        CGateHold hold(&stop);
        EXPECT_TRUE(hold.held());
    }
    EXPECT_TRUE(stop.GiveUp());
    CGateHold late(&stop);
    EXPECT_FALSE(late.held()) << "a worker given up touches nothing more";
}

TEST(NetWorkerStop, GivingUpOnAWorkerInsideTheGateKeepsTheStore) {
    CWorkerStop stop;
    ASSERT_TRUE(stop.Enter());
    EXPECT_FALSE(stop.GiveUp());
    stop.Leave();
    EXPECT_FALSE(stop.Enter()) << "leaving does not reopen the gate";
}

TEST(NetWorkerStop, TheRequestSignalsTheEventAndClosesTrackedHandles) {
    CWorkerStop stop;
    EXPECT_FALSE(stop.Requested());
    HINTERNET session = InternetOpenA("InetURL/1.1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(stop.Track(session));
    stop.Request();
    EXPECT_TRUE(stop.Requested());
    EXPECT_EQ(WaitForSingleObject(stop.Event(), 0), WAIT_OBJECT_0);
    DWORD timeout = 0;
    DWORD size = sizeof timeout;
    EXPECT_FALSE(InternetQueryOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &size))
        << "the stop closed the session";
    stop.Close(session);  // already closed by the stop: nothing happens

    HINTERNET late = InternetOpenA("InetURL/1.1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    EXPECT_FALSE(stop.Track(late)) << "a handle made after the stop is closed at once";
}

}  // namespace
