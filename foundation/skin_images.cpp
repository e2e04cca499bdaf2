#include "foundation/skin_images.h"

#include <mutex>
#include <utility>

#include "foundation/text_entry.h"
#include "foundation/zip_memory.h"

namespace vorsa {
namespace {

struct SkinImageCache {
  std::mutex lock;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> images;  // upper-cased name, bytes
};

SkinImageCache& Cache() {
  static SkinImageCache cache;
  return cache;
}

void AddEach(std::vector<std::string>& names, std::string_view prefix, std::initializer_list<std::string_view> stems,
             std::initializer_list<std::string_view> suffixes) {
  for (std::string_view stem : stems)
    for (std::string_view suffix : suffixes) names.push_back(std::string(prefix) + std::string(stem) + std::string(suffix));
}

}  // namespace

std::vector<std::string> SkinImageNames(std::string_view version) {
  std::vector<std::string> names;
  names.push_back("Banner/" + std::string(version) + ".bmp");
  names.insert(names.end(), {"Dlg/MainDlg.bmp", "Dlg/DlgCorner.bmp", "Dlg/ChildDlg.bmp"});
  AddEach(names, "Dlg/", {"Max", "Close", "Min"}, {"Normal.bmp", "Down.bmp", "Move.bmp"});
  AddEach(names, "OldMianBtn/", {"DelFileRecovery", "PartFileRecovery", "DiskFileRecovery", "SoftHelp"},
          {"Normal.bmp", "Down.bmp", "Up.bmp"});
  names.push_back("NewMainBtn/NewAllRecoveryN.bmp");
  AddEach(names, "NewMainBtn/",
          {"NewDelRecovery", "NewFormatRecovery", "NewUsbRecovery", "NewRecycleRecovery", "NewDiskRecovery",
           "AndroidRecovery", "IphoneRecovery", "NewHelp"},
          {"N.bmp", "D.bmp"});
  names.push_back("Other/DescBg.bmp");
  AddEach(names, "Dev/",
          {"PartIco.png", "DiskIco.png", "LoadScanSaveIco.png", "LoadImgIco.png", "SetScanLocalIco.png",
           "DevNormal.bmp", "DevOver.bmp", "DevSel.bmp", "PartSize.bmp", "PartUse.bmp", "ShowDev.bmp",
           "ShowDevBtnLeft.bmp", "ShowDevBtnRight.bmp"},
          {""});
  AddEach(names, "Other/",
          {"HelpVideoLink", "QQ", "BeginRecovery", "HelpVideoBtn", "LoadImg", "Refresh", "Back", "Scan", "PauseScan",
           "SaveScan", "Help", "Recovery"},
          {"N.bmp", "U.bmp", "D.bmp"});
  names.insert(names.end(), {"Other/FileDlgBg.bmp", "Other/Splash.bmp"});
  return names;
}

void LoadSkinImages(std::span<const uint8_t> package, std::string_view brand, std::string_view version) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> images;
  if (auto zip = MemoryZip::Open(package)) {
    for (const std::string& name : SkinImageNames(version)) {
      if (auto bytes = zip->Read(std::string(brand) + "/" + name, kMaxSkinImage))
        images.emplace_back(UpperAscii(name), std::move(*bytes));
    }
  }
  SkinImageCache& cache = Cache();
  std::lock_guard hold(cache.lock);
  cache.images = std::move(images);
}

void ClearSkinImages() {
  SkinImageCache& cache = Cache();
  std::lock_guard hold(cache.lock);
  cache.images.clear();
}

const std::vector<uint8_t>* GetSkinImage(std::string_view name) {
  SkinImageCache& cache = Cache();
  const std::string upper = UpperAscii(name);
  std::lock_guard hold(cache.lock);
  for (const auto& [key, bytes] : cache.images)
    if (key == upper) return &bytes;
  return nullptr;
}

}  // namespace vorsa
