// The registry monitor's threads against an in-memory registry that other
// threads change, as other programs would.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/host/MemoryRegistry.h"
#include "registry/RegistryHelper.h"
#include "shields/RegistryChangeMonitor.h"

namespace {

using namespace std::chrono_literals;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMain = "Software\\Microsoft\\Internet Explorer\\Main";

class Recorder {
  public:
    void Changed(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        ids_.push_back(id);
        changed_.notify_all();
    }
    void Failed(std::string_view message) {
        std::lock_guard<std::mutex> lock(mutex_);
        failures_.emplace_back(message);
        changed_.notify_all();
    }
    // Waits until `count` changes arrived (or `limit` passed).
    std::vector<int> WaitForChanges(std::size_t count, std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return ids_.size() >= count; });
        return ids_;
    }
    std::vector<std::string> WaitForFailures(std::size_t count,
                                             std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return failures_.size() >= count; });
        return failures_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> ids_;
    std::vector<std::string> failures_;
};

class RegistryChangeMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(helper_.OpenOrCreateKey(kHkeyCurrentUser, kRun));
        ASSERT_TRUE(helper_.OpenOrCreateKey(kHkeyCurrentUser, kMain));
        ASSERT_TRUE(helper_.OpenOrCreateKey(kHkeyCurrentUser, std::string(kMain) + "\\Sub"));
        monitor_.SetOwner([this](int id) { OnChange(id); },
                          [this](std::string_view message) { recorder_.Failed(message); });
    }
    virtual void OnChange(int id) {
        if (handler_)
            handler_(id);
        recorder_.Changed(id);
    }
    // Waits until every monitor is blocked in its notification, so that a
    // change made now is one it sees.
    void WaitUntilArmed(std::size_t count) {
        for (int i = 0; i < 400 && registry_.WatchCount() < count; ++i)
            std::this_thread::sleep_for(5ms);
        ASSERT_GE(registry_.WatchCount(), count);
    }

    platform::host::MemoryRegistry registry_;
    CRegistryHelper helper_{registry_};
    Recorder recorder_;
    std::function<void(int)> handler_;
    shields::CRegistryChangeMonitor monitor_{registry_};
};

TEST_F(RegistryChangeMonitorTest, EachKeyReportsItsIdAndIsArmedAgain) {
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kMain, 2));
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    WaitUntilArmed(2);
    helper_.SetString(kHkeyCurrentUser, kRun, "a", "a.exe");
    EXPECT_EQ(recorder_.WaitForChanges(1), std::vector<int>{4});
    WaitUntilArmed(2);
    helper_.SetString(kHkeyCurrentUser, kMain, "Start Page", "x");
    EXPECT_EQ(recorder_.WaitForChanges(2), (std::vector<int>{4, 2}));
    // A subkey's change counts too.
    WaitUntilArmed(2);
    helper_.SetString(kHkeyCurrentUser, std::string(kMain) + "\\Sub", "v", "1");
    EXPECT_EQ(recorder_.WaitForChanges(3), (std::vector<int>{4, 2, 2}));
    monitor_.Stop();
    EXPECT_EQ(monitor_.size(), 0u);
}

TEST_F(RegistryChangeMonitorTest, WhatTheHandlerWritesIsNotReportedBack) {
    // The handler undoes the change, as a refused alert does.
    handler_ = [this](int) { helper_.DeleteValue(kHkeyCurrentUser, kRun, "bad"); };
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    WaitUntilArmed(1);
    helper_.SetString(kHkeyCurrentUser, kRun, "bad", "bad.exe");
    EXPECT_EQ(recorder_.WaitForChanges(1).size(), 1u);
    WaitUntilArmed(1);
    EXPECT_EQ(recorder_.WaitForChanges(2, 200ms).size(), 1u);
    EXPECT_EQ(helper_.QueryString(kHkeyCurrentUser, kRun, "bad", "gone"), "gone");
}

TEST_F(RegistryChangeMonitorTest, AMissingKeyEndsItsMonitorOnceTheOthersGoOn) {
    ASSERT_TRUE(monitor_.AddKey(kHkeyLocalMachine, kMain, 3));
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    EXPECT_EQ(recorder_.WaitForFailures(1),
              std::vector<std::string>{"Error in RegOpenKeyEx while monitoring key"});
    WaitUntilArmed(1);
    helper_.SetString(kHkeyCurrentUser, kRun, "a", "a.exe");
    EXPECT_EQ(recorder_.WaitForChanges(1), std::vector<int>{4});
    EXPECT_EQ(monitor_.running(), 1u);
    EXPECT_EQ(recorder_.WaitForFailures(2, 200ms).size(), 1u);
}

TEST_F(RegistryChangeMonitorTest, AKeyDeletedUnderTheMonitorIsReportedThenUnwatched) {
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    WaitUntilArmed(1);
    ASSERT_EQ(helper_.DeleteKeyTree(kHkeyCurrentUser, kRun), platform::kSuccess);
    EXPECT_EQ(recorder_.WaitForChanges(1), std::vector<int>{4});
    EXPECT_EQ(recorder_.WaitForFailures(1),
              std::vector<std::string>{"Error in RegOpenKeyEx while monitoring key"});
    for (int i = 0; i < 400 && monitor_.running() > 0; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(monitor_.running(), 0u);
}

TEST_F(RegistryChangeMonitorTest, StopWakesEveryWaitingThreadWithoutAReport) {
    for (int id = 2; id <= 5; ++id)
        ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, id % 2 ? kRun : kMain, id));
    WaitUntilArmed(4);
    const auto begin = std::chrono::steady_clock::now();
    int waited = 0;
    monitor_.Stop([&waited] { ++waited; });
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_EQ(monitor_.size(), 0u);
    EXPECT_TRUE(recorder_.WaitForChanges(1, 100ms).empty());
    EXPECT_TRUE(recorder_.WaitForFailures(1, 100ms).empty());
    // A stopped monitor can be given keys again.
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    WaitUntilArmed(1);
    helper_.SetString(kHkeyCurrentUser, kRun, "b", "b.exe");
    EXPECT_EQ(recorder_.WaitForChanges(1), std::vector<int>{4});
}

}  // namespace

namespace {

TEST_F(RegistryChangeMonitorTest, AKeyThatMayNotBeWatchedFailsOnceTheOthersGoOn) {
    registry_.DenyAccess(kHkeyCurrentUser, kMain, platform::kKeyNotify);
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kMain, 2));
    ASSERT_TRUE(monitor_.AddKey(kHkeyCurrentUser, kRun, 4));
    EXPECT_EQ(recorder_.WaitForFailures(1),
              std::vector<std::string>{"Error in RegOpenKeyEx while monitoring key"});
    WaitUntilArmed(1);
    helper_.SetString(kHkeyCurrentUser, kMain, "Start Page", "x");
    helper_.SetString(kHkeyCurrentUser, kRun, "a", "a.exe");
    EXPECT_EQ(recorder_.WaitForChanges(1), std::vector<int>{4});
    EXPECT_EQ(recorder_.WaitForChanges(2, 200ms), std::vector<int>{4});
    EXPECT_EQ(recorder_.WaitForFailures(2, 200ms).size(), 1u);
}

}  // namespace
