// The result set: every catalogue of the current scan, the three
// classification views over them, the check and thumbnail states the
// explorer keeps, the search, and the windows told of changes.
//
// Layout of the catalogue list: entries 0 to 2 are reserved (the type
// folders, and the date folders of the creation and modification views),
// entry 3 is the catalogue of files found by signature, and file-system
// catalogues follow from entry 4, at most 4096 entries in all.
//
// Threads. Workers add and replace catalogues and grow entry 3 while the
// user-interface thread browses and the save and preview workers read. The
// rule that keeps this safe:
//   * The set's own lock guards the list and the views; every operation of
//     the set takes it (shared to read, exclusive to change).
//   * Every catalogue is held by a shared pointer and has a lock of its own.
//     Whatever changes a catalogue's nodes holds both the set's lock and the
//     catalogue's lock exclusively, so a reader is safe with either one: the
//     set's operations take the set's lock, a worker outside the set takes
//     the catalogue's through a CatalogueHandle.
//   * Resetting or replacing the results only drops the set's pointers; a
//     catalogue is freed when the last handle to it is gone, so a running
//     save or preview never reads freed memory and keeps seeing the
//     catalogue it started with.
//   * Listeners are told after every lock is released, so a listener may call
//     back into the set. A holder of a CatalogueReader must not call the set
//     (it would wait for writers that wait for its reader); it copies what it
//     needs, lets the reader go, and reads the device without a lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <vector>

#include "catalogue/filing.h"
#include "catalogue/node_table.h"
#include "catalogue/search.h"
#include "catalogue/views.h"
#include "foundation/user_channel.h"

namespace vorsa {

enum class CheckState : uint8_t { Unchecked = 0, Checked = 1, PartlyChecked = 2 };
enum class ThumbState : uint8_t { NotAsked = 0, None = 1, Requested = 2, Ready = 3 };

CheckState CheckStateOf(const FileNode& node);
void SetCheckState(FileNode& node, CheckState state);

// The view being shown.
enum ViewCode : int32_t {
  kViewByPath = -2,
  kViewSearchResult = -1,
  kViewByType = 0,
  kViewByCreated = 1,
  kViewByModified = 2,
};

class CatalogueReader;

namespace detail {
struct SharedCatalogue {
  PartInfo part;
  mutable std::shared_mutex lock;
};
}  // namespace detail

// A catalogue of the set kept alive for a worker outside it.
class CatalogueHandle {
 public:
  CatalogueHandle() = default;
  explicit operator bool() const { return catalogue_ != nullptr; }
  // Shared access to the nodes for as long as the reader lives; only on a
  // handle that holds a catalogue.
  CatalogueReader Read() const;

 private:
  friend class ResultSet;
  explicit CatalogueHandle(std::shared_ptr<detail::SharedCatalogue> catalogue) : catalogue_(std::move(catalogue)) {}
  std::shared_ptr<detail::SharedCatalogue> catalogue_;
};

// Node pointers taken from part() are good while the reader lives: the scan
// cannot grow the table under it.
class CatalogueReader {
 public:
  const PartInfo& part() const { return catalogue_->part; }

 private:
  friend class CatalogueHandle;
  explicit CatalogueReader(std::shared_ptr<const detail::SharedCatalogue> catalogue)
      : catalogue_(std::move(catalogue)), hold_(catalogue_->lock) {}
  std::shared_ptr<const detail::SharedCatalogue> catalogue_;
  std::shared_lock<std::shared_mutex> hold_;
};

struct CheckedFiles {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

struct NodeText {
  std::string text;
  CheckState state = CheckState::Unchecked;
};

class ResultSet final : public CatalogueSink {
 public:
  static constexpr uint32_t kMaxEntries = 4096;
  static constexpr uint32_t kFoundFilesIndex = 3;
  static constexpr uint32_t kFirstFileSystemIndex = 4;

  // `classifyFiles`: the edition's "ClassifyFile" switch; without it no view
  // is filled and the date folders are not made. The search filter starts
  // from DefaultSearchFilter of today.
  explicit ResultSet(bool classifyFiles);
  ~ResultSet() override;
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  // Windows told of changes; a listener stays registered until removed and
  // must outlive its registration.
  void AddListener(UserChannel* listener);
  void RemoveListener(UserChannel* listener);
  // The main window, told when the first found files can be shown.
  void SetMainWindow(UserChannel* window);
  // Sends `message` to every listener except `except`, waiting for each.
  void Broadcast(uint32_t message, uint64_t wParam, uint64_t lParam, const UserChannel* except = nullptr);

  // Empties the set and rebuilds entries 0 to 3 and the views; with
  // `notify`, tells the listeners that entry 3 was added.
  void ResetResults(bool notify);
  // Resets without notification and files the list: a carved-files
  // catalogue replaces entry 3, others are pruned and added when they hold
  // files. Tells the listeners the list was rebuilt.
  void ReplaceResults(const ScanTask* task, std::vector<PartInfo> catalogues);
  // Appends a catalogue (dropped when the list is full), names its root by
  // its label and files it into the views.
  void AddCatalogue(PartInfo catalogue, const ScanTask* task, bool notify);

