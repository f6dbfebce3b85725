// The pieces of the console program's report: SHA-256 by the system's crypto, and the record
// file that several programs append to at once.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "record_file.h"
#include "report_records.h"
#include "sha256.h"
#include "temp_directory.h"

namespace {

TEST(Sha256, MatchesTheStandardVectors) {
  for (const auto& [text, hex] : report_test::kSha256Vectors) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const auto digest = Sha256(bytes);
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(Sha256Hex(*digest), hex) << text.size() << " bytes";
  }
}

TEST(RecordFile, TwoProgramsAppendingAtOnceLeaveOneHeaderAndWholeRecords) {
  TempDirectory dir;
  // The two start together, when the parent closes this pipe.
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int writer = 0; writer < 2; ++writer) {
    const pid_t child = fork();
    if (child == 0) {
      close(start[1]);
      RecordFile file;
      char ignored;
      if (!file.Open(dir.File("report.jsonl")) || read(start[0], &ignored, 1) != 0)
        _exit(2);
      for (int n = 0; n < report_test::kRecordsPerWriter; ++n) {
        if (!file.Append(report_test::Record(writer, n), report_test::kHeader))
          _exit(3);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  close(start[0]);
  close(start[1]);
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(report_test::CheckTwoWriters(dir.Read("report.jsonl")), "");
}

TEST(RecordFile, KeepsWhatIsThereAndStartsEachRecordOnALineOfItsOwn) {
  for (const auto& c : report_test::kAppendCases) {
    TempDirectory dir;
    if (c.before != nullptr)
      dir.Write("report.csv", c.before);
    RecordFile file;
    ASSERT_TRUE(file.Open(dir.File("report.csv"))) << file.Error();
    ASSERT_TRUE(file.Append("r\n", "h\n")) << file.Error();
    EXPECT_EQ(dir.Read("report.csv"), c.after) << (c.before ? c.before : "(none)");
  }
}

TEST(RecordFile, WriteThatFailsPartWayLeavesNoHalfRecord) {
  TempDirectory dir;
  const std::string before = "a,b\n1,2\n";
  dir.Write("report.csv", before);
  const pid_t child = fork();
  if (child == 0) {
    // The file may grow by ten bytes only: the write stops inside the record.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 10, before.size() + 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    RecordFile file;
    const bool failed = file.Open(dir.File("report.csv")) && !file.Append(std::string(100, 'r'));
    const std::string reason = "cannot write to " + dir.File("report.csv") + ": ";
    _exit(failed && file.Error().rfind(reason, 0) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(dir.Read("report.csv"), before);
}

}  // namespace
