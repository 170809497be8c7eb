// Both gateways as a host meets them: each MEX file is loaded by path and its
// mexFunction called with stand-in arrays. Run as: gateway_test <folder of MEX files>
#include "support/arrays.h"
#include "support/module_loader.h"
#include "support/refusal_messages.h"
#include "support/window_oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <exception>
#include <limits>
#include <memory>

namespace {

using Column = std::vector<double>;
using Inputs = std::vector<const mxArray*>;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const size_t k2To31 = size_t{1} << 31;

using namespace refusal;

MexEntry zorvan() {
    static LoadedModule module(modulePath("Zorvan"));
    return module.entry();
}

MexEntry restricted() {
    static LoadedModule module(modulePath("ZorvanRestricted"));
    return module.entry();
}

// The call must be refused with exactly this text, leave no array behind, and
// store no output.
void expectRefusal(MexEntry entry, const Inputs& inputs, const std::string& message) {
    const size_t liveBefore = standinLiveArrays();
    const CallOutcome outcome = callGateway(entry, inputs);
    ASSERT_TRUE(outcome.refusal.has_value()) << "accepted; expected \"" << message << '"';
    EXPECT_EQ(*outcome.refusal, message);
    EXPECT_EQ(outcome.output, nullptr);
    EXPECT_EQ(standinLiveArrays(), liveBefore);
    // The error thrown in libmex and caught here must leave the host's runtime with no
    // exception in flight (not so if libmex and this program had a runtime each).
    EXPECT_EQ(std::uncaught_exceptions(), 0);
}

// The call must succeed with an M x N double output and leave its inputs as they were;
// returns the output's values.
Column expectResult(MexEntry entry, const Inputs& inputs, size_t M, size_t N, int nlhs = 1) {
    std::vector<std::vector<unsigned char>> before;
    for (const mxArray* input : inputs) before.push_back(realBytes(input));
    const CallOutcome outcome = callGateway(entry, inputs, nlhs);
    EXPECT_FALSE(outcome.refusal.has_value()) << "refused: " << outcome.refusal.value_or("");
    if (outcome.output == nullptr) {
        ADD_FAILURE() << "no output stored";
        return {};
    }
    std::unique_ptr<mxArray, void (*)(mxArray*)> owned(outcome.output, mxDestroyArray);
    EXPECT_TRUE(mxIsDouble(owned.get()) && !mxIsComplex(owned.get()) && !mxIsSparse(owned.get()));
    EXPECT_EQ(mxGetM(owned.get()), M);
    EXPECT_EQ(mxGetN(owned.get()), N);
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(realBytes(inputs[i]), before[i]) << "input " << i << " was changed";
    }
    return valuesOf(owned.get());
}

const Column kOneToSeven{1, 2, 3, 4, 5, 6, 7};

// ---------------------------------------------------------------- Zorvan refusals

TEST(ZorvanRefusals, ArgumentCountComesFirst) {
    ArrayPool pool;
    mxArray* cell = pool.make(mxCELL_CLASS, {1, 1});
    expectRefusal(zorvan(), {}, kCount);
    expectRefusal(zorvan(), {cell}, kCount);
    expectRefusal(zorvan(), {cell, cell, cell, cell}, kCount);
}

TEST(ZorvanRefusals, DataMatrixIsCheckedComplexThenClassThenSparsity) {
    ArrayPool pool;
    mxArray* W = pool.scalar(3);
    expectRefusal(zorvan(), {pool.make(mxINT32_CLASS, {3, 1}, mxCOMPLEX), W}, kComplexX);
    expectRefusal(zorvan(), {pool.sparse(3, 1, mxCOMPLEX), W}, kComplexX);
    for (mxClassID cls : {mxSINGLE_CLASS, mxINT8_CLASS, mxUINT64_CLASS, mxLOGICAL_CLASS,
                          mxCHAR_CLASS, mxCELL_CLASS}) {
        expectRefusal(zorvan(), {pool.make(cls, {3, 1}), W}, kNonDoubleX);
    }
    expectRefusal(zorvan(), {pool.sparse(3, 2), W}, kSparseX);
    // X is looked at before W.
    expectRefusal(zorvan(), {pool.sparse(3, 2), pool.make(mxCELL_CLASS, {1, 1})}, kSparseX);
}

