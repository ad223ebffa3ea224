#include "serial/threadpriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

int AfCurrentThreadId() {
  return static_cast<int>(::syscall(SYS_gettid));
}

void AfSetThreadPriority(int threadId, TAfThreadPriority priority) {
  // Nice values of a normal-policy thread; Linux applies them per thread.
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  if (threadId > 0)
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), kNice[priority]);
}
