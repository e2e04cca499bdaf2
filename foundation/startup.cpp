#include "foundation/startup.h"

#include <clocale>
#include <random>

#include "foundation/crash_handler.h"
#include "foundation/event_sender.h"
#include "foundation/events.h"
#include "foundation/paths.h"
#include "foundation/process.h"
#include "foundation/registry.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

std::string RandomRunText() {
  std::random_device seed;
  std::mt19937 generator(seed());
  return std::to_string(std::uniform_int_distribution<uint32_t>(0, 999999)(generator));
}

// "Detail" is sent in reports: only letters and digits pass.
std::string CleanDetail(const std::optional<std::string>& value) {
  if (!value || value->empty()) return "0";
  for (unsigned char c : *value)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return "0";
  return *value;
}

void InstallCrashReports(uint32_t build) {
  InstallCrashHandler(CrashReportSetup{
      .folder = OwnFilesFolder(),
      .eventLog = DefaultEventLogPath(),
      .build = build,
      .brand = GetBaseCfg("Brand"),
      .version = Facts().version,
      .installId = Facts().installId,
  });
}

void ReportStartup(const std::string& owner) {
  const unsigned runs = CountRun();
  const ProcessFacts& facts = Facts();
  std::string text = FormatText("%u %u %s ver: %s   Svn: %u   OS: %s   ID: %s",
                                {uint64_t{0}, uint64_t{runs}, std::string_view(owner), std::string_view(facts.version),
                                 uint64_t{facts.build}, std::string_view(facts.osText),
                                 std::string_view(facts.runText)});
  uint64_t total = 0, available = 0;
  if (MemoryMiB(&total, &available)) text += FormatText("   AllMem: %u FreeMem: %u", {total, available});
  ReportEvent(kEventStartUp, text, true);
}

}  // namespace

std::string ConfigFailureMessage() {
  return UserLanguageIsChinese() ? "抱歉，获取软件配置失败，请重新安装我们软件！"
                                 : "Get software configuration failed. Please setup software again!";
}

AppStartup::~AppStartup() {
  if (startupThread_.joinable()) startupThread_.join();
}

StartupOutcome AppStartup::Run(const StartupSettings& settings) {
  std::setlocale(LC_ALL, "");
  // Numbers in reports and files keep one form whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  SetFacts(ProcessFacts{
      .version = settings.version,
      .build = settings.build,
      .osText = OperatingSystemText(),
      .runText = RandomRunText(),
      .installId = InstallationId(),
  });
  InstallCrashReports(settings.build);
  StartEventSender(std::make_shared<EventLogFile>(DefaultEventLogPath()), Facts().installId);
  running_ = true;

  SetConfigSource(settings.config);
  std::string error;
  if (!InitSoftCfg(&error) || !InitSkins(&error)) {
    ShowUserMessage(ConfigFailureMessage());
    FatalError(1, FormatText("Get config failed! Ver: %s Svn: %u OS: %s ",
                             {std::string_view(settings.version), uint64_t{settings.build},
                              std::string_view(Facts().osText)}) +
                      error);
  }
  // The report name carries the brand, known only now.
  InstallCrashReports(settings.build);

  bool busy = false;
  instance_ = InstanceLock::TryAcquire(GetSoftCfg("SingleRunStr") + "-" + GetBaseCfg("Version"), &error, &busy);
  if (!instance_ && busy) {
    ShowUserMessage(FormatText(GetText("SoftRunning"), {std::string_view(GetSoftCfg("NormalName"))}));
    StopEventSender();
    running_ = false;
    return StartupOutcome::kAlreadyRunning;
  }
  // A lock that cannot be made at all must not keep the program from
  // running; it only loses the guard.
  if (!instance_) DebugOutput("single instance: " + error);

  joinImproveSoft_ = ReadRegistryValue("JoinImproveSoft").value_or("").starts_with('1');
  detail_ = CleanDetail(ReadRegistryValue("Detail"));
  const std::string owner = GetBaseCfg("Owner") + "-" + detail_;
  startupThread_ = std::thread([owner] { ReportStartup(owner); });
  return StartupOutcome::kReady;
}

void AppStartup::Finish() {
  if (!running_) return;
  running_ = false;
  instance_.reset();
  if (startupThread_.joinable()) startupThread_.join();
  ReportEvent(kEventFatal, Facts().runText, false);
  StopEventSender();
}

}  // namespace vorsa
