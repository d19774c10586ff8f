// The single-instance lock in a shared temporary directory, against files other users made.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;
using Claim = platform::SingleInstance::Claim;

constexpr uid_t kOtherUser = 65534;  // nobody

// Points the lock at a scratch temporary directory, with no runtime directory.
class SharedTempLock : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("lock_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        save("TMPDIR", m_tmpdir);
        save("XDG_RUNTIME_DIR", m_runtime);
        ::setenv("TMPDIR", m_dir.c_str(), 1);
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override {
        restore("TMPDIR", m_tmpdir);
        restore("XDG_RUNTIME_DIR", m_runtime);
        fs::remove_all(m_dir);
    }
    static void save(const char* name, std::optional<std::string>& to) {
        if (const char* v = std::getenv(name)) to = v;
    }
    static void restore(const char* name, const std::optional<std::string>& from) {
        if (from)
            ::setenv(name, from->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::string shared() const { return (m_dir / ("Luxador-" + uid() + ".lock")).string(); }
    fs::path privateDir() const { return m_dir / ("luxador-" + uid()); }
    static std::string uid() { return std::to_string(::getuid()); }

    fs::path m_dir;
    std::optional<std::string> m_tmpdir, m_runtime;
};

TEST_F(SharedTempLock, OwnLockFileIsUsedAndClosedToOthers) {
    platform::SingleInstance first("Luxador");
    EXPECT_EQ(first.claim(), Claim::Owner);
    struct stat st {};
    ASSERT_EQ(::lstat(shared().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(privateDir()));
    EXPECT_EQ(platform::SingleInstance("Luxador").claim(), Claim::AlreadyRunning);
}

TEST_F(SharedTempLock, LockFileOfAnotherUserIsPassedOver) {
    const int held = ::open(shared().c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(held, 0);
    if (::fchown(held, kOtherUser, kOtherUser) != 0) {
        ::close(held);
        GTEST_SKIP() << "needs the right to give a file to another user";
    }
    ::fchmod(held, 0666);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // the other user "runs" it

    platform::SingleInstance first("Luxador");
    EXPECT_EQ(first.claim(), Claim::Owner);
    struct stat st {};
    ASSERT_EQ(::lstat(privateDir().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::exists(privateDir() / "Luxador.lock"));
    EXPECT_EQ(platform::SingleInstance("Luxador").claim(), Claim::AlreadyRunning);
    ::close(held);
}

TEST_F(SharedTempLock, UnsafeLockFilesAndDirectoriesAreRefused) {
    // A link planted where the lock goes is never followed.
    const fs::path target = m_dir / "victim";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, shared());
    {
        platform::SingleInstance owner("Luxador");
        EXPECT_EQ(owner.claim(), Claim::Owner);
        EXPECT_TRUE(fs::exists(privateDir() / "Luxador.lock"));
    }
    std::ifstream in(target);
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "keep");

    // A lock file others may write is not ours to trust, nor a private directory others may
    // enter; with both, there is no safe place for the claim.
    fs::remove(shared());
    ::close(::open(shared().c_str(), O_RDWR | O_CREAT, 0600));
    fs::permissions(shared(), fs::perms(0666));
    fs::permissions(privateDir(), fs::perms(0777));
    EXPECT_EQ(platform::SingleInstance("Luxador").claim(), Claim::Failed);
}

}  // namespace
