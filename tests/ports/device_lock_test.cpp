// The lock that keeps two programs off one serial port.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "ports/device_lock.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

// A service runs with UMask=0027; the operator's window, another user, must still be able to
// open the lock file to find the port taken.
TEST(DeviceLock, ALockMadeUnderARestrictiveUmaskCanBeOpenedByOtherUsers) {
    test::TempDir dir;
    ::setenv("CVHOST_LOCK_DIR", dir.path().c_str(), 1);
    const mode_t old = ::umask(027);
    DeviceLock service;
    const bool taken = service.take("/dev/ttyUSB7");
    ::umask(old);
    const std::string path = DeviceLock::lockPathFor("/dev/ttyUSB7");
    ::unsetenv("CVHOST_LOCK_DIR");
    ASSERT_TRUE(taken);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

} // namespace
} // namespace cv
