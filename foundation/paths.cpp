#include "foundation/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace vorsa {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

// $variable when it holds an absolute path, else ~/fallback.
std::filesystem::path XdgFolder(const char* variable, const char* fallback) {
  if (const char* value = std::getenv(variable); value && value[0] == '/') return std::filesystem::path(value) / "vorsa";
  return HomeFolder() / fallback / "vorsa";
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path(error) : exe.parent_path();
}

std::vector<std::filesystem::path> ShippedFolders() { return {ProgramFolder(), VORSA_DATA_DIR}; }

std::filesystem::path FindShippedFolder(const std::filesystem::path& name) {
  std::error_code error;
  for (const std::filesystem::path& folder : ShippedFolders())
    if (std::filesystem::is_regular_file(folder / name, error)) return folder;
  return ProgramFolder();
}

std::filesystem::path OwnFilesFolder() {
  const std::filesystem::path program = ProgramFolder();
  if (::access(program.c_str(), W_OK) == 0) return program;
  const std::filesystem::path data = XdgFolder("XDG_DATA_HOME", ".local/share");
  std::error_code error;
  std::filesystem::create_directories(data, error);
  return data;
}

std::filesystem::path UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

}  // namespace vorsa