  // CatalogueSink, for AddCatalogueToResults.
  size_t PartitionCount() const override;
  void FileCatalogue(PartInfo part, ScanTask* task, bool notify) override;

  // Changes entry 3 while the scan carves: `edit` runs with the set's and
  // the catalogue's locks held. When its file count grew the listeners are
  // told, and the main window too when it was empty before.
  template <typename Edit>
  void EditFoundFiles(Edit&& edit);

  CatalogueHandle Hold(uint32_t index) const;
  uint32_t count() const;
  int32_t viewCode() const;
  void SetViewCode(int32_t code);
  uint32_t ViewFileCount(uint32_t view) const;

  // The text a catalogue (or a view, by its NodeRef catalogue part) is shown
  // with; nothing for an index out of range.
  std::optional<std::string> CatalogueLabel(uint32_t index) const;
  // File-system catalogues whose root carries the search match.
  std::vector<uint32_t> MatchedCatalogues() const;

  // Navigation. A node hidden by the search result counts as absent.
  // The node shown, without its child list.
  std::optional<FileNode> ResolveNode(NodeRef ref) const;
  std::vector<uint32_t> ListVisibleChildren(NodeRef ref, bool onlyWithChildren) const;
  // Ids from the node up to and including the root.
  std::optional<std::vector<uint32_t>> NodePathIds(NodeRef ref) const;
  std::optional<NodeText> NodeDisplayText(NodeRef ref) const;
  bool OpenFolder(NodeRef ref);
  // The first of `ids` (children of `ref`) that is a picture file, else the
  // first of them; 0 for none.
  uint32_t FirstPictureChild(NodeRef ref, std::span<const uint32_t> ids) const;
  bool RenameNode(NodeRef ref, const std::string& name);
  // Checks or unchecks the node and everything visible below it, then
  // recomputes its ancestors. The asking window is not told.
  bool ToggleCheck(NodeRef ref, const UserChannel* asking);
  std::optional<CheckState> GetCheckState(NodeRef ref) const;
  // Recomputes folders from their visible children: every catalogue from
  // entry 3 for the path and search views, else the tree of that view.
  void RefreshCheckStates(int32_t viewCode);
  void SetThumbState(NodeRef ref, ThumbState state);
  // Every checked file of every catalogue, hidden ones included.
  CheckedFiles CountCheckedFiles() const;

  // Search.
  void SetSearchFilter(const SearchFilter& filter);
  SearchFilter searchFilter() const;
  // Marks the matching files, and the folders above them, in every
  // catalogue from entry 3. True when some catalogue's root matches.
  bool ApplySearch();
  // The search command: applies `filter` and shows the search result, or
  // tells `user` that nothing matched ("NoFileFilter") and keeps the view.
  bool RunSearch(const SearchFilter& filter, UserChannel& user);

 private:
  using Shared = detail::SharedCatalogue;
  class Tree;
  struct Message {
    uint32_t message;
    uint64_t wParam;
    uint64_t lParam;
  };

  std::vector<std::unique_lock<std::shared_mutex>> LockCatalogues() const;
  void ResetLocked();
  std::optional<Message> AddCatalogueLocked(PartInfo catalogue, const ScanTask* task);
  std::optional<std::string> CatalogueLabelLocked(uint32_t index) const;
  void CountViewFilesLocked(const ScanTask* task);
  bool ApplySearchLocked();
  std::vector<uint32_t> MatchedCataloguesLocked() const;
  const FileNode* VisibleNode(uint32_t catalogue, uint32_t id) const;
  FileNode* VisibleNode(uint32_t catalogue, uint32_t id);
  void NotifyMainWindow(uint32_t message);
  void PostToListeners(uint32_t message, uint64_t wParam, uint64_t lParam);
  std::vector<UserChannel*> ListenersExcept(const UserChannel* except);

  const bool classifyFiles_;
  mutable std::shared_mutex lock_;
  std::vector<std::shared_ptr<Shared>> entries_;
  ViewCatalogue views_[kViewCount];
  int32_t viewCode_ = kViewByPath;
  SearchFilter filter_;

  std::mutex listenersLock_;
  std::vector<UserChannel*> listeners_;
  UserChannel* mainWindow_ = nullptr;
};

template <typename Edit>
void ResultSet::EditFoundFiles(Edit&& edit) {
  int32_t before = 0;
  int32_t after = 0;
  {
    std::unique_lock hold(lock_);
    if (entries_.size() <= kFoundFilesIndex) return;
    Shared& found = *entries_[kFoundFilesIndex];
    std::unique_lock holdCatalogue(found.lock);
    before = found.part.table.fileCount;
    edit(found.part);
    after = found.part.table.fileCount;
  }
  if (after <= before) return;
  Broadcast(kMsgFoundFilesGrew, 0, 0);
  if (before == 0) NotifyMainWindow(kMsgFirstFilesFound);
}

}  // namespace vorsa
