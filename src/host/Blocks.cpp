// Zero-filled byte blocks from the system allocator.
#include "host/Blocks.h"

#include <cstdlib>

std::uint8_t* AllocateZeroed(std::ptrdiff_t size)
{
    if (size < 1) {
        return nullptr;
    }
    return static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size), 1));
}

void FreeBlock(std::uint8_t* block)
{
    std::free(block);
}
