// The installation lock on POSIX: one lock file in the folder, taken alone
// to switch and shared to read; whatever stands at its name is never
// removed, truncated or followed; every refusal names its cause.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "core/DryRun.h"
#include "core/Installation.h"
#include "platform/posix/PosixPlatform.h"
#include "support/Installation.h"
#include "support/TempDir.h"
#include "support/TinyFs.h"

namespace fs = std::filesystem;
using platform::FolderLock;
using platform::LockMode;
using Kind = platform::FolderLock::Kind;
using quillan_test::TempDir;
using namespace std::chrono_literals;

namespace {

const auto kGoOn = [](int) { return true; };

class Lock : public ::testing::Test {
 protected:
  Lock() : base(dir.MakeFolder("c1")), file(base + "/.quillan.lock") {}
  FolderLock Take(LockMode mode, std::chrono::milliseconds wait = 0ms,
                  const std::function<bool(int)>& waiting = kGoOn) {
    return os.LockFolder(base, mode, wait, waiting);
  }

  TempDir dir;
  platform::posix::PosixPlatform os, other;
  const std::string base;
  const std::string file;
};

// What may stand at the lock's name, and what each kind of run makes of it.
TEST_F(Lock, WhatStandsAtTheNameIsUsedOrRefusedButNeverChanged) {
  struct Case {
    const char* what;
    std::function<void()> plant;
    Kind switching, reading;
    const char* error;  // of a refusal
  };
  const Case cases[] = {
      {"nothing: a switch makes it, a reader makes nothing", [] {}, Kind::Held, Kind::Free, ""},
      {"another user's file with content", [&] { TempDir::WriteFile(file, "their notes\n"); }, Kind::Held,
       Kind::Held, ""},
      {"a link", [&] { fs::create_symlink(dir.Join("elsewhere"), file); }, Kind::Failed, Kind::Failed,
       "not a plain file"},
      {"a folder", [&] { fs::create_directory(file); }, Kind::Failed, Kind::Failed, "not a plain file"},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0); }, Kind::Failed, Kind::Failed,
       "not a plain file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(file);
    c.plant();
    const auto typeBefore = fs::symlink_status(file).type();
    const std::string contentBefore = fs::is_regular_file(file) ? TempDir::ReadFile(file) : "";

    const FolderLock read = Take(LockMode::Read);
    EXPECT_EQ(read.kind, c.reading);
    EXPECT_EQ(fs::symlink_status(file).type(), typeBefore);  // a reader makes nothing
    if (read.kind == Kind::Held) os.UnlockFolder(read.handle);
    const FolderLock held = Take(LockMode::Switch);
    EXPECT_EQ(held.kind, c.switching);
    EXPECT_EQ(held.where, file);
    if (held.kind == Kind::Held) {
      os.UnlockFolder(held.handle);
      // Kept as it was after the release: never removed, never written.
      ASSERT_TRUE(fs::is_regular_file(file));
      EXPECT_EQ(TempDir::ReadFile(file), contentBefore);
    } else {
      EXPECT_EQ(held.error, c.error);
      EXPECT_EQ(read.error, c.error);
      EXPECT_EQ(fs::symlink_status(file).type(), typeBefore);
    }
    EXPECT_FALSE(TempDir::Exists(dir.Join("elsewhere")));
  }
  EXPECT_EQ(os.LockFolder(dir.Join("nowhere"), LockMode::Switch, 0ms, kGoOn).kind, Kind::NoFolder);
}

// One switching holder at a time; a reader waits for it too; a wait is bounded and
// ends at once when the caller says so (Ctrl-C); a release lets a waiter in.
TEST_F(Lock, TakersAndReadersWaitForTheHolderBoundedly) {
  const FolderLock held = Take(LockMode::Switch);
  ASSERT_EQ(held.kind, Kind::Held);
  for (const LockMode mode : {LockMode::Switch, LockMode::Read}) {
    SCOPED_TRACE(mode == LockMode::Switch ? "switch" : "read");
    int rounds = 0;
    const auto start = std::chrono::steady_clock::now();
    const FolderLock busy = other.LockFolder(base, mode, 300ms, [&](int) { return ++rounds > 0; });
    EXPECT_EQ(busy.kind, Kind::Busy);
    EXPECT_EQ(busy.error, "held by another run");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_GT(rounds, 1);
    // Ctrl-C during a long wait: the next round ends it.
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(other.LockFolder(base, mode, 60s, [](int round) { return round == 0; }).kind, Kind::Busy);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
    // No wait at all: no round is waited.
    rounds = 0;
    EXPECT_EQ(other.LockFolder(base, mode, 0ms, [&](int) { return ++rounds > 0; }).kind, Kind::Busy);
    EXPECT_EQ(rounds, 0);
  }
  std::thread release([&] {
    std::this_thread::sleep_for(200ms);
    os.UnlockFolder(held.handle);
  });
  const FolderLock next = other.LockFolder(base, LockMode::Switch, 5s, kGoOn);
  release.join();
  ASSERT_EQ(next.kind, Kind::Held);
  EXPECT_EQ(Take(LockMode::Read).kind, Kind::Busy);
  other.UnlockFolder(next.handle);
  // Readers hold it together; a switch waits for them, so none reads a switch half done.
  const FolderLock reader = Take(LockMode::Read);
  ASSERT_EQ(reader.kind, Kind::Held);
  const FolderLock second = other.LockFolder(base, LockMode::Read, 0ms, kGoOn);
  EXPECT_EQ(second.kind, Kind::Held);
  EXPECT_EQ(other.LockFolder(base, LockMode::Switch, 100ms, kGoOn).kind, Kind::Busy);
  os.UnlockFolder(reader.handle);
  other.UnlockFolder(second.handle);
  const FolderLock after = other.LockFolder(base, LockMode::Switch, 0ms, kGoOn);
  EXPECT_EQ(after.kind, Kind::Held);
  other.UnlockFolder(after.handle);
}

