#include "catalogue/result_set.h"

#include <algorithm>
#include <utility>

#include "catalogue/tree.h"
#include "foundation/texts.h"

namespace vorsa {
namespace {

constexpr uint16_t kCheckShift = 1;
constexpr uint16_t kThumbShift = 7;

// Visits `root` and every node below it that `include` admits, each once and
// children before their parent, without recursion: trees may be damaged.
template <typename Children, typename Include, typename Done>
void PostOrder(uint32_t root, uint32_t bound, Children children, Include include, Done done) {
  if (root >= bound) return;
  struct Frame {
    uint32_t id;
    size_t next;
  };
  std::vector<uint8_t> seen(bound, 0);
  seen[root] = 1;
  std::vector<Frame> stack{{root, 0}};
  while (!stack.empty()) {
    const uint32_t id = stack.back().id;
    const std::vector<uint32_t>* list = children(id);
    if (list && stack.back().next < list->size()) {
      const uint32_t child = (*list)[stack.back().next++];
      if (child == kRootNodeId || child >= bound || seen[child] || !include(child)) continue;
      seen[child] = 1;
      stack.push_back(Frame{child, 0});
      continue;
    }
    stack.pop_back();
    done(id);
  }
}

bool HasPictureExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  std::string extension(name.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  static constexpr std::string_view kPictures[] = {"bmp", "jpg", "png", "ico", "gif", "tif"};
  return std::find(std::begin(kPictures), std::end(kPictures), extension) != std::end(kPictures);
}

// Where the user knows a volume from: its drive letter where it has one,
// else where it is mounted, else its device node.
std::string VolumePlace(const DiskInfo& volume) {
  if (volume.driveLetter > 0 && volume.driveLetter < 0x80)
    return FormatText("%c:", {uint64_t{volume.driveLetter}});
  return volume.mountPoint.empty() ? volume.volumePath : volume.mountPoint;
}

// The mounted volumes of the scanned device that start where the partition
// does, as "label (place) " each.
std::string VolumeTexts(const PartInfo& part) {
  const DeviceState& devices = Devices();
  const DiskInfo& device = devices.currentDevice;
  std::string text;
  for (const DiskInfo& volume : devices.volumeList) {
    if (volume.driveNumber != device.driveNumber || volume.firstSector != part.firstSector) continue;
    if (volume.firstSector < device.firstSector || volume.firstSector - device.firstSector >= device.sectorCount)
      continue;
    text += FormatText("%s (%s) ", {part.volumeLabel, VolumePlace(volume)});
  }
  return text;
}

PartInfo NewReservedCatalogue() {
  PartInfo part;
  CreateRootAndLostFolders(part);
  return part;
}

PartInfo NewFoundFilesCatalogue() {
  PartInfo part;
  part.fsKind = FsKind::FoundFiles;
  part.displayName = GetText("FindFile");
  part.volumeLabel = part.displayName;
  part.openPath = Devices().currentDevice.openPath;
  CreateRootAndLostFolders(part);
  GrowNodeTable(kFirstCarvedFileId, part);
  part.table.nodeCount = std::max(part.table.nodeCount, kFirstCarvedFileId);
  return part;
}

}  // namespace

CheckState CheckStateOf(const FileNode& node) {
  return static_cast<CheckState>((node.flags & FileNode::kCheckStateMask) >> kCheckShift);
}

void SetCheckState(FileNode& node, CheckState state) {
  node.flags = static_cast<uint16_t>((node.flags & ~FileNode::kCheckStateMask) |
                                     (static_cast<uint16_t>(state) << kCheckShift & FileNode::kCheckStateMask));
}

CatalogueReader CatalogueHandle::Read() const { return CatalogueReader(catalogue_); }

// The tree a NodeRef's catalogue part names: a catalogue's own folder tree,
// or a view's entries. Ids are node ids or entry ids; Node() gives the
// visible node an id shows. Only the set's operations make one, with the
// set's lock held; those that change nodes hold it exclusively.
class ResultSet::Tree {
 public:
  Tree(const ResultSet& set, uint32_t catalogue) : set_(set) {
    if (catalogue & NodeRef::kViewBit) {
      const uint32_t index = catalogue & 0xFFFF;
      if (index < kViewCount) view_ = &set.views_[index];
    } else if (catalogue < set.entries_.size()) {
      catalogue_ = catalogue;
      table_ = &set.entries_[catalogue]->part.table;
    }
  }

