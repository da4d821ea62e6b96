#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "search/find_files.h"
#include "session/worker.h"
#include "wizard/pause_gate.h"

namespace salvex::wizard {

// The "Find File(s)" dialog as the search sees it.
class FindFilesView {
 public:
  virtual ~FindFilesView() = default;
  virtual std::string Pattern() const = 0;
  virtual void ClearRows() = 0;
  // From the worker thread: one hit (named, and its folder's path given, as
  // the list and tree show them), and how many were found so far (its name
  // goes to "Last File", the count to "Files Found").
  virtual void AddRow(const FoundFileRow& row, std::size_t found) = 0;
  virtual void SetStartEnabled(bool enabled) = 0;
  virtual void SetStopEnabled(bool enabled) = 0;
  virtual bool Confirm(std::string_view question) = 0;
  virtual void Close() = 0;
};

inline constexpr const char* kStopSearchQuestion = "Do you want to stop file searching ?";

// What the Find File(s) dialog's buttons do: one search at a time on the
// worker, a stop that asks first (the search waits meanwhile), no closing
// while a search runs, and a found row that leads to its folder.
class FindFilesFlow {
 public:
  // Starts work on the worker; `done` runs on this thread after it.
  using RunOnWorker = std::function<void(Worker::Work work, std::function<void()> done)>;
  using OpenFound = std::function<void(const FoundFileRow& row)>;

  FindFilesFlow(const ItemStore& store, const FolderTreeModel& tree, bool ntfs, RunOnWorker run, OpenFound open);

  void OnOpened(FindFilesView& view);
  void OnStart(FindFilesView& view);
  void OnStop(FindFilesView& view);
  // Whether the dialog may close (its close box, Escape).
  bool MayClose() const { return !searching_; }
  void OnRowActivated(FindFilesView& view, const FoundFileRow& row);
  bool Searching() const { return searching_; }

 private:
  // A hit as the item list and the tree show it: its name in its own case,
  // its folder's path with "/" from the root ("/" for the root).
  FoundFileRow AsListed(FoundFileRow row) const;

  const ItemStore& store_;
  const FolderTreeModel& tree_;
  bool ntfs_;
  RunOnWorker run_;
  OpenFound open_;
  bool searching_ = false;
  std::atomic<bool> stop_{false};
  PauseGate pause_;
};

}  // namespace salvex::wizard
