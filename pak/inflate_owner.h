#pragma once
// Ends a zlib inflate stream however the code that uses it is left.

#include <zlib.h>
#include "base/owned.h"

inline void EndInflate(z_stream* stream)
{
    inflateEnd(stream);
}

// Holds a stream that inflateInit has started.
typedef Owned<z_stream*, EndInflate> InflateOwner;
