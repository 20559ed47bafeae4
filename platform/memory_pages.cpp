// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_pages.h"

#include <cstdint>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace nimbrel {

#if defined(__linux__)

bool ZeroByReleasingPages(void* block, std::size_t size) {
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) {
    return false;
  }
  const auto page = static_cast<std::uintptr_t>(pageSize);
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t end = begin + size;
  const std::uintptr_t firstPage = (begin + page - 1) / page * page;
  const std::uintptr_t lastPage = end / page * page;
  if (firstPage >= lastPage) {
    return false;
  }
  // Private anonymous memory reads as fresh zero pages after MADV_DONTNEED (on Linux; other
  // systems' DONTNEED may keep the old contents).
  if (madvise(reinterpret_cast<void*>(firstPage), lastPage - firstPage, MADV_DONTNEED) != 0) {
    return false;
  }
  std::memset(block, 0, firstPage - begin);
  std::memset(reinterpret_cast<void*>(lastPage), 0, end - lastPage);
  return true;
}

#else

// Elsewhere the caller writes the zeros. On Windows, MEM_RESET and DiscardVirtualMemory leave the
// pages' contents undefined, and decommitting is sound only for a block VirtualAlloc reserved.
bool ZeroByReleasingPages(void*, std::size_t) {
  return false;
}

#endif

}  // namespace nimbrel
