#include "carve/file_types.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>

namespace vorsa {
namespace {

TEST(FileTypeTable, NamesGiveTheTypeOfTheirPrimaryExtension) {
  struct Case {
    const char* name;
    TypeId expected;
  };
  const Case cases[] = {
      {"photo.JPG", 46},       {"a.b.mp4", 72},        {"README", kNoTypeId},    {".doc", kNoTypeId},
      {"x.jpeg", kNoTypeId},   {"letter.wps", kNoTypeId},  // in an extension list only
      {"clip.m2ts", kNoTypeId}, {"song.rm", kNoTypeId},     {"y.Xxx", 0},         // a placeholder's extension
      {"page.html", 79},       {"ARCHIVE.7Z", 60},     {"trailing.", kNoTypeId}, {"", kNoTypeId},
      {"фото.Jpg", 46},        {"x.jp\xC3\xA9", kNoTypeId},  {"dir.d/file", kNoTypeId},
      {"model.SLDPRT", 139},   {"view.m2t", 143},      {"show.mts", 88},          {"main.c", 166},
      {"main.cc", kNoTypeId},  {".hidden.png", 44},
  };
  for (const Case& c : cases) EXPECT_EQ(TypeIdFromFileName(c.name), c.expected) << c.name;
}

TEST(FileTypeTable, EveryCategoryHoldsItsRowsAndNoOther) {
  const std::map<int32_t, std::pair<const char*, size_t>> expected = {
      {kCategoryDocument, {"Document", 24}}, {kCategoryPhoto, {"Photo", 14}},  {kCategoryImage, {"Image", 33}},
      {kCategoryAudio, {"Audio", 13}},       {kCategoryVideo, {"Video", 18}},  {kCategoryZipFile, {"ZipFile", 7}},
      {kCategoryOther, {"Other", 11}},
  };
  std::set<TypeId> seen;
  for (const auto& [id, nameAndCount] : expected) {
    const FileCategory& category = CategoryRow(id);
    EXPECT_EQ(category.id, id);
    EXPECT_EQ(category.name, nameAndCount.first);
    EXPECT_EQ(category.members.size(), nameAndCount.second) << category.name;
    for (TypeId member : category.members) {
      EXPECT_TRUE(seen.insert(member).second) << member << " is in two categories";
      const FileTypeInfo& row = FileTypeRow(member);
      EXPECT_EQ(row.typeId, member);
      EXPECT_EQ(row.category, id);
      EXPECT_EQ(row.enabled, 1);
      EXPECT_FALSE(row.description.empty()) << member;
      EXPECT_EQ(row.extensionList.rfind(row.extension, 0), 0u) << member << " lists " << row.extensionList;
    }
  }
  for (TypeId id = 0; id < kFileTypeRowCount; ++id)
    EXPECT_EQ(IsFileType(id), seen.count(id) == 1) << id;
  EXPECT_EQ(CategoryRow(3).name, "XXX");
  EXPECT_TRUE(CategoryRow(3).members.empty());
}

TEST(FileTypeTable, RowsCarryTheirExtensionsAndPlaceholdersStayEmpty) {
  EXPECT_EQ(FileTypeRow(40).extensionList, "pdf;ai");
  EXPECT_EQ(FileTypeRow(82).extensionList, "mpg;mpeg;vob;m2v;h264");
  EXPECT_EQ(FileTypeRow(37).extensionList, "docx");
  EXPECT_EQ(FileTypeRow(79).category, kCategoryOther);
  EXPECT_EQ(FileTypeRow(46).description, "Jpeg图像");
  for (TypeId placeholder : {0, 35, 115, 146, 160}) {
    const FileTypeInfo& row = FileTypeRow(placeholder);
    EXPECT_EQ(row.typeId, 0) << placeholder;
    EXPECT_EQ(row.category, 0) << placeholder;
    EXPECT_EQ(row.extension, "XXX") << placeholder;
    EXPECT_TRUE(row.description.empty()) << placeholder;
  }
}

// Ids also come from disk data and saved scans: any value must be safe.
TEST(FileTypeTable, IdsOutsideTheTableAnswerAsNoType) {
  for (TypeId id : {-1, INT_MIN, 172, 200, 236, 237, 238, 255, INT_MAX}) {
    const FileTypeInfo* row = nullptr;
    ASSERT_NO_THROW(row = &FileTypeRow(id));
    EXPECT_EQ(row->typeId, kNoTypeId) << id;
    EXPECT_EQ(row->category, 0) << id;
    EXPECT_FALSE(IsFileType(id)) << id;
    EXPECT_FALSE(IsPhotoType(id) || IsVideoType(id) || IsTextType(id)) << id;
    EXPECT_TRUE(IsTypeWanted(id)) << id;
  }
  for (int32_t id : {-1, 13, INT_MAX}) {
    EXPECT_EQ(CategoryRow(id).id, 0) << id;
    EXPECT_TRUE(CategoryRow(id).members.empty()) << id;
  }
  for (TypeId id : {-7, 237, 238, INT_MAX}) EXPECT_EQ(TypeName(id), "***") << id;
}

TEST(FileTypeTable, TypeNamesCoverTypesAndSectorKinds) {
  const std::map<TypeId, std::string> expected = {
      {0, "XXX"},    {35, "***"},          {46, "jpg"},          {115, "***"},       {171, "css"},
      {200, "***"},  {201, "***"},         {208, "***"},         {221, "MBR"},       {224, "FILE RECORD"},
      {229, "FAT32 FAT Table"},            {235, "Exfat dir entry"},                 {236, "***"},
  };
  for (const auto& [id, name] : expected) EXPECT_EQ(TypeName(id), name) << id;
}

TEST(FileTypeTable, PhotoVideoAndTextListsFollowTheCategories) {
  EXPECT_EQ(PhotoTypes(), CategoryRow(kCategoryPhoto).members);
  EXPECT_EQ(VideoTypes(), CategoryRow(kCategoryVideo).members);
  EXPECT_TRUE(IsPhotoType(46) && IsPhotoType(144) && IsPhotoType(49));
  EXPECT_FALSE(IsPhotoType(44));  // PNG is an Image, not a Photo
  EXPECT_TRUE(IsVideoType(72) && IsVideoType(143) && IsVideoType(88));
  EXPECT_FALSE(IsVideoType(53));
  for (TypeId id = 0; id < kFileTypeRowCount; ++id) {
    const bool text = id == 79 || id == 161 || id == 163 || (id >= 165 && id <= 171);
    EXPECT_EQ(IsTextType(id), text) << id;
  }
}

// The settings window edits copies and hands back only the user's choices.
class FileTypeChoices : public testing::Test {
 protected:
  void SetUp() override {
    CopyFileTypeRows(savedTypes_, true);
    CopyCategoryRows(savedCategories_, true);
  }
  void TearDown() override { ApplyFileTypeChoices(savedTypes_, savedCategories_); }