  FileNode* Node(uint32_t id) const {
    if (view_) {
      const ViewEntry* entry = view_->Find(id);
      if (!entry || entry->nodeId == 0) return nullptr;
      return const_cast<ResultSet&>(set_).VisibleNode(entry->catalogueIndex, entry->nodeId);
    }
    return table_ ? const_cast<ResultSet&>(set_).VisibleNode(catalogue_, id) : nullptr;
  }
  // The child list of an id that Node() finds.
  const std::vector<uint32_t>* Children(uint32_t id) const {
    if (view_) return view_->IsPresent(id) ? &view_->entries[id].children : nullptr;
    const FileNode* node = table_ ? table_->Find(id) : nullptr;
    return node ? &node->children : nullptr;
  }
  uint32_t Parent(uint32_t id) const {
    if (view_) return view_->IsPresent(id) ? view_->entries[id].parentId : 0;
    const FileNode* node = table_ ? table_->Find(id) : nullptr;
    return node ? node->parentId : 0;
  }
  uint32_t Bound() const { return view_ ? view_->count : table_ ? table_->nodeCount : 0; }

  template <typename Done>
  void VisitBelow(uint32_t id, Done done) const {
    PostOrder(
        id, Bound(), [this](uint32_t n) { return Children(n); }, [this](uint32_t n) { return Node(n) != nullptr; },
        done);
  }

  // The check state of a folder from its visible children: any partly
  // checked, or checked and unchecked together, make it partly checked.
  // Nothing for a node without visible children: it keeps its own state.
  std::optional<CheckState> StateFromChildren(uint32_t id) const {
    const std::vector<uint32_t>* children = Children(id);
    if (!children) return std::nullopt;
    bool any = false;
    bool checked = false;
    bool unchecked = false;
    for (uint32_t child : *children) {
      const FileNode* node = child != kRootNodeId ? Node(child) : nullptr;
      if (!node) continue;
      any = true;
      const CheckState state = CheckStateOf(*node);
      if (state == CheckState::PartlyChecked) return CheckState::PartlyChecked;
      (state == CheckState::Checked ? checked : unchecked) = true;
    }
    if (!any) return std::nullopt;
    return checked && unchecked ? CheckState::PartlyChecked : checked ? CheckState::Checked : CheckState::Unchecked;
  }

  void RecomputeFromChildren(uint32_t id) const {
    if (const std::optional<CheckState> state = StateFromChildren(id)) SetCheckState(*Node(id), *state);
  }

  void RecomputeAncestors(uint32_t id) const {
    uint32_t current = id;
    for (uint32_t steps = 0; current != kRootNodeId && steps < Bound(); ++steps) {
      const uint32_t parent = Parent(current);
      if (parent == current || !Node(parent)) return;
      RecomputeFromChildren(parent);
      current = parent;
    }
  }

