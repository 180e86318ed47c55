// Entry point of the Windows test binaries: the program links with -municode,
// which wants wmain, and gtest_main only has main.
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
