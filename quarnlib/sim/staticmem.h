// staticmem.h - the simulated cards' static memory: one reservation shared by every process of
// the user (a file mapping), sized in 4 KB pages, changed only by a request that takes effect
// after the machine has restarted, and reached through locks that map part of it.
#pragma once

#include <cstdint>

namespace quarnsim {

// Pages of the reservation in force; applies a pending request first when the machine has
// restarted since it was made. Returns a QUARN_* status.
int StaticMemGetPages(int* pages);
// Records a request for `pages` pages (0 .. 10,000,000), effective after the next restart.
int StaticMemSetPages(int pages);
// Maps [offset, offset + size) of the reservation in force; the whole range must lie inside it
// and be backed (a full memory file system gives a failed lock, never a later SIGBUS).
int StaticMemLock(uint64_t offset, uint64_t size, uint32_t* lock, void** address);
int StaticMemUnlock(uint32_t lock);

// Records that frames of `format` now lie in [offset, offset + bytes), so that a later
// transform of a frame read from there knows its format (16-bit frames may be YUV422 or RGB565).
void StaticMemTagFrames(uint64_t offset, uint64_t bytes, int format);
// When `address` lies inside a range that this process holds locked and a tag covers it, writes
// the tagged format and returns true.
bool StaticMemFormatAt(const void* address, int* format);

}  // namespace quarnsim
