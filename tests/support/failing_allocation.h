// A machine that runs out of memory once: FailNextAllocation makes the next
// allocation through operator new of at least `bytes`, on any thread, throw
// std::bad_alloc (a large block fails where small ones still succeed). A test
// program that calls it takes this file's operator new and delete (malloc and
// free beneath, so the sanitizers still watch every block).
#pragma once

#include <cstddef>

namespace sorvane::testing {

void FailNextAllocation(std::size_t bytes = 0);

}  // namespace sorvane::testing
