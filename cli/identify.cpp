// vorsa-cli identify: the type a deep scan would give a file that started at a
// sector boundary, judged from its first sector alone as a scan judges it.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "carve/signatures.h"
#include "cli/arguments.h"
#include "cli/command.h"
#include "foundation/records.h"

namespace vorsa::cli {

const char kIdentifyUsage[] =
    "usage: vorsa-cli identify FILE...\n"
    "\n"
    "Prints, for each FILE, the file type its first sector (512 bytes, zero\n"
    "padded when the file is shorter) shows to signature matching:\n"
    "\n"
    "  FILE<TAB>TYPE-ID<TAB>EXTENSION<TAB>DESCRIPTION\n"
    "\n"
    "A file with no known signature gets type id 238 and \"-\" for both texts.\n"
    "FILE may also be a block device. '--' ends the options, so a FILE may\n"
    "start with '-'.\n"
    "Exit status: 0 every FILE was read, 1 some FILE could not be read (the\n"
    "others are still identified), 2 bad arguments.\n";

namespace {

using Sector = std::array<uint8_t, kSectorSize>;

// The first sector of `path`, zero-padded; false with `error` set when the
// file cannot be opened or read.
bool ReadFirstSector(const std::string& path, Sector& sector, std::string& error) {
  sector.fill(0);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t filled = 0;
  while (filled < sector.size()) {
    const ssize_t got = ::read(fd, sector.data() + filled, sector.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  ::close(fd);
  return true;
}

}  // namespace

int RunIdentify(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      return Fail(kExitUsage, "unknown option '" + arg + "' (see vorsa-cli identify --help)");
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return Fail(kExitUsage, "no FILE given (see vorsa-cli identify --help)");

  int status = kExitOk;
  for (const std::string& path : files) {
    Sector sector;
    std::string error;
    if (!ReadFirstSector(path, sector, error)) {
      status = Fail(kExitFailed, path + ": cannot read: " + error);
      continue;
    }
    TypeId type = kNoTypeId;
    if (MatchFileSignature(sector, &type)) {
      const FileTypeInfo& row = FileTypeRow(type);
      std::printf("%s\t%d\t%s\t%s\n", path.c_str(), type, row.extension.c_str(), row.description.c_str());
    } else {
      std::printf("%s\t%d\t-\t-\n", path.c_str(), type);
    }
  }
  return status;
}

}  // namespace vorsa::cli
