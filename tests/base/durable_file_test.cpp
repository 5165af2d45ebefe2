// A replaced file is the old one or the new one, whole, whatever fails on the way.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "base/durable_file.h"
#include "support/temp_dir.h"

namespace cv {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kOld{'o', 'l', 'd'};

TEST(ReplaceFile, PutsTheNewBytesUnderTheOldNameKeepingItsPermissions) {
    test::TempDir dir;
    test::writeFile(dir / "a.cvh", kOld);
    fs::permissions(dir / "a.cvh", fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<uint8_t> fresh(5000, 'n');
    ASSERT_EQ(replaceFile(dir / "a.cvh", fresh.data(), fresh.size()), ReplaceOutcome::Ok);
    EXPECT_EQ(test::readFile(dir / "a.cvh"), fresh);
    EXPECT_EQ(fs::status(dir / "a.cvh").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The process may not grow a file past this many bytes, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

struct FailureCase {
    const char* name;
    ReplaceOutcome outcome;
    std::function<ReplaceOutcome(const fs::path&, const std::vector<uint8_t>&)> replace;
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
class ReplaceFailure : public ::testing::TestWithParam<FailureCase> {};
TEST_P(ReplaceFailure, LeavesTheOldFileWholeAndNoTemporaryOfItsOwn) {
    test::TempDir dir;
    test::writeFile(dir / "a.cvh", kOld);
    const std::vector<uint8_t> fresh(64 * 1024, 'n');
    EXPECT_EQ(GetParam().replace(dir / "a.cvh", fresh), GetParam().outcome);
    EXPECT_EQ(test::readFile(dir / "a.cvh"), kOld);
    EXPECT_FALSE(fs::is_regular_file(dir / "a.cvh.tmp"));
}
INSTANTIATE_TEST_SUITE_P(
    Failures, ReplaceFailure,
    ::testing::Values(FailureCase{"TemporaryNameTaken", ReplaceOutcome::CannotCreate,
                                  [](const fs::path& file, const std::vector<uint8_t>& bytes) {
                                      fs::create_directory(file.string() + ".tmp");
                                      return replaceFile(file, bytes.data(), bytes.size());
                                  }},
                      FailureCase{"DiskFullHalfWay", ReplaceOutcome::WriteFailed,
                                  [](const fs::path& file, const std::vector<uint8_t>& bytes) {
                                      const FileSizeLimit full(4096);
                                      return replaceFile(file, bytes.data(), bytes.size());
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace cv
