// The file types the program knows, by category. The type id is the row's
// place in the table; ids 0..35, 115 and 146..160 name no type. An empty
// extension list means the primary extension alone.
#include "carve/file_type_rows.h"

namespace vorsa {
namespace {

constexpr CategorySpec kCategories[] = {
    {kCategoryDocument, "Document"}, {kCategoryPhoto, "Photo"},     {kCategoryImage, "Image"},
    {kCategoryAudio, "Audio"},       {kCategoryVideo, "Video"},     {kCategoryZipFile, "ZipFile"},
    {kCategoryOther, "Other"},
};

constexpr FileTypeRowSpec kRows[] = {
    // Document
    {36, kCategoryDocument, "doc", "doc;wps", "MS Office Word 或 WPS Office WPS 文档"},
    {37, kCategoryDocument, "docx", {}, "MS Office 2007 WORD 文档"},
    {38, kCategoryDocument, "xlsx", {}, "MS Office 2007 EXCEL 文档"},
    {39, kCategoryDocument, "chm", {}, "已编译的HTML文件"},
    {40, kCategoryDocument, "pdf", "pdf;ai", "Adobe Acrobat PDF 或 Adobe Illustrator 文档"},
    {41, kCategoryDocument, "hlp", {}, "Windows Help 文件"},
    {42, kCategoryDocument, "pub", {}, "Microsoft Office Publisher 文档"},
    {43, kCategoryDocument, "mht", {}, "聚合网页文件"},
    {87, kCategoryDocument, "xls", "xls;et", "MS Office EXCEL 或 WPS Office ET 文档"},
    {89, kCategoryDocument, "pptx", {}, "MS Office 2007 PowerPoint 文档"},
    {90, kCategoryDocument, "ppt", "ppt;pps;dps", "MS Office PowerPoint 或 WPS Office DPS 文档"},
    {91, kCategoryDocument, "mpp", {}, "Microsoft Office Project 文档"},
    {93, kCategoryDocument, "p65", {}, "Page Maker 文档"},
    {94, kCategoryDocument, "xps", {}, "XML 电子文件"},
    {95, kCategoryDocument, "rpt", {}, "Crystal Reports 文件"},
    {96, kCategoryDocument, "vsd", {}, "Microsoft Office Visio 文档"},
    {97, kCategoryDocument, "one", {}, "MS OneNote 文档"},
    {161, kCategoryDocument, "txt", {}, "文本文件"},
    {164, kCategoryDocument, "rtf", {}, "RTF 文档"},
    {165, kCategoryDocument, "h", {}, "C源代码(.h)"},
    {166, kCategoryDocument, "c", {}, "C源代码(.c)"},
    {167, kCategoryDocument, "cpp", {}, "C源代码(.cpp)"},
    {168, kCategoryDocument, "java", {}, "Java 文件"},
    {169, kCategoryDocument, "php", {}, "PHP 文件"},
    // Photo
    {46, kCategoryPhoto, "jpg", {}, "Jpeg图像"},
    {49, kCategoryPhoto, "cr2", {}, "bmp图"},
    {50, kCategoryPhoto, "raw", {}, "Panasonic RAW 照片"},
    {51, kCategoryPhoto, "tif", {}, "TIFF图片"},
    {52, kCategoryPhoto, "dng", {}, "DNG RAW 照片"},
    {92, kCategoryPhoto, "nef", {}, "NIKON RAW 照片"},
    {98, kCategoryPhoto, "pef", {}, "PENTAX RAW 照片"},
    {99, kCategoryPhoto, "crw", {}, "Canon CRW RAW 照片"},
    {100, kCategoryPhoto, "x3f", {}, "X3F RAW 照片"},
    {101, kCategoryPhoto, "sr2", {}, "SONY SR2 RAW 照片"},
    {102, kCategoryPhoto, "mef", {}, "Mamiya MEF RAW 照片"},
    {103, kCategoryPhoto, "arw", {}, "SONY RAW 照片"},
    {104, kCategoryPhoto, "orf", {}, "OLYMPUS RAW 照片"},
    {144, kCategoryPhoto, "raf", {}, "富士数码照片"},
    // Image
    {44, kCategoryImage, "png", {}, "PNG图片"},
    {45, kCategoryImage, "gif", {}, "GIF图片"},
    {47, kCategoryImage, "psd", {}, "Photoshop PSD 文件"},
    {48, kCategoryImage, "bmp", {}, "Bitmap位图图像"},
    {75, kCategoryImage, "dwg", {}, "AutoCAD图像文件"},
    {76, kCategoryImage, "wmf", {}, "Windows Metafile"},
    {83, kCategoryImage, "ai", {}, "Adobe Illustrator 文件"},
    {85, kCategoryImage, "ani", {}, "动态光标文件"},
    {116, kCategoryImage, "abr", {}, "Photoshop Brushes 文件"},
    {117, kCategoryImage, "max", {}, "PaperPort 文件"},
    {118, kCategoryImage, "cdr", {}, "CorelDraw 图片"},
    {119, kCategoryImage, "dxf", {}, "CAD图像交换文件"},
    {120, kCategoryImage, "mb", {}, "Maya 3D"},
    {121, kCategoryImage, "psp", {}, "PaintShop 图形文件"},
    {122, kCategoryImage, "dgn", {}, "MicroStation PowerDraft 文件"},
    {123, kCategoryImage, "exb", {}, "CAXA 电子图板文件"},
    {124, kCategoryImage, "jnb", {}, "SigmaPlot 文件"},
    {125, kCategoryImage, "dcd", {}, "DesignCAD 图形文件"},
    {126, kCategoryImage, "qcd", {}, "QuickCAD 图形文件"},
    {127, kCategoryImage, "tcw", {}, "TurboCAD 图形文件"},
    {128, kCategoryImage, "qxp", {}, "QuarkXPress Project 文件"},
    {129, kCategoryImage, "qpt", {}, "QuarkXPress Template 文件"},
    {130, kCategoryImage, "sdr", "sdr;sdt", "SmartDraw 图形文件"},
    {131, kCategoryImage, "pzf", {}, "GraphPad Prism 文件"},
    {132, kCategoryImage, "emf", {}, "Windows增强型图元文件"},
    {133, kCategoryImage, "oci", {}, "OpenCanvas 图形文件"},
    {134, kCategoryImage, "icc", {}, "Color profiles 文件"},
    {135, kCategoryImage, "pcb", {}, "PROTEL PCB 文件"},
    {136, kCategoryImage, "tpf", {}, "蒙泰排版文件"},
    {137, kCategoryImage, "gjd", {}, "GJD 文件"},
    {138, kCategoryImage, "vfb", {}, "FontLab"},
    {139, kCategoryImage, "sldprt", {}, "SolibWorks 图形文件"},
    {162, kCategoryImage, "ico", {}, "Icon图片"},
    // Audio
    {53, kCategoryAudio, "wav", {}, "波形声音文件"},
    {54, kCategoryAudio, "mp3", {}, "MP3 声音文件"},
    {55, kCategoryAudio, "ogg", {}, "OGG 音频文件"},
    {56, kCategoryAudio, "ape", {}, "APE 无损压缩音频文件"},
    {57, kCategoryAudio, "mid", {}, "MIDI 音频文件"},
    {58, kCategoryAudio, "ra", {}, "Real Media 音频文件"},
    {59, kCategoryAudio, "wma", {}, "WMA 音频文件"},
    {65, kCategoryAudio, "ram", {}, "ram"},
    {69, kCategoryAudio, "m4a", "m4a;m4r", "Apple 音频文件"},
    {70, kCategoryAudio, "amr", {}, "Adaptive Multi-Rate 文件"},
    {105, kCategoryAudio, "au", {}, "Sun/NeXT 音频文件"},
    {106, kCategoryAudio, "aif", "aif;afc;aiff", "AIF 音频文件"},
    {107, kCategoryAudio, "mmf", {}, "MMF 音频文件"},
    // Video
    {64, kCategoryVideo, "flv", "flv;f4v", "FLV 视频"},
    {66, kCategoryVideo, "rmvb", "rmvb;rm", "Real Media 视频"},
    {67, kCategoryVideo, "mov", {}, "QuickTime MOV 视频"},
    {68, kCategoryVideo, "3gp", {}, "QuickTime 3GP"},
    {71, kCategoryVideo, "m4v", {}, "M4V 视频"},
    {72, kCategoryVideo, "mp4", {}, "MP4 视频"},
    {73, kCategoryVideo, "avi", {}, "AVI 视频"},
    {82, kCategoryVideo, "mpg", "mpg;mpeg;vob;m2v;h264", "MPG 视频"},
    {86, kCategoryVideo, "mkv", "mkv;webm;mka", "MKV 视频"},
    {88, kCategoryVideo, "mts", "mts;m2ts;m2t;ts;tp;mt2s", "MTS 视频"},
    {108, kCategoryVideo, "wmv", "wmv;asf", "WMV 或 ASF 视频"},
    {109, kCategoryVideo, "3g2", {}, "3G2 视频"},
    {110, kCategoryVideo, "wrf", {}, "WebEx 屏幕录像"},
    {111, kCategoryVideo, "swi", {}, "SWiSH Max 文件"},
    {112, kCategoryVideo, "fla", {}, "Flash 文件"},
    {113, kCategoryVideo, "wtv", {}, "Windows Media Center TV 视频"},
    {114, kCategoryVideo, "mxf", {}, "Material Exchange Format 视频"},
    {143, kCategoryVideo, "m2t", "m2t;m2ts;m2t;ts;tp;mt2s", "M2T 视频"},
    // ZipFile
    {60, kCategoryZipFile, "7z", {}, "7zip 压缩文档"},
    {61, kCategoryZipFile, "zip", {}, "ZIP 压缩文档"},
    {62, kCategoryZipFile, "rar", {}, "RAR 压缩文档"},
    {84, kCategoryZipFile, "cab", {}, "Microsoft cab包"},
    {140, kCategoryZipFile, "tar", {}, "Tar 文档"},
    {141, kCategoryZipFile, "iso", {}, "ISO 镜像文件"},
    {142, kCategoryZipFile, "gho", {}, "Ghost 镜像文件"},
    // Other
    {63, kCategoryOther, "jar", {}, "Java 文件"},
    {74, kCategoryOther, "exe", {}, "Windows应用程序"},
    {77, kCategoryOther, "mdb", {}, "Micorsoft Access 数据库"},
    {78, kCategoryOther, "accdb", {}, "Microsoft Access 数据库"},
    {79, kCategoryOther, "html", {}, "超文本标记语言文件"},
    {80, kCategoryOther, "dsw", {}, "Visual Studio 工程文件"},
    {81, kCategoryOther, "sln", {}, "Visual Studio 工程文件"},
    {145, kCategoryOther, "mcb", {}, "midas文件"},
    {163, kCategoryOther, "xml", {}, "xml文件"},
    {170, kCategoryOther, "js", {}, "JavaScript 文件"},
    {171, kCategoryOther, "css", {}, "CSS 文件"},
};

// The sector kinds the sector classifier reports, named for carved-file and
// log texts.
constexpr SectorKindSpec kSectorKinds[] = {
    {221, "MBR"},
    {222, "EBR"},
    {223, "NTFS DBR"},
    {224, "FILE RECORD"},
    {225, "DIR ENTRY"},
    {226, "FAT16 DBR"},
    {227, "FAT16 fat table"},
    {228, "FAT32 DBR"},
    {229, "FAT32 FAT Table"},
    {230, "FAT32 file sys info"},
    {231, "FAT Dir entry"},
    {232, "FAT Root Dir entry"},
    {233, "EXFAT DBR"},
    {234, "Exfat root dir entry"},
    {235, "Exfat dir entry"},
};

// Each row must sit inside the table, once, under a category that exists.
constexpr bool RowsFitTheTable() {
  bool seen[kFileTypeRowCount] = {};
  for (const FileTypeRowSpec& row : kRows) {
    if (row.typeId < kFirstFileType || row.typeId >= kFileTypeRowCount || seen[row.typeId]) return false;
    if (row.category < kFirstCategory || row.category >= kCategoryRowCount || row.extension.empty()) return false;
    seen[row.typeId] = true;
  }
  for (const CategorySpec& category : kCategories)
    if (category.id < kFirstCategory || category.id >= kCategoryRowCount) return false;
  for (const SectorKindSpec& kind : kSectorKinds)
    if (kind.typeId < kFirstSectorKind || kind.typeId >= kTypeNameCount) return false;
  return true;
}
static_assert(RowsFitTheTable());

}  // namespace

std::span<const CategorySpec> CategorySpecs() { return kCategories; }
std::span<const FileTypeRowSpec> FileTypeRowSpecs() { return kRows; }
std::span<const SectorKindSpec> SectorKindSpecs() { return kSectorKinds; }

}  // namespace vorsa
