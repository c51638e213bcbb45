// Linked into every GoogleTest program: a run in which tests were skipped and
// none failed ends with status 77, which ctest shows as skipped
// (SKIP_RETURN_CODE) instead of passed. A failure still fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class SkipExitCode final : public testing::EmptyTestEventListener {
    void OnTestProgramEnd(const testing::UnitTest& test) override {
        if (test.Passed() && test.skipped_test_count() > 0) {
            std::fflush(nullptr);
            std::exit(77);
        }
    }
};

[[maybe_unused]] const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new SkipExitCode);
    return true;
}();

}  // namespace