TEST(ZorvanRefusals, WindowMustBeARealScalarDouble) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    for (mxArray* W : {pool.row({3, 3}), pool.make(mxDOUBLE_CLASS, {1, 1}, mxCOMPLEX),
                       pool.make(mxINT32_CLASS, {1, 1}), pool.make(mxSINGLE_CLASS, {1, 1}),
                       pool.make(mxDOUBLE_CLASS, {0, 0}), pool.make(mxDOUBLE_CLASS, {1, 1, 2}),
                       pool.make(mxCELL_CLASS, {1, 1}), pool.make(mxCHAR_CLASS, {1, 1})}) {
        expectRefusal(zorvan(), {X, W}, kBadWindow);
        expectRefusal(zorvan(), {X, W, pool.scalar(100)}, kBadWindow);
    }
}

TEST(ZorvanRefusals, DimensionsMustFitThirtyTwoBitCounts) {
    ArrayPool pool;
    mxArray* W = pool.scalar(3);
    // None of these has data the gateway may touch: the stand-in aborts if it tries.
    for (std::vector<size_t> dims : std::vector<std::vector<size_t>>{
             {k2To31, 1}, {1, k2To31}, {k2To31, 0}, {0, k2To31}, {2, size_t{1} << 30, 2}}) {
        expectRefusal(zorvan(), {pool.make(mxDOUBLE_CLASS, dims), W}, kTooLarge);
    }
    // W is checked before the size, the size before the window range and the shift.
    mxArray* huge = pool.make(mxDOUBLE_CLASS, {k2To31, 1});
    expectRefusal(zorvan(), {huge, pool.row({1, 2})}, kBadWindow);
    expectRefusal(zorvan(), {huge, pool.scalar(0), pool.scalar(1e12)}, kTooLarge);
    // Just below the limit is accepted.
    EXPECT_TRUE(expectResult(zorvan(), {pool.make(mxDOUBLE_CLASS, {k2To31 - 1, 0}), W},
                             k2To31 - 1, 0)
                    .empty());
}

TEST(Gateways, NoRowsAndTheMostColumnsReturnAtOnce) {
    // Found by fuzzing: 2^31 - 1 columns of no rows once meant 2^31 - 1 empty kernel
    // calls, seconds of work (over a minute under the sanitizers) for an empty result.
    ArrayPool pool;
    mxArray* X = pool.make(mxDOUBLE_CLASS, {0, k2To31 - 1});
    EXPECT_TRUE(expectResult(zorvan(), {X, pool.scalar(3)}, 0, k2To31 - 1).empty());
    EXPECT_TRUE(expectResult(restricted(), {X, pool.scalar(3), pool.make(mxDOUBLE_CLASS, {0, 0})},
                             0, k2To31 - 1)
                    .empty());
}

TEST(ZorvanRefusals, WindowBelowOneOrOutOfRangeIsRefusedAfterConversion) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    for (double W : {0.5, 0.0, -0.0, -1.0, -3.7, kNaN, kInf, -kInf, 2147483648.0, 1e300}) {
        expectRefusal(zorvan(), {X, pool.scalar(W)}, kWindowRange);
    }
    // The window is judged before the shift.
    expectRefusal(zorvan(), {X, pool.scalar(0), pool.scalar(100)}, kWindowRange);
    // The largest window is a cumulative mean.
    EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, pool.scalar(2147483647.0)}, 7, 1),
                         oracle::windowMeans(kOneToSeven, 2147483647, 0)));
}

