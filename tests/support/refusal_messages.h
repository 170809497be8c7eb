// Every text a gateway may refuse a call with. A refusal with any other text, or with
// none of these where one is due, is a fault.
#ifndef ZORVAN_TESTS_REFUSAL_MESSAGES_H
#define ZORVAN_TESTS_REFUSAL_MESSAGES_H

namespace refusal {

inline constexpr const char* kCount = "Invalid number of input arguments";
inline constexpr const char* kComplexX = "MA of a complex sequence not supported.";
inline constexpr const char* kNonDoubleX = "MA of non double matrices not supported.";
inline constexpr const char* kSparseX = "MA of sparse matrices not supported.";
inline constexpr const char* kBadWindow = "Window size must be a real scalar double.";
inline constexpr const char* kWindowRange = "Window size must be between 1 and 2147483647.";
inline constexpr const char* kShiftTooLarge = "Row size must be greater than Shift.";
inline constexpr const char* kComplexV = "Vector of a complex sequence not supported.";
inline constexpr const char* kNonDoubleV = "Vector of non double not supported.";
inline constexpr const char* kSparseV = "Sparse vector not supported.";
inline constexpr const char* kShortV = "Vector must have at least as many elements as X has rows.";
inline constexpr const char* kTooLarge = "Matrix dimensions must be less than 2^31.";

inline constexpr const char* kAll[] = {
    kCount,         kComplexX, kNonDoubleX, kSparseX, kBadWindow, kWindowRange,
    kShiftTooLarge, kComplexV, kNonDoubleV, kSparseV, kShortV,    kTooLarge};

}  // namespace refusal

#endif