 private:
  const ResultSet& set_;
  const ViewCatalogue* view_ = nullptr;
  const NodeTable* table_ = nullptr;
  uint32_t catalogue_ = 0;
};

ResultSet::ResultSet(bool classifyFiles)
    : classifyFiles_(classifyFiles), filter_(DefaultSearchFilter(PackedTimeNow())) {
  std::unique_lock hold(lock_);
  ResetLocked();
}

ResultSet::~ResultSet() = default;

void ResultSet::AddListener(UserChannel* listener) {
  std::lock_guard hold(listenersLock_);
  if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void ResultSet::RemoveListener(UserChannel* listener) {
  std::lock_guard hold(listenersLock_);
  std::erase(listeners_, listener);
}

void ResultSet::SetMainWindow(UserChannel* window) {
  std::lock_guard hold(listenersLock_);
  mainWindow_ = window;
}

std::vector<UserChannel*> ResultSet::ListenersExcept(const UserChannel* except) {
  std::lock_guard hold(listenersLock_);
  std::vector<UserChannel*> listeners;
  for (UserChannel* listener : listeners_)
    if (listener != except) listeners.push_back(listener);
  return listeners;
}

void ResultSet::Broadcast(uint32_t message, uint64_t wParam, uint64_t lParam, const UserChannel* except) {
  for (UserChannel* listener : ListenersExcept(except)) listener->Notify(message, wParam, lParam);
}

void ResultSet::PostToListeners(uint32_t message, uint64_t wParam, uint64_t lParam) {
  for (UserChannel* listener : ListenersExcept(nullptr)) listener->Post(message, wParam, lParam);
}

void ResultSet::NotifyMainWindow(uint32_t message) {
  UserChannel* window = nullptr;
  {
    std::lock_guard hold(listenersLock_);
    window = mainWindow_;
  }
  if (window) window->Notify(message, 0, 0);
}

std::vector<std::unique_lock<std::shared_mutex>> ResultSet::LockCatalogues() const {
  std::vector<std::unique_lock<std::shared_mutex>> holds;
  holds.reserve(entries_.size());
  for (const std::shared_ptr<Shared>& entry : entries_) holds.emplace_back(entry->lock);
  return holds;
}

void ResultSet::ResetLocked() {
  viewCode_ = kViewByPath;
  entries_.clear();  // a catalogue still held by a reader lives on with it
  for (ViewCatalogue& view : views_) view = ViewCatalogue{};
  entries_.reserve(kMaxEntries);

  PartInfo types = NewReservedCatalogue();
  BuildTypeFolderTree(types);
  AddCatalogueLocked(std::move(types), nullptr);
  for (int dateCatalogue = 0; dateCatalogue < 2; ++dateCatalogue) {
    PartInfo dates = NewReservedCatalogue();
    if (classifyFiles_) BuildDateFolders(dates);
    AddCatalogueLocked(std::move(dates), nullptr);
  }
  if (classifyFiles_)
    for (uint32_t view = 0; view < kViewCount; ++view) views_[view] = MakeViewCatalogue(static_cast<ViewKind>(view));
  AddCatalogueLocked(NewFoundFilesCatalogue(), nullptr);
}

std::optional<ResultSet::Message> ResultSet::AddCatalogueLocked(PartInfo catalogue, const ScanTask* task) {
  if (entries_.size() >= kMaxEntries) return std::nullopt;
  const bool filed = catalogue.fsKind != FsKind::FoundFiles;
  auto shared = std::make_shared<Shared>();
  shared->part = std::move(catalogue);
  entries_.push_back(std::move(shared));
  const auto index = static_cast<uint32_t>(entries_.size() - 1);
  if (index < kReservedPartitionEntries) return std::nullopt;
  if (FileNode* root = VisibleNode(index, kRootNodeId)) root->name = CatalogueLabelLocked(index).value_or("");
  if (classifyFiles_ && filed) {
    AddToViews(entries_[index]->part, index, views_, task);
    CountViewFilesLocked(task);
  }
  return Message{kMsgCatalogueAdded, index, 0};
}

void ResultSet::ResetResults(bool notify) {
  {
    std::unique_lock hold(lock_);
    ResetLocked();
  }
  if (notify) Broadcast(kMsgCatalogueAdded, kFoundFilesIndex, 0);
}

void ResultSet::ReplaceResults(const ScanTask* task, std::vector<PartInfo> catalogues) {
  bool rebuilt = false;
  {
    std::unique_lock hold(lock_);
    ResetLocked();
    for (PartInfo& catalogue : catalogues) {
      if (catalogue.fsKind == FsKind::FoundFiles) {
        auto shared = std::make_shared<Shared>();
        shared->part = std::move(catalogue);
        entries_[kFoundFilesIndex] = std::move(shared);
        if (FileNode* root = VisibleNode(kFoundFilesIndex, kRootNodeId))
          root->name = CatalogueLabelLocked(kFoundFilesIndex).value_or("");
        continue;
      }
      const uint32_t files = catalogue.table.IsValid(kRootNodeId) ? CountAndPrune(catalogue, kRootNodeId) : 0;
      catalogue.table.fileCount = static_cast<int32_t>(files);
      if (files == 0) continue;
      CompactNodeTable(catalogue);
      AddCatalogueLocked(std::move(catalogue), task);
    }
    rebuilt = entries_.size() > kReservedPartitionEntries;
  }
  if (rebuilt) Broadcast(kMsgResultsRebuilt, kFirstFileSystemIndex, 0);
}

void ResultSet::AddCatalogue(PartInfo catalogue, const ScanTask* task, bool notify) {
  std::optional<Message> added;
  bool firstFound = false;
  {
    std::unique_lock hold(lock_);
    // Filing writes the file counts of the view folders in entries 0 to 2.
    const auto holds = LockCatalogues();
    added = AddCatalogueLocked(std::move(catalogue), task);
    firstFound = added && entries_.size() == kFirstFileSystemIndex + 1 &&
                 entries_[kFoundFilesIndex]->part.table.fileCount == 0;
  }
  if (!notify || !added) return;
  Broadcast(added->message, added->wParam, added->lParam);
  if (firstFound) NotifyMainWindow(kMsgFirstFilesFound);
}

size_t ResultSet::PartitionCount() const {
  std::shared_lock hold(lock_);
  return entries_.size();
}

void ResultSet::FileCatalogue(PartInfo part, ScanTask* task, bool notify) {
  AddCatalogue(std::move(part), task, notify);
}

void ResultSet::CountViewFilesLocked(const ScanTask* task) {
  const bool stopped = task && task->Is(RunState::StopRequested);
  for (uint32_t v = 0; v < kViewCount; ++v) {
    ViewCatalogue& view = views_[v];
    view.fileCount = 0;
    if (stopped || !view.IsPresent(kRootNodeId)) continue;
    auto shown = [&](uint32_t id) -> FileNode* {
      const ViewEntry& entry = view.entries[id];
      if (entry.catalogueIndex >= entries_.size()) return nullptr;
      return entries_[entry.catalogueIndex]->part.table.Find(entry.nodeId);
    };
    std::vector<uint32_t> counts(view.count, 0);
    PostOrder(
        kRootNodeId, view.count, [&](uint32_t id) { return &view.entries[id].children; },
        [&](uint32_t id) { return view.IsPresent(id) && shown(id); },
        [&](uint32_t id) {
          FileNode* node = shown(id);
          if (!node) return;
          if (node->IsFile()) {
            counts[id] = 1;
            return;
          }
          uint32_t files = 0;
          for (uint32_t child : view.entries[id].children)
            if (child != kRootNodeId && child < view.count) files += counts[child];
          counts[id] = files;
          // Only the view's own folders show this count; a file's field
          // may hold its data offset.
          if (view.entries[id].catalogueIndex < kReservedPartitionEntries) node->filesBelow = files;
        });
    view.fileCount = counts[kRootNodeId];
  }
}

uint32_t ResultSet::count() const {
  std::shared_lock hold(lock_);
  return static_cast<uint32_t>(entries_.size());
}

int32_t ResultSet::viewCode() const {
  std::shared_lock hold(lock_);
  return viewCode_;
}

void ResultSet::SetViewCode(int32_t code) {
  std::unique_lock hold(lock_);
  if (code >= kViewByPath && code <= kViewByModified) viewCode_ = code;
}

uint32_t ResultSet::ViewFileCount(uint32_t view) const {
  std::shared_lock hold(lock_);
  return view < kViewCount ? views_[view].fileCount : 0;
}

CatalogueHandle ResultSet::Hold(uint32_t index) const {
  std::shared_lock hold(lock_);
  return index < entries_.size() ? CatalogueHandle(entries_[index]) : CatalogueHandle();
}

std::optional<std::string> ResultSet::CatalogueLabel(uint32_t index) const {
  std::shared_lock hold(lock_);
  return CatalogueLabelLocked(index);
}

std::optional<std::string> ResultSet::CatalogueLabelLocked(uint32_t index) const {
  if (index & NodeRef::kViewBit) {
    const uint32_t view = index & 0xFFFF;
    static constexpr const char* kViewKeys[] = {"SortByFileType", "SortByCreateTime", "SortByFixTime"};
    if (view >= kViewCount) return std::nullopt;
    return FormatText("%02u  ", {uint64_t{view}}) + GetText(kViewKeys[view]) +
           FormatText("     (%u%s)", {uint64_t{views_[view].fileCount}, GetText("Files")});
  }
  // The reserved entries are never shown as catalogues.
  if (index < kFoundFilesIndex || index >= entries_.size()) return std::nullopt;
  const PartInfo& part = entries_[index]->part;
  std::string label = FormatText("%02u ", {uint64_t{index - kFoundFilesIndex}});
  const std::string volumes = part.realPart == 1 ? VolumeTexts(part) : std::string();
  label += volumes.empty() ? part.volumeLabel + " " : volumes;
  if (part.listState == 2) label += GetText("DelFile");
  if (part.listState == 1) label += GetText("NormalFile");
  label += FormatText(" (%u %s)", {uint64_t{static_cast<uint32_t>(part.table.fileCount)}, GetText("Files")});
  return label;
}

const FileNode* ResultSet::VisibleNode(uint32_t catalogue, uint32_t id) const {
  if (catalogue >= entries_.size()) return nullptr;
  const FileNode* node = entries_[catalogue]->part.table.Find(id);
  if (!node || (viewCode_ == kViewSearchResult && !(node->flags & FileNode::kSearchMatch))) return nullptr;
  return node;
}

FileNode* ResultSet::VisibleNode(uint32_t catalogue, uint32_t id) {
  return const_cast<FileNode*>(std::as_const(*this).VisibleNode(catalogue, id));
}

std::optional<FileNode> ResultSet::ResolveNode(NodeRef ref) const {
  std::shared_lock hold(lock_);
  const FileNode* node = ref.nodeId != 0 ? Tree(*this, ref.catalogue).Node(ref.nodeId) : nullptr;
  if (!node) return std::nullopt;
  FileNode copy = *node;
  copy.children = {};
  return copy;
}

std::vector<uint32_t> ResultSet::ListVisibleChildren(NodeRef ref, bool onlyWithChildren) const {
  std::shared_lock hold(lock_);
  const Tree tree(*this, ref.catalogue);
  std::vector<uint32_t> ids;
  if (!tree.Node(ref.nodeId)) return ids;
  for (uint32_t child : *tree.Children(ref.nodeId)) {
    if (child == kRootNodeId || !tree.Node(child)) continue;
    if (onlyWithChildren && tree.Children(child)->empty()) continue;
    ids.push_back(child);
  }
  return ids;
}

std::optional<std::vector<uint32_t>> ResultSet::NodePathIds(NodeRef ref) const {
  std::shared_lock hold(lock_);
  uint32_t catalogue = ref.catalogue;
  uint32_t id = ref.nodeId;
  if (ref.IsView()) {
    const ViewEntry* entry = ref.ViewIndex() < kViewCount ? views_[ref.ViewIndex()].Find(id) : nullptr;
    if (!entry) return std::nullopt;
    catalogue = entry->catalogueIndex;
    id = entry->nodeId;
  }
  if (catalogue >= entries_.size()) return std::nullopt;
  const uint32_t bound = entries_[catalogue]->part.table.nodeCount;
  std::vector<uint32_t> ids;
  while (ids.size() <= bound) {
    const FileNode* node = VisibleNode(catalogue, id);
    if (!node) return std::nullopt;
    ids.push_back(id);
    if (id == kRootNodeId) return ids;
    id = node->parentId;
  }
  return std::nullopt;  // a parent cycle that never reaches the root
}

std::optional<NodeText> ResultSet::NodeDisplayText(NodeRef ref) const {
  std::shared_lock hold(lock_);
  const FileNode* node = Tree(*this, ref.catalogue).Node(ref.nodeId);
  if (!node) return std::nullopt;
  NodeText shown{node->name, CheckStateOf(*node)};
  if (node->IsFolder())
    shown.text = FormatText("%s     (%u %s)", {node->name, uint64_t{node->filesBelow}, GetText("Files")});
  return shown;
}

bool ResultSet::OpenFolder(NodeRef ref) {
  {
    std::shared_lock hold(lock_);
    const FileNode* node = Tree(*this, ref.catalogue).Node(ref.nodeId);
    if (!node || !node->IsFolder()) return false;
  }
  Broadcast(kMsgOpenFolder, ref.catalogue, ref.nodeId);
  return true;
}

uint32_t ResultSet::FirstPictureChild(NodeRef ref, std::span<const uint32_t> ids) const {
  std::shared_lock hold(lock_);
  const Tree tree(*this, ref.catalogue);
  for (uint32_t id : ids) {
    const FileNode* node = tree.Node(id);
    if (node && node->IsFile() && HasPictureExtension(node->name)) return id;
  }
  return ids.empty() ? 0 : ids.front();
}

bool ResultSet::RenameNode(NodeRef ref, const std::string& name) {
  if (name.empty()) return false;
  {
    std::unique_lock hold(lock_);
    const auto holds = LockCatalogues();
    FileNode* node = Tree(*this, ref.catalogue).Node(ref.nodeId);
    if (!node) return false;
    node->name = name;
  }
  Broadcast(kMsgNodeRenamed, ref.catalogue, ref.nodeId);
  return true;
}

bool ResultSet::ToggleCheck(NodeRef ref, const UserChannel* asking) {
  {
    std::unique_lock hold(lock_);
    const auto holds = LockCatalogues();
    const Tree tree(*this, ref.catalogue);
    const FileNode* node = tree.Node(ref.nodeId);
    if (!node) return false;
    const CheckState state = CheckStateOf(*node) == CheckState::Checked ? CheckState::Unchecked : CheckState::Checked;
    tree.VisitBelow(ref.nodeId, [&](uint32_t id) { SetCheckState(*tree.Node(id), state); });
    tree.RecomputeAncestors(ref.nodeId);
  }
  Broadcast(kMsgCheckStatesChanged, ref.catalogue, ref.nodeId, asking);
  return true;
}

std::optional<CheckState> ResultSet::GetCheckState(NodeRef ref) const {
  std::shared_lock hold(lock_);
  const FileNode* node = Tree(*this, ref.catalogue).Node(ref.nodeId);
  if (!node) return std::nullopt;
  return CheckStateOf(*node);
}

void ResultSet::RefreshCheckStates(int32_t viewCode) {
  std::unique_lock hold(lock_);
  const auto holds = LockCatalogues();
  auto refresh = [this](uint32_t catalogue) {
    const Tree tree(*this, catalogue);
    if (!tree.Node(kRootNodeId)) return;
    tree.VisitBelow(kRootNodeId, [&](uint32_t id) { tree.RecomputeFromChildren(id); });
  };
  if (viewCode == kViewByPath || viewCode == kViewSearchResult) {
    for (auto index = static_cast<uint32_t>(kFoundFilesIndex); index < entries_.size(); ++index) refresh(index);
  } else if (viewCode >= kViewByType && viewCode <= kViewByModified) {
    refresh(NodeRef::kViewBit | static_cast<uint32_t>(viewCode));
  }
}

void ResultSet::SetThumbState(NodeRef ref, ThumbState state) {
  {
    std::unique_lock hold(lock_);
    const auto holds = LockCatalogues();
    FileNode* node = Tree(*this, ref.catalogue).Node(ref.nodeId);
    if (!node) return;
    node->flags = static_cast<uint16_t>((node->flags & ~FileNode::kThumbStateMask) |
                                        (static_cast<uint16_t>(state) << kThumbShift & FileNode::kThumbStateMask));
  }
  // Posted: the preview worker that reports a thumbnail never waits for a window.
  if (state == ThumbState::Ready) PostToListeners(kMsgThumbnailReady, ref.catalogue, ref.nodeId);
}

CheckedFiles ResultSet::CountCheckedFiles() const {
  std::shared_lock hold(lock_);
  CheckedFiles checked;
  for (const std::shared_ptr<Shared>& entry : entries_) {
    const NodeTable& table = entry->part.table;
    for (uint32_t id = 1; id < table.nodeCount; ++id) {
      const FileNode* node = table.Find(id);
      if (!node || !node->IsFile() || CheckStateOf(*node) == CheckState::Unchecked) continue;
      ++checked.files;
      checked.bytes += node->size;
    }
  }
  return checked;
}

void ResultSet::SetSearchFilter(const SearchFilter& filter) {
  std::unique_lock hold(lock_);
  filter_ = filter;
}

SearchFilter ResultSet::searchFilter() const {
  std::shared_lock hold(lock_);
  return filter_;
}

bool ResultSet::ApplySearch() {
  std::unique_lock hold(lock_);
  const auto holds = LockCatalogues();
  return ApplySearchLocked();
}

bool ResultSet::ApplySearchLocked() {
  if (entries_.size() < kFirstFileSystemIndex) return false;
  const SearchMatcher matcher(filter_);
  bool anyRoot = false;
  for (auto index = static_cast<uint32_t>(kFoundFilesIndex); index < entries_.size(); ++index) {
    NodeTable& table = entries_[index]->part.table;
    for (uint32_t id = 1; id < table.nodeCount; ++id)
      if (FileNode* node = table.Find(id)) matcher.MatchNode(*node);
    if (!table.IsValid(kRootNodeId)) continue;
    // Every folder is decided from all of its children, matching or not.
    PostOrder(
        kRootNodeId, table.nodeCount, [&](uint32_t id) { return &table.nodes[id].children; },
        [&](uint32_t id) { return table.IsValid(id); },
        [&](uint32_t id) {
          FileNode& node = table.nodes[id];
          if (node.IsFile()) return;
          const bool below = std::any_of(node.children.begin(), node.children.end(), [&](uint32_t child) {
            return child != kRootNodeId && table.IsValid(child) && (table.nodes[child].flags & FileNode::kSearchMatch);
          });
          node.flags = static_cast<uint16_t>(below ? node.flags | FileNode::kSearchMatch
                                                   : node.flags & ~FileNode::kSearchMatch);
        });
    anyRoot = anyRoot || (table.nodes[kRootNodeId].flags & FileNode::kSearchMatch);
  }
  return anyRoot;
}

std::vector<uint32_t> ResultSet::MatchedCatalogues() const {
  std::shared_lock hold(lock_);
  return MatchedCataloguesLocked();
}

std::vector<uint32_t> ResultSet::MatchedCataloguesLocked() const {
  std::vector<uint32_t> matched;
  for (auto index = static_cast<uint32_t>(kFirstFileSystemIndex); index < entries_.size(); ++index) {
    const FileNode* root = entries_[index]->part.table.Find(kRootNodeId);
    if (root && (root->flags & FileNode::kSearchMatch)) matched.push_back(index);
  }
  return matched;
}

bool ResultSet::RunSearch(const SearchFilter& filter, UserChannel& user) {
  std::vector<uint32_t> matched;
  {
    std::unique_lock hold(lock_);
    const auto holds = LockCatalogues();
    filter_ = filter;
    if (ApplySearchLocked()) {
      const int32_t previous = viewCode_;
      viewCode_ = kViewSearchResult;
      matched = MatchedCataloguesLocked();
      if (matched.empty() && previous >= kViewByPath && previous <= kViewByModified) viewCode_ = previous;
    }
  }
  if (matched.empty()) {
    user.ShowMessage(GetText("NoFileFilter"));
    return false;
  }
  Broadcast(kMsgSearchResultReady, matched.front(), 0);
  return true;
}

}  // namespace vorsa
