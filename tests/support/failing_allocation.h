// A machine that runs out of memory once: FailNextAllocation makes the next
// allocation through operator new, on any thread, throw std::bad_alloc. A test
// program that calls it takes this file's operator new and delete (malloc and
// free beneath, so the sanitizers still watch every block).
#pragma once

namespace sorvane::testing {

void FailNextAllocation();

}  // namespace sorvane::testing
