// The program's own main, compiled in under another name, so that a failed
// framework start-up can be forced; the real program has no way to fail it.
#include <gtest/gtest.h>

#include "platform/afxapp.h"

#define main ProgramMain
#include "app/main.cpp"
#undef main

TEST(ProgramEntryTest, FrameworkFailureEndsWithCodeOne)
{
    g_afxFaults.bFailWinInit = TRUE;
    char name[] = "kelvane";
    char word[] = "search";
    char* argv[] = {name, word, nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = ProgramMain(2, argv, nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    g_afxFaults = AfxFaults();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Fatal Error: MFC initialization failed\n");
}