TEST(ZorvanRefusals, ShiftMayReachButNotPassTheRowCount) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    mxArray* W = pool.scalar(3);
    expectRefusal(zorvan(), {X, W, pool.scalar(8)}, kShiftTooLarge);
    expectRefusal(zorvan(), {X, W, pool.scalar(8.5)}, kShiftTooLarge);
    // Past the 32-bit range is past every column, not no shift.
    for (double S : {2147483647.0, 2147483648.0, 1e10, 1e300, kInf}) {
        expectRefusal(zorvan(), {X, W, pool.scalar(S)}, kShiftTooLarge);
        expectRefusal(restricted(), {X, W, pool.column(Column(7, 1.0)), pool.scalar(S)},
                      kShiftTooLarge);
    }
    expectRefusal(zorvan(), {pool.make(mxDOUBLE_CLASS, {0, 3}), W, pool.scalar(1)},
                  kShiftTooLarge);
    EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, W, pool.scalar(7)}, 7, 1),
                         oracle::windowMeans(kOneToSeven, 3, 7)));
}

// ---------------------------------------------------------------- Zorvan results

TEST(Zorvan, AveragesEachColumnOnItsOwn) {
    ArrayPool pool;
    // The NaN of the first column must not reach the second.
    mxArray* X = pool.doubles({4, 2}, {1, kNaN, 3, 4, 10, 20, 30, 40});
    const Column y = expectResult(zorvan(), {X, pool.scalar(2)}, 4, 2);
    EXPECT_TRUE(sameResults(y, {1, kNaN, kNaN, kNaN, 10, 15, 25, 35}));
}

TEST(Zorvan, ConvertsWindowAndShiftByTruncation) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    const Column trailing = oracle::windowMeans(kOneToSeven, 3, 0);
    const Column shifted = oracle::windowMeans(kOneToSeven, 3, 1);
    EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, pool.scalar(3.9)}, 7, 1), trailing));
    EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, pool.scalar(3), pool.scalar(1.9)}, 7, 1),
                         shifted));
    // Negative (also below the 32-bit range) and NaN shifts act as no shift.
    for (double S : {-1.5, -7.0, kNaN, -kInf, -1e300}) {
        EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, pool.scalar(3), pool.scalar(S)}, 7, 1),
                             trailing))
            << "S = " << S;
    }
}

TEST(Zorvan, ReadsTheShiftAsAScalarWhateverItsShapeOrClass) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    mxArray* W = pool.scalar(3);
    const Column shifted = oracle::windowMeans(kOneToSeven, 3, 1);

    mxArray* square = pool.doubles({2, 2}, {1, 5, 6, 7});
    mxArray* int8Shift = pool.make(mxINT8_CLASS, {1, 1});
    *static_cast<std::int8_t*>(mxGetData(int8Shift)) = 1;
    mxArray* logicalShift = pool.make(mxLOGICAL_CLASS, {1, 1});
    *static_cast<unsigned char*>(mxGetData(logicalShift)) = 1;
    mxArray* complexShift = pool.make(mxDOUBLE_CLASS, {1, 1}, mxCOMPLEX);
    *mxGetPr(complexShift) = 1;
    *mxGetPi(complexShift) = 99;
    for (mxArray* S : {square, int8Shift, logicalShift, complexShift}) {
        EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, W, S}, 7, 1), shifted));
    }
}

TEST(Zorvan, EmptyShiftIsNoShift) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    for (mxArray* S : {pool.make(mxDOUBLE_CLASS, {0, 0}), pool.make(mxCHAR_CLASS, {1, 0}),
                       pool.make(mxCELL_CLASS, {0, 1})}) {
        EXPECT_TRUE(sameResults(expectResult(zorvan(), {X, pool.scalar(3), S}, 7, 1),
                             expectResult(zorvan(), {X, pool.scalar(3)}, 7, 1)));
    }
}

