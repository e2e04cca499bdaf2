#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "foundation/config.h"
#include "foundation/paths.h"
#include "foundation/startup.h"
#include "tools/shipped_package.h"

namespace vorsa::cli {

bool LoadConfiguration() {
  SetConfigSource(ConfigSource{FindShippedFolder("Base.dat"), kShippedPackageDigest});
  std::string error;
  if (InitSoftCfg(&error)) return true;
  Fail(kExitFailed, ConfigFailureMessage() + " (" + error + ")");
  return false;
}

int PrintVersion() {
  std::printf("%s %s (build %u, %s %s)\n", GetSoftCfg("LocalName").c_str(), kProgramVersion,
              static_cast<unsigned>(kBuildNumber), GetBaseCfg("Brand").c_str(), GetBaseCfg("Version").c_str());
  return kExitOk;
}

}  // namespace vorsa::cli
