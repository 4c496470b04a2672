/* Loaded with LD_PRELOAD: the process's wall clock runs
 * $VELMORA_CLOCK_OFFSET seconds ahead, as on a machine whose clock is off
 * from the domain's. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

int clock_gettime(clockid_t id, struct timespec *ts) {
  static int (*real)(clockid_t, struct timespec *);
  if (real == NULL) real = (int (*)(clockid_t, struct timespec *))dlsym(RTLD_NEXT, "clock_gettime");
  const int result = real(id, ts);
  const char *offset = getenv("VELMORA_CLOCK_OFFSET");
  if (result == 0 && offset != NULL && (id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE))
    ts->tv_sec += atol(offset);
  return result;
}

int gettimeofday(struct timeval *tv, void *tz) {
  (void)tz;
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  *tv = (struct timeval){ts.tv_sec, ts.tv_nsec / 1000};
  return 0;
}

time_t time(time_t *t) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  if (t != NULL) *t = ts.tv_sec;
  return ts.tv_sec;
}