TEST(Zorvan, EmptyAndMultiDimensionalShapes) {
    ArrayPool pool;
    mxArray* W = pool.scalar(3);
    EXPECT_TRUE(expectResult(zorvan(), {pool.make(mxDOUBLE_CLASS, {0, 3}), W}, 0, 3).empty());
    EXPECT_TRUE(expectResult(zorvan(), {pool.make(mxDOUBLE_CLASS, {3, 0}), W}, 3, 0).empty());
    EXPECT_TRUE(
        expectResult(zorvan(), {pool.make(mxDOUBLE_CLASS, {0, 0}), W, pool.scalar(0)}, 0, 0).empty());

    // A 3 x 2 x 2 array is averaged as the 3 x 4 matrix of its columns.
    const Column values{1, 2, 3, 10, 20, 30, -1, -2, -3, 5, 7, 9};
    const Column y = expectResult(zorvan(), {pool.doubles({3, 2, 2}, values), pool.scalar(2)}, 3, 4);
    Column expected;
    for (size_t c = 0; c < 4; ++c) {
        const Column column(values.begin() + static_cast<long>(3 * c),
                            values.begin() + static_cast<long>(3 * c + 3));
        const Column means = oracle::windowMeans(column, 2, 0);
        expected.insert(expected.end(), means.begin(), means.end());
    }
    EXPECT_TRUE(sameResults(y, expected));
}

TEST(Zorvan, FillsTheFirstOutputSlotEvenWhenNoOutputIsRequested) {
    ArrayPool pool;
    const Column y = expectResult(zorvan(), {pool.column(kOneToSeven), pool.scalar(3), pool.scalar(1)},
                                  7, 1, /*nlhs=*/0);
    EXPECT_TRUE(sameResults(y, {1.5, 2, 3, 4, 5, 6, 6.5}));
}

// ---------------------------------------------------------------- ZorvanRestricted refusals

TEST(ZorvanRestrictedRefusals, ArgumentCountComesFirst) {
    ArrayPool pool;
    mxArray* cell = pool.make(mxCELL_CLASS, {1, 1});
    expectRefusal(restricted(), {cell, cell}, kCount);
    expectRefusal(restricted(), {cell, cell, cell, cell, cell}, kCount);
}

TEST(ZorvanRestrictedRefusals, DataThenWindowThenVector) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    mxArray* W = pool.scalar(3);
    mxArray* V = pool.column(Column(7, 1.0));
    mxArray* complexV = pool.make(mxDOUBLE_CLASS, {7, 1}, mxCOMPLEX);
    expectRefusal(restricted(), {pool.make(mxDOUBLE_CLASS, {7, 1}, mxCOMPLEX), W, complexV},
                  kComplexX);
    expectRefusal(restricted(), {pool.make(mxSINGLE_CLASS, {7, 1}), W, V}, kNonDoubleX);
    expectRefusal(restricted(), {pool.sparse(7, 1), W, V}, kSparseX);
    expectRefusal(restricted(), {X, pool.row({3, 3}), complexV}, kBadWindow);
    expectRefusal(restricted(), {X, W, pool.make(mxINT16_CLASS, {7, 1}, mxCOMPLEX)}, kComplexV);
    expectRefusal(restricted(), {X, W, pool.make(mxINT8_CLASS, {7, 1})}, kNonDoubleV);
    expectRefusal(restricted(), {X, W, pool.make(mxLOGICAL_CLASS, {7, 1})}, kNonDoubleV);
    expectRefusal(restricted(), {X, W, pool.sparse(7, 1)}, kSparseV);
    expectRefusal(restricted(), {X, W, pool.column(Column(6, 1.0))}, kShortV);
    expectRefusal(restricted(), {X, W, pool.make(mxDOUBLE_CLASS, {0, 0})}, kShortV);
    // The vector is judged before the window's range and the shift.
    expectRefusal(restricted(), {X, pool.scalar(0), pool.column({1}), pool.scalar(100)}, kShortV);
    expectRefusal(restricted(), {X, pool.scalar(0), V, pool.scalar(100)}, kWindowRange);
    expectRefusal(restricted(), {X, W, V, pool.scalar(8)}, kShiftTooLarge);
}

