// Plain loads and stores of fields that another thread reads or writes at
// the same time (counters, search results, timing). They compile to ordinary
// moves; marking them tells the compiler, and the thread sanitizer, that the
// sharing is intended and that a momentarily old value is acceptable.
#pragma once

#include <cstdint>

template <class T>
inline T Relaxed(const T& field) {
  T value;
  __atomic_load(&field, &value, __ATOMIC_RELAXED);
  return value;
}

template <class T>
inline void SetRelaxed(T& field, T value) {
  __atomic_store(&field, &value, __ATOMIC_RELAXED);
}

// Adds to a counter that only its own thread writes.
inline void Bump(uint64_t& counter, uint64_t by = 1) { SetRelaxed(counter, Relaxed(counter) + by); }
