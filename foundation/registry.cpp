#include "foundation/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <system_error>

#include "foundation/config.h"
#include "foundation/ini_file.h"
#include "foundation/paths.h"

namespace vorsa {
namespace {

// Serialises read-modify-write between processes of the same user.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    fd_ = ::open((path.string() + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

std::filesystem::path RegistryFile() { return UserConfigFolder() / "registry.ini"; }

std::string RegistryKey() { return "SOFTWARE\\" + GetSoftCfg("Company") + "\\" + GetSoftCfg("LocalName"); }

std::optional<std::string> ReadRegistryValue(const std::string& name) {
  IniFile ini;
  if (!ini.Load(RegistryFile())) return std::nullopt;
  return ini.Get(RegistryKey(), name);
}

bool WriteRegistryValue(const std::string& name, const std::string& value) {
  const std::filesystem::path path = RegistryFile();
  FileLock hold(path);
  IniFile ini;
  ini.Load(path);
  ini.Set(RegistryKey(), name, value);
  return ini.Save(path);
}

unsigned CountRun() {
  const std::filesystem::path path = RegistryFile();
  FileLock hold(path);
  IniFile ini;
  ini.Load(path);
  const std::string old = ini.Get(RegistryKey(), "RunNum").value_or("");
  char next = '1';
  if (!old.empty()) next = old[0] >= '~' || old[0] < '0' ? '~' : static_cast<char>(old[0] + 1);
  ini.Set(RegistryKey(), "RunNum", std::string(1, next));
  ini.Save(path);
  return static_cast<unsigned>(next - '0');
}

}  // namespace vorsa
