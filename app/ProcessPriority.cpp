#include "app/ProcessPriority.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <cerrno>
#include <sys/resource.h>
#endif

bool ProcessPriority::raise() {
#if defined(Q_OS_WIN)
    return SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != 0;
#elif defined(Q_OS_UNIX)
    // A modest step up; ordinary users are normally refused, which leaves the priority as it was.
    constexpr int kHighNice = -5;
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, 0);
    if (errno != 0)
        return false;
    if (current <= kHighNice)
        return true;
    return setpriority(PRIO_PROCESS, 0, kHighNice) == 0;
#else
    return false;
#endif
}
