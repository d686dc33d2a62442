// Floating-point numbers in the form a table-to-JSON writer with ten digits of precision gives
// them, once read back.
#pragma once

namespace platform::dataframe::internal {

// `number` (finite) as the writer's text reads back: magnitudes from 1e-15 to 1e16 are written
// in fixed point with at most 10 digits after the point (rounded half up from the digit below,
// ties on an odd digit or a zero fraction going up), others with 10 significant digits.
// A number whose 10 digits read back as infinity (beyond 1.797693134e308) keeps its value.
// 1e-11 gives 0.0, -1e-11 gives -0.0, 123456.123456789012 gives 123456.123456789.
double json_float(double number);

}  // namespace platform::dataframe::internal