TEST(ZorvanRestrictedRefusals, DimensionsMustFitThirtyTwoBitCounts) {
    ArrayPool pool;
    mxArray* huge = pool.make(mxDOUBLE_CLASS, {k2To31, 1});
    mxArray* hugeV = pool.make(mxDOUBLE_CLASS, {k2To31, 1});
    expectRefusal(restricted(), {huge, pool.scalar(3), pool.column({1})}, kShortV);
    expectRefusal(restricted(), {huge, pool.scalar(3), hugeV}, kTooLarge);
    expectRefusal(restricted(), {pool.make(mxDOUBLE_CLASS, {1, k2To31}), pool.scalar(3),
                                 pool.scalar(1)},
                  kTooLarge);
}

// ---------------------------------------------------------------- ZorvanRestricted results

TEST(ZorvanRestricted, SelectionMayBeARowAColumnOrLonger) {
    ArrayPool pool;
    mxArray* X = pool.doubles({7, 2}, {1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1});
    const Column flags{1, 0, 1, 1, 0, 1, 1};
    const Column expected{1, 2, 3.5, 3.5, 5, 6.5, 6.5, 7, 6, 4.5, 4.5, 3, 1.5, 1.5};
    Column longer = flags;
    longer.insert(longer.end(), {0, 0, 0});
    for (mxArray* V : {pool.column(flags), pool.row(flags), pool.column(longer),
                       pool.doubles({2, 5}, longer)}) {
        EXPECT_TRUE(sameResults(expectResult(restricted(), {X, pool.scalar(3), V, pool.scalar(1)}, 7, 2),
                             expected));
    }
}

TEST(ZorvanRestricted, AbsentZeroAndEmptyShiftAgree) {
    ArrayPool pool;
    mxArray* X = pool.column(kOneToSeven);
    mxArray* W = pool.scalar(3);
    const Column flags{1, 0, kNaN, -0.0, 1, 1, 0};
    mxArray* V = pool.column(flags);
    const Column noShift = expectResult(restricted(), {X, W, V}, 7, 1);
    EXPECT_TRUE(sameResults(noShift, oracle::windowMeans(kOneToSeven, 3, 0, &flags)));
    EXPECT_TRUE(sameResults(expectResult(restricted(), {X, W, V, pool.scalar(0)}, 7, 1), noShift));
    EXPECT_TRUE(sameResults(expectResult(restricted(), {X, W, V, pool.make(mxDOUBLE_CLASS, {0, 0})}, 7, 1),
                         noShift));
}

TEST(ZorvanRestricted, AllSelectedMatchesZorvanAndMultiDimensionalInputIsColumns) {
    ArrayPool pool;
    Column values;
    for (int i = 0; i < 24; ++i) values.push_back(std::ldexp(1.0 + i * 0.37, (i * 7) % 41 - 20));
    mxArray* X = pool.doubles({6, 2, 2}, values);
    mxArray* all = pool.column(Column(6, 1.0));
    for (double S : {0.0, 1.0, 2.0}) {
        const Column plain = expectResult(zorvan(), {X, pool.scalar(3), pool.scalar(S)}, 6, 4);
        EXPECT_TRUE(sameResults(
            expectResult(restricted(), {X, pool.scalar(3), all, pool.scalar(S)}, 6, 4), plain));
    }
}

}  // namespace

namespace {
std::string gModuleDirectory = ".";
}

const std::string& moduleDirectory() { return gModuleDirectory; }

std::string modulePath(const std::string& name) {
#if defined(_WIN32)
    return moduleDirectory() + "/" + name + ".mexw64";
#else
    return moduleDirectory() + "/" + name + ".mexa64";
#endif
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) gModuleDirectory = argv[1];
    return RUN_ALL_TESTS();
}
