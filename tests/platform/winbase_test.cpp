// Pipes and threads of the kernel stand-ins: what the endpoint and the frame
// tests rely on, and the failures that must not take the process down.
#include <dirent.h>
#include <fcntl.h>

#include <atomic>

#include <gtest/gtest.h>

#include "platform/winbase.h"

namespace {

struct Pipe {
    Pipe() { EXPECT_TRUE(CreatePipe(&read, &write, nullptr, 0)); }
    ~Pipe() {
        if (read) CloseHandle(read);
        if (write) CloseHandle(write);
    }
    HANDLE read = nullptr;
    HANDLE write = nullptr;
};

int ThreadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(tasks);
    }
    return count;
}

TEST(WinbasePipe, EndsAreNotInheritedAcrossExec) {
    Pipe pipe;
    for (HANDLE end : {pipe.read, pipe.write}) {
        const int flags = fcntl(PipeDescriptor(end), F_GETFD);
        EXPECT_TRUE(flags >= 0 && (flags & FD_CLOEXEC));
    }
}

TEST(WinbasePipe, WriteWithoutReaderFailsInsteadOfKillingTheProcess) {
    Pipe pipe;
    CloseHandle(pipe.read);
    pipe.read = nullptr;
    DWORD done = 99;
    EXPECT_FALSE(WriteFile(pipe.write, "x", 1, &done, nullptr));
    EXPECT_EQ(0u, done);
}

TEST(WinbaseThread, ClosingTheHandleLetsTheThreadFinish) {
    Pipe done;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID pipe) -> DWORD {
            Sleep(50);
            DWORD written = 0;
            WriteFile(static_cast<HANDLE>(pipe), "!", 1, &written, nullptr);
            return 0;
        },
        done.write, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    CloseHandle(thread);
    char mark = 0;
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(done.read, &mark, 1, &got, nullptr));  // blocks until the thread wrote
    EXPECT_EQ('!', mark);
}

TEST(WinbaseThread, WaitTimesOutUntilTheThreadEndsAndNothingIsLeftBehind) {
    // The first round lets runtime helpers (a sanitizer's own thread) start.
    int before = 0;
    for (int round = 0; round < 2; ++round) {
        before = ThreadCount();
        std::atomic<int> release{0};
        DWORD id = 0;
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID flag) -> DWORD {
                while (static_cast<std::atomic<int>*>(flag)->load() == 0) Sleep(1);
                return 0;
            },
            &release, 0, &id);
        ASSERT_NE(nullptr, thread);
        EXPECT_NE(0u, id);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
        release = 1;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 3000));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
        CloseHandle(thread);
    }
    EXPECT_EQ(before, ThreadCount());
    Pipe notAThread;
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(notAThread.read, 0));
}

}  // namespace
