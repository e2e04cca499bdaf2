// The skin images of the package, read once at start-up.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorsa {

// The names the skin loader reads, in order, for an edition's Version value
// (the banner is named after it). The package generator makes one image for
// each.
std::vector<std::string> SkinImageNames(std::string_view version);

// Fills the cache from the package bytes: for every name, the entry
// "<brand>/<name>"; a missing entry leaves the name absent.
void LoadSkinImages(std::span<const uint8_t> package, std::string_view brand, std::string_view version);
void ClearSkinImages();

// The bytes of the image `name` (case does not matter), or nullptr.
const std::vector<uint8_t>* GetSkinImage(std::string_view name);

// An image entry above this size is not a skin image of ours.
inline constexpr size_t kMaxSkinImage = 16 << 20;

}  // namespace vorsa
