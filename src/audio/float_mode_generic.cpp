#include "audio/float_mode.h"

// Processors without a flush-to-zero mode known to us keep their mode.
ScopedFlushDenormals::ScopedFlushDenormals() = default;
ScopedFlushDenormals::~ScopedFlushDenormals() = default;
