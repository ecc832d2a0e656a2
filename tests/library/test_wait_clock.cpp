// The keep-alive wait on a system whose condition variables only measure
// the wall clock (the Windows thread library refuses the monotonic clock):
// the pacing must still be about one datagram a second, not a flood.
#include "library_link.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>

using namespace kt;

namespace {
std::atomic<bool> refuse_monotonic{false};
}  // namespace

// Stands in for the system's routine inside this test program only.
extern "C" int pthread_condattr_setclock(pthread_condattr_t *attr, clockid_t clock)
{
    using Fn = int (*)(pthread_condattr_t *, clockid_t);
    static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_condattr_setclock"));
    if (refuse_monotonic && clock == CLOCK_MONOTONIC)
        return EINVAL;
    return real ? real(attr, clock) : EINVAL;
}

TEST(KeepAlive, PacedWhenOnlyTheWallClockCanTimeTheWait)
{
    TempDir dir;
    FakeMixer mixer;
    uint16_t port = 0;
    refuse_monotonic = true;
    korvane_handle h = open_towards(mixer, &port);
    refuse_monotonic = false;
    ASSERT_NE(h, nullptr);
    Bytes d;
    ASSERT_TRUE(mixer.receive(d, 1000));
    EXPECT_TRUE(is_keep_alive(d));
    int early = 0;
    while (mixer.receive(d, 600))
        if (++early > 20)
            break;
    EXPECT_EQ(early, 0) << "keep-alives sent back to back";
    ASSERT_TRUE(mixer.receive(d, 1500)) << "the second keep-alive never came";
    EXPECT_TRUE(is_keep_alive(d));
    EXPECT_EQ(korvane_close(h), 0);
}
