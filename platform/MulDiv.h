// Rounding multiply-divide.
#pragma once

namespace platform {

// number × numerator ÷ denominator, computed in 64 bits and rounded to the
// nearest integer (halves away from zero). A zero denominator, or a result
// that does not fit in an int, gives -1; callers that cannot use -1 check for those cases
// themselves.
int MulDiv(int number, int numerator, int denominator);

}  // namespace platform
