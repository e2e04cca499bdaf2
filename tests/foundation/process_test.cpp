#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "foundation/crash_handler.h"
#include "foundation/event_sender.h"
#include "foundation/events.h"
#include "foundation/process.h"
#include "foundation/registry.h"
#include "foundation/single_instance.h"
#include "foundation/size_text.h"
#include "tests/support/temp_dir.h"

namespace vorsa {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SizeText, UnitChangesAboveOnePointTwo) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0(B)"},
      {1228, "1228(B)"},
      {1229, "1.20(KB)"},
      {1258291, "1228.80(KB)"},
      {1258292, "1.20(MB)"},
      {uint64_t{3} << 30, "3.00(GB)"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeText(bytes), text) << bytes;
}

// Lock files go to a folder of this test.
class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
  test::TempDir dir_;
};

TEST_F(InstanceLockTest, ASecondInstanceIsRefused) {
  std::string error;
  bool busy = false;
  auto first = InstanceLock::TryAcquire("VorsaRun-A2", &error, &busy);
  ASSERT_TRUE(first) << error;
  EXPECT_TRUE(first->path().string().starts_with(dir_.path().string()));

  EXPECT_FALSE(InstanceLock::TryAcquire("VorsaRun-A2", &error, &busy));
  EXPECT_TRUE(busy);
  // Another process is refused too, and the first keeps its lock.
  const pid_t child = fork();
  if (child == 0) {
    std::string childError;
    _exit(InstanceLock::TryAcquire("VorsaRun-A2", &childError) ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 3);

  EXPECT_TRUE(InstanceLock::TryAcquire("VorsaRun-B1", &error)) << "another edition runs beside it";
  // A name that would leave the folder stays inside it.
  auto odd = InstanceLock::TryAcquire("../x/y", &error);
  ASSERT_TRUE(odd) << error;
  EXPECT_EQ(odd->path().parent_path(), first->path().parent_path());

  first.reset();
  EXPECT_TRUE(InstanceLock::TryAcquire("VorsaRun-A2", &error)) << "free again once the first ends";
}

// Runs `crash` in a child with the handler installed and returns how the
// child ended.
int CrashChild(const fs::path& folder, void (*crash)()) {
  const pid_t child = fork();
  if (child == 0) {
    InstallCrashHandler(CrashReportSetup{.folder = folder,
                                         .eventLog = folder / "events.log",
                                         .build = 7,
                                         .brand = "Vorsa",
                                         .version = "0.1.0",
                                         .installId = "ID1"});
    crash();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

void NullWrite() {
  volatile uintptr_t address = 8;  // a page no process maps
  *reinterpret_cast<volatile int*>(address) = 1;
}
void RaiseFpe() { raise(SIGFPE); }
void Abort() { std::abort(); }

TEST(CrashHandler, ACrashedChildLeavesItsReport) {
  struct Case {
    void (*crash)();
    int signal;
    const char* name;
  };
  const Case cases[] = {{NullWrite, SIGSEGV, "SIGSEGV"}, {RaiseFpe, SIGFPE, "SIGFPE"}, {Abort, SIGABRT, "SIGABRT"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const int status = CrashChild(dir.path(), c.crash);
    ASSERT_TRUE(WIFSIGNALED(status)) << c.name << ": the process still dies of its signal";
    EXPECT_EQ(WTERMSIG(status), c.signal);
    std::vector<fs::path> reports;
    for (const auto& file : fs::directory_iterator(dir.path()))
      if (file.path().extension() == ".dmp") reports.push_back(file.path());
    ASSERT_EQ(reports.size(), 1u) << c.name;
    const std::string name = reports[0].filename().string();
    EXPECT_TRUE(name.starts_with("7Vorsa3_")) << name;
    EXPECT_EQ(name.size(), std::string("7Vorsa3_HHMM.dmp").size()) << name;
    const std::string report = ReadText(reports[0]);
    EXPECT_NE(report.find(std::string("(") + c.name + ")"), std::string::npos) << report;
    EXPECT_NE(report.find("build 7 brand Vorsa"), std::string::npos) << report;
    // The event line has the form of the log's other lines: a UTC time first.
    const std::string line = ReadText(dir / "events.log");
    EXPECT_NE(line.find("\tID1\t27\tExit exception"), std::string::npos) << line;
    const std::time_t now = std::time(nullptr);
    char year[8];
    std::strftime(year, sizeof year, "%Y-", std::gmtime(&now));
    EXPECT_TRUE(line.starts_with(year) && line[19] == 'Z') << line;
  }
  EXPECT_EQ(CrashReportName(7, "Vorsa", 9, 5), "7Vorsa3_0905.dmp");
}

// An endpoint that holds every send until it is released.
class BlockedEndpoint : public EventEndpoint {
 public:
  bool Send(const EventReport& report, std::chrono::milliseconds) override {
    gate_.wait();
    std::lock_guard hold(lock_);
    sent_.push_back(report);
    return true;
  }
  void Release() { open_.set_value(); }
  std::vector<EventReport> Sent() {
    std::lock_guard hold(lock_);
    return sent_;
  }

 private:
  std::promise<void> open_;
  std::shared_future<void> gate_ = open_.get_future().share();
  std::mutex lock_;
  std::vector<EventReport> sent_;
};

TEST(EventSender, QueuedReportsNeverWaitAndKeepTheirOrder) {
  auto endpoint = std::make_shared<BlockedEndpoint>();
  StartEventSender(endpoint, "ID");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) ReportEvent(27, std::to_string(i), true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "queueing does not wait";
  endpoint->Release();
  StopEventSender();  // sends what is still queued
  const std::vector<EventReport> sent = endpoint->Sent();
  ASSERT_EQ(sent.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(sent[i].text, std::to_string(i));
  ReportEvent(27, "after the end", false);
  EXPECT_EQ(endpoint->Sent().size(), 50u);
}

TEST(EventSender, TheLogFileHoldsOneLinePerReport) {
  test::TempDir dir;
  const fs::path log = dir / "events.log";
  StartEventSender(std::make_shared<EventLogFile>(log), std::string(100, 'i'));
  ReportEvent(0, "line one\nline two", false);
  ReportEvent(20, std::string(1023, 'x') + "é", true);  // 1025 bytes: the "é" does not fit
  StopEventSender();
  std::ifstream in(log);
  std::string first, second, more;
  ASSERT_TRUE(std::getline(in, first));
  ASSERT_TRUE(std::getline(in, second));
  EXPECT_FALSE(std::getline(in, more));
  EXPECT_NE(first.find("\t" + std::string(64, 'i') + "\t0\tline one\\nline two"), std::string::npos) << first;
  EXPECT_TRUE(second.ends_with("\t20\t" + std::string(1023, 'x'))) << second.substr(second.size() - 20);

  // Without an installation identifier nothing is sent.
  StartEventSender(std::make_shared<EventLogFile>(log), "");
  ReportEvent(0, "dropped", false);
  StopEventSender();
  EXPECT_EQ(ReadText(log).find("dropped"), std::string::npos);
}

TEST(FatalErrorDeathTest, ReportsThenEndsWithItsCode) {
  test::TempDir dir;
  const fs::path log = dir / "events.log";
  EXPECT_EXIT(
      {
        StartEventSender(std::make_shared<EventLogFile>(log), "ID");
        FatalError(3, "Dev size failed!");
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_NE(ReadText(log).find("\tID\t1\tDev size failed!"), std::string::npos);
}

TEST(Registry, RunCountIsOneCharacterUpToTilde) {
  test::TempDir dir;
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(CountRun(), 1u);
  EXPECT_EQ(CountRun(), 2u);
  EXPECT_EQ(ReadRegistryValue("RunNum"), "2");
  ASSERT_TRUE(WriteRegistryValue("RunNum", "}"));
  EXPECT_EQ(CountRun(), static_cast<unsigned>('~' - '0'));
  EXPECT_EQ(CountRun(), static_cast<unsigned>('~' - '0'));
  EXPECT_TRUE(fs::exists(dir / "vorsa" / "registry.ini"));
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vorsa
