#pragma once

#include <cstdint>
#include <string>

// Plain decimal: minus sign for negatives, no padding, no grouping.
std::u16string DecimalText(std::int64_t value);
