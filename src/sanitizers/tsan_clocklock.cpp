// ThreadSanitizer builds only. libstdc++ makes std::timed_mutex::try_lock_for
// wait with pthread_mutex_clocklock, which the ThreadSanitizer runtime of GCC 12
// does not intercept: it never sees such a lock taken and reports every unlock
// as the unlock of an unlocked mutex (and misses the ordering the lock gives).
// This definition comes first in the link, turns the monotonic deadline into a
// realtime one and waits with pthread_mutex_timedlock, which the runtime does see.

#include <pthread.h>
#include <time.h>

extern "C" int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock,
                                       const struct timespec* deadline) {
    if (clock == CLOCK_REALTIME) return pthread_mutex_timedlock(mutex, deadline);
    timespec now{};
    timespec realNow{};
    clock_gettime(clock, &now);
    clock_gettime(CLOCK_REALTIME, &realNow);
    constexpr long kNanosPerSecond = 1000000000L;
    long long nanos = (static_cast<long long>(deadline->tv_sec) - now.tv_sec) * kNanosPerSecond +
                      (deadline->tv_nsec - now.tv_nsec) + realNow.tv_nsec;
    timespec realDeadline{};
    realDeadline.tv_sec = realNow.tv_sec + static_cast<time_t>(nanos / kNanosPerSecond);
    realDeadline.tv_nsec = static_cast<long>(nanos % kNanosPerSecond);
    if (realDeadline.tv_nsec < 0) {
        realDeadline.tv_nsec += kNanosPerSecond;
        realDeadline.tv_sec -= 1;
    }
    return pthread_mutex_timedlock(mutex, &realDeadline);
}
