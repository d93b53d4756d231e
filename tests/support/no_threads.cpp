#include "no_threads.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> refusing{false};
std::atomic<int> refusals{0};

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
  if (refusing) {
    ++refusals;
    return EAGAIN;
  }
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  return real(thread, attr, start, arg);
}

namespace sorvane::testing {

NoNewThreads::NoNewThreads() {
  refusals = 0;
  refusing = true;
}
NoNewThreads::~NoNewThreads() { refusing = false; }
int NoNewThreads::refused() const { return refusals; }

}  // namespace sorvane::testing
