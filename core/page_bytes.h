// Page-sized byte buffers that are not cleared when they grow: the raster
// lines or the conversion write every byte before anything reads it, and
// clearing megabytes per page would cost as much as a pass of real work.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

template <typename T> struct UninitializedAllocator : std::allocator<T> {
  template <typename U> struct rebind { using other = UninitializedAllocator<U>; };
  UninitializedAllocator() = default;
  template <typename U> UninitializedAllocator(const UninitializedAllocator<U> &) noexcept {}

  // Growing the buffer leaves the new bytes as they are.
  template <typename U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
  template <typename U, typename... Args> void construct(U *p, Args &&...args) {
    ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
  }
};

using PageBytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;
