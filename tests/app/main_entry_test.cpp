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

TEST(ProgramEntryTest, StartUpNamesTheApplicationAfterItsModule)
{
    char name[] = "kelvane";
    char* argv[] = {name, nullptr};
    testing::internal::CaptureStdout();
    EXPECT_EQ(ProgramMain(1, argv, nullptr), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(theApp.m_strAppName, "kelvane_tests");
    EXPECT_EQ(theApp.m_hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(theApp.m_lpCmdLine, GetCommandLineA());
    EXPECT_NE(std::string(GetCommandLineA()).find("kelvane_tests"), std::string::npos);
}
