#include "tests/support/fixtures.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace vorsa::test {

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    if (output) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path Fixture(const std::string& script, const std::string& name) {
  const std::filesystem::path dir = VORSA_FIXTURE_DIR;
  const std::filesystem::path target = dir / name;
  std::filesystem::create_directories(dir);
  // Test processes run in parallel; the first one makes the fixture.
  const std::string lockPath = (dir / (name + ".lock")).string();
  const int lock = ::open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  if (!std::filesystem::exists(target)) {
    std::string output;
    const std::string command = "bash '" + std::string(VORSA_FIXTURE_SCRIPTS) + "/" + script + "' '" +
                                target.string() + ".part' && mv '" + target.string() + ".part' '" +
                                target.string() + "'";
    const int status = RunCommand(command, &output);
    if (status != 0) ADD_FAILURE() << "fixture " << script << " failed (" << status << "):\n" << output;
  }
  if (lock >= 0) ::close(lock);
  return target;
}

}  // namespace vorsa::test