// The file removed under its holder: a waiter does not trust a lock on the
// file that lost its name; it takes the one now there, so that one run, and
// only one, holds the lock on the file at the name.
TEST_F(Lock, AFileRemovedUnderItsHolderIsNotTrustedByTheNextRun) {
  const FolderLock first = Take(LockMode::Switch);
  ASSERT_EQ(first.kind, Kind::Held);
  std::atomic<bool> waiting{false};
  FolderLock second;
  std::thread waiter([&] {
    second = other.LockFolder(base, LockMode::Switch, 10s, [&](int) { return waiting = true; });
  });
  while (!waiting) std::this_thread::sleep_for(10ms);
  fs::remove(file);
  os.UnlockFolder(first.handle);
  waiter.join();
  ASSERT_EQ(second.kind, Kind::Held);
  platform::posix::PosixPlatform third;
  EXPECT_EQ(third.LockFolder(base, LockMode::Switch, 0ms, kGoOn).kind, Kind::Busy);
  other.UnlockFolder(second.handle);
}

// Where the file cannot be made, a switch is refused at once with the
// system's reason; a reader goes on, having made nothing.
TEST_F(Lock, ACauseIsNamedAtOnceWhereTheFileCannotBeMade) {
  const auto refusedAtOnce = [](const std::string& path, const std::string& error) {
    platform::posix::PosixPlatform posix;
    const auto start = std::chrono::steady_clock::now();
    const FolderLock lock = posix.LockFolder(path, LockMode::Switch, 10s, kGoOn);
    EXPECT_EQ(lock.kind, Kind::Failed);
    EXPECT_EQ(lock.error, error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(posix.LockFolder(path, LockMode::Read, 10s, kGoOn).kind, Kind::Free);
  };
  refusedAtOnce("/proc/self", "No such file or directory");
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string small = dir.MakeFolder("small");
  quillan_test::TinyFs fsFull(small, "size=1m,nr_inodes=8");
  if (!fsFull.Mounted()) GTEST_SKIP() << "cannot mount a file system here";
  // Fill every inode.
  for (int i = 0; TempDir::Exists(small) && i < 64; ++i) {
    std::ofstream out(small + "/f" + std::to_string(i));
    if (!out) break;
  }
  struct statvfs st {};
  ASSERT_EQ(::statvfs(small.c_str(), &st), 0);
  ASSERT_EQ(st.f_favail, 0u);
  refusedAtOnce(small, "No space left on device");
  ASSERT_TRUE(fsFull.MakeReadOnly());
  refusedAtOnce(small, "Read-only file system");
}

// --check meets the real run's fate: with room for one folder of three, the
// prediction and the run agree on which is made and which is not.
TEST_F(Lock, APredictionCountsTheInodesTheRunWillNeed) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string small = dir.MakeFolder("small");
  quillan_test::TinyFs tiny(small, "size=1m,nr_inodes=64");
  if (!tiny.Mounted()) GTEST_SKIP() << "cannot mount a file system here";
  const std::string c1 = quillan_test::MakeInstallation(small + "/c1", {{"A"}, {}, true, false, false, false});
  for (int i = 0;; ++i) {
    struct statvfs st {};
    ASSERT_EQ(::statvfs(small.c_str(), &st), 0);
    if (st.f_favail <= 1) break;
    std::ofstream(small + "/f" + std::to_string(i));
  }
  std::vector<core::FolderResult> predicted;
  {
    core::DryRunPlatform dry;
    platform::ScopedPlatform scoped(dry);
    predicted = core::CreateInactiveFolders(c1);
  }
  EXPECT_FALSE(TempDir::Exists(c1 + "/inactive.snapins"));
  const auto real = core::CreateInactiveFolders(c1);
  ASSERT_EQ(predicted.size(), 3u);
  ASSERT_EQ(real.size(), 3u);
  using K = core::FolderResult::Kind;
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(predicted[i].kind, i == 0 ? K::Created : K::Failed);
    EXPECT_EQ(real[i].kind, predicted[i].kind);
    EXPECT_EQ(real[i].error, predicted[i].error);
  }
}

}  // namespace
