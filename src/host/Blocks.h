// Zero-filled byte blocks in which messages are built.
#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled block of `size` bytes; null for a size below 1 or when memory is exhausted.
std::uint8_t* AllocateZeroed(std::ptrdiff_t size);

// Releases a block from AllocateZeroed; null is ignored.
void FreeBlock(std::uint8_t* block);
