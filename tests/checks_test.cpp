// The checks every host shares, with no host at all: described arguments in, the first
// refusal or the job out, and the shift's scalar read only once every earlier check has
// passed (a host may raise its own error there).
#include "argument_checks.h"
#include "support/refusal_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using zorvan::Argument;
using zorvan::Average;

struct Scalar {
    double value;
    mutable int reads = 0;
};

double readScalar(const void* host) {
    const auto* scalar = static_cast<const Scalar*>(host);
    ++scalar->reads;
    return scalar->value;
}

Argument doubles(std::size_t rows, std::size_t columns, const Scalar* scalar = nullptr) {
    Argument a;
    a.isDouble = true;
    a.rows = rows;
    a.columns = columns;
    a.elements = rows * columns;
    a.isEmpty = a.elements == 0;
    a.scalar = readScalar;
    a.host = scalar;
    return a;
}

const char* check(Average average, const std::vector<Argument>& arguments, zorvan::ColumnJob& job) {
    return zorvan::checkCall(average, static_cast<int>(arguments.size()), arguments.data(), job);
}

TEST(Checks, FirstRefusalInOrderAndTheShiftReadLast) {
    const double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        Average average;
        double W, S;              // the window's and the shift's scalars
        bool complexX, shortV;    // later faults that earlier ones must hide
        const char* refusal;      // nullptr: accepted
    };
    const Case cases[] = {
        {Average::plain, 3, 1, true, false, refusal::kComplexX},
        {Average::plain, 0, 100, false, false, refusal::kWindowRange},
        {Average::plain, NAN, 1, false, false, refusal::kWindowRange},
        {Average::plain, 3, 8, false, false, refusal::kShiftTooLarge},
        {Average::plain, 3, kInf, false, false, refusal::kShiftTooLarge},
        {Average::plain, 3, 2147483648.0, false, false, refusal::kShiftTooLarge},
        {Average::plain, 3, 7.9, false, false, nullptr},
        {Average::plain, 3, -kInf, false, false, nullptr},
        {Average::restricted, 0, 100, false, true, refusal::kShortV},
        {Average::restricted, 0, 100, false, false, refusal::kWindowRange},
        {Average::restricted, 3, NAN, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("W = " + std::to_string(c.W) + ", S = " + std::to_string(c.S));
        const Scalar window{c.W}, shift{c.S};
        Argument X = doubles(7, 2);
        X.isComplex = c.complexX;
        std::vector<Argument> arguments{X, doubles(1, 1, &window)};
        if (c.average == Average::restricted) arguments.push_back(doubles(c.shortV ? 6 : 7, 1));
        arguments.push_back(doubles(1, 1, &shift));
        zorvan::ColumnJob job{};
        const char* refusal = check(c.average, arguments, job);
        EXPECT_STREQ(refusal, c.refusal);
        // The shift is read where its own check stands, never before a refusal ahead of it.
        const bool shiftChecked = c.refusal == nullptr || c.refusal == refusal::kShiftTooLarge;
        EXPECT_EQ(shift.reads, shiftChecked ? 1 : 0);
        if (c.refusal == nullptr) {
            EXPECT_EQ(job.M, 7);
            EXPECT_EQ(job.N, 2);
            EXPECT_EQ(job.S, std::isnan(c.S) || c.S < 0 ? std::numeric_limits<std::int32_t>::min()
                                                        : static_cast<std::int32_t>(c.S));
        }
    }
    // The count comes before anything is looked at; an empty shift is never read.
    zorvan::ColumnJob job{};
    const Scalar empty{1e9};
    Argument nothing = doubles(0, 0, &empty);
    EXPECT_STREQ(check(Average::restricted, {doubles(7, 1), doubles(1, 1)}, job), refusal::kCount);
    const Scalar window{3};
    EXPECT_EQ(check(Average::plain, {doubles(7, 1), doubles(1, 1, &window), nothing}, job), nullptr);
    EXPECT_EQ(empty.reads, 0);
    EXPECT_EQ(job.S, 0);
}

}  // namespace
