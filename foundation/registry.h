// The program's stored values (run count, "Detail", "JoinImproveSoft"): an
// INI file in the user's configuration folder with one section per program
// key, "SOFTWARE\<Company>\<LocalName>".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vorsa {

std::filesystem::path RegistryFile();
// The section of this edition, from the configuration's "Company" and
// "LocalName".
std::string RegistryKey();

std::optional<std::string> ReadRegistryValue(const std::string& name);
bool WriteRegistryValue(const std::string& name, const std::string& value);

// Adds one to "RunNum" (a single character: absent becomes '1', later ones
// count up to '~' and stay there) and returns the new count, '1' being 1.
unsigned CountRun();

}  // namespace vorsa