  std::vector<FileTypeInfo> savedTypes_;
  std::vector<FileCategory> savedCategories_;
};

TEST_F(FileTypeChoices, CopiesHoldTheRequestedRows) {
  std::vector<FileTypeInfo> types = {FileTypeInfo{}};
  CopyFileTypeRows(types, false);
  ASSERT_EQ(types.size(), 136u);
  EXPECT_EQ(types.front().typeId, 36);
  EXPECT_EQ(types.back().typeId, 171);
  EXPECT_EQ(savedTypes_.size(), 172u);

  std::vector<FileCategory> categories;
  CopyCategoryRows(categories, false);
  ASSERT_EQ(categories.size(), 7u);
  EXPECT_EQ(categories.front().name, "Document");
  EXPECT_EQ(savedCategories_.size(), 13u);
}

TEST_F(FileTypeChoices, CategoryStateFollowsItsMembers) {
  std::vector<FileTypeInfo> types;
  CopyFileTypeRows(types, false);
  const FileCategory& audio = CategoryRow(kCategoryAudio);
  EXPECT_EQ(CategoryCheckState(audio, types), 1);
  for (FileTypeInfo& row : types)
    if (row.typeId == 54) row.enabled = 0;
  EXPECT_EQ(CategoryCheckState(audio, types), 2);
  for (FileTypeInfo& row : types)
    if (row.category == kCategoryAudio) row.enabled = 0;
  EXPECT_EQ(CategoryCheckState(audio, types), 0);
  EXPECT_EQ(CategoryCheckState(CategoryRow(kCategoryOther), types), 1);  // html stays with Other
  EXPECT_EQ(CategoryCheckState(CategoryRow(2), types), 1);               // no members
}

TEST_F(FileTypeChoices, OnlyDisabledTypesAreUnwanted) {
  std::vector<FileTypeInfo> types;
  CopyFileTypeRows(types, false);
  for (FileTypeInfo& row : types)
    if (row.typeId == 46) row.enabled = 0;
  // A row whose id the table does not know changes nothing.
  FileTypeInfo stray;
  stray.typeId = 9999;
  types.push_back(stray);
  std::vector<FileCategory> categories;
  CopyCategoryRows(categories, false);
  categories[kCategoryPhoto - kFirstCategory].checked = 2;
  ApplyFileTypeChoices(types, categories);

  EXPECT_FALSE(IsTypeWanted(46));
  EXPECT_EQ(FileTypeRow(46).enabled, 0);
  EXPECT_EQ(CategoryRow(kCategoryPhoto).checked, 2);
  for (TypeId id : {36, 44, 49, 72, 171, 221, 238}) EXPECT_TRUE(IsTypeWanted(id)) << id;
  EXPECT_EQ(FileTypeRow(46).extension, "jpg");  // choices never touch the rows' texts
}

}  // namespace
}  // namespace vorsa
