#pragma once

#include <QByteArray>
#include <cstddef>

// Memory for received packets. A transport thread cuts thousands of small
// packets a second and the UI thread frees them later; one malloc and free per
// packet object and per packet's bytes, across threads, made the heap the
// bottleneck of the receive path.
//
// Objects are carved from per-thread slabs and bytes from per-thread blocks.
// Any thread may free them; a slab or block goes back when its last packet is
// gone, so memory stays bounded by what is alive.
namespace PacketPool {

// Storage for one data object of `size` bytes; big objects go to the heap.
void *Allocate(std::size_t size);
// Gives back what Allocate returned for the same `size`. Any thread.
void Free(void *object, std::size_t size) noexcept;

// A packet of `size` bytes whose content the caller writes at `write` before
// handing the array to anyone. Small packets share the calling thread's
// current block (their data is NUL-terminated as any QByteArray's); writing
// through the result itself copies it first, as for any shared array.
QByteArray Bytes(qsizetype size, char *&write);

// Maps in the whole pages of fresh memory about to be filled, in one call
// rather than one page fault each: a flood keeps every packet, so each of its
// pages is written once anyway. Any thread; the content stays as it was.
void Prefault(void *memory, std::size_t size) noexcept;

// Slabs allocated and not yet returned to the system, and of those the ones
// held empty for reuse.
struct TSlabCounts {
  int Live = 0;
  int Cached = 0;
};
TSlabCounts SlabCounts();

} // namespace PacketPool
