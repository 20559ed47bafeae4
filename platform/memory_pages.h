// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace nimbrel {

// Makes a written block of the program's own memory read as zeros again by handing its whole
// pages back to the system, and writes zeros only over the part pages at either end. False, with
// nothing changed, where the system gives no such guarantee (the caller then writes the zeros).
bool ZeroByReleasingPages(void* block, std::size_t size);

}  // namespace nimbrel
