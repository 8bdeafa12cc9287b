#pragma once
// Reporting the progress of a long copy or check.

#include <cstdint>

// Called after every chunk with the chunk's byte count.
typedef void (*ProgressFunction)(uint32_t bytes, void* user);
