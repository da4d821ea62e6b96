#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "items/folder_tree_model.h"
#include "items/item_store.h"
#include "search/find_files.h"
#include "session/content_search.h"
#include "session/session.h"
#include "session/worker.h"
#include "wizard/pause_gate.h"

namespace salvex::wizard {

// The "Find File(s)" dialog as the search sees it.
class FindFilesView {
 public:
  virtual ~FindFilesView() = default;
  virtual std::string Pattern() const = 0;
  // "containing text": empty for a search by name alone.
  virtual std::string ContainingText() const = 0;
  virtual bool IgnoreCase() const = 0;
  virtual void ClearRows() = 0;
  // Whether the list shows where each file holds the text (Offset, Hits).
  virtual void SetTextColumnsVisible(bool visible) = 0;
  // From the worker thread: one hit (named, and its folder's path given, as
  // the list and tree show them), and how many were found so far (its name
  // goes to "Last File", the count to "Files Found").
  virtual void AddRow(const FoundFileRow& row, std::size_t found) = 0;
  // From the worker thread: how far a search by content is.
  virtual void SetProgress(int percent) = 0;
  // The line under the list: what a search by content is doing, or did.
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetStartEnabled(bool enabled) = 0;
  virtual void SetStopEnabled(bool enabled) = 0;
  virtual bool Confirm(std::string_view question) = 0;
  virtual void Close() = 0;
};

inline constexpr const char* kStopSearchQuestion = "Do you want to stop file searching ?";

// What the Find File(s) dialog's buttons do: one search at a time on the
// worker, by name or, with "containing text", by what the files (and with
// no pattern the free space) hold; a stop that asks first (the search waits
// meanwhile), no closing while a search runs, and a found row that leads to
// its folder.
class FindFilesFlow {
 public:
  // Starts work on the worker; `done` runs on this thread after it.
  using RunOnWorker = std::function<void(Worker::Work work, std::function<void()> done)>;
  using OpenFound = std::function<void(const FoundFileRow& row)>;

  // The store, the volume and the disk are the session's; none may change
  // while the dialog is open.
  FindFilesFlow(Session& session, const FolderTreeModel& tree, RunOnWorker run, OpenFound open);

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
  // A row found in free space is named as such.
  FoundFileRow AsListed(FoundFileRow row) const;
  void StartByName(FindFilesView& view);
  void StartByContent(FindFilesView& view, ContentSearchRequest request);
  void Ended(FindFilesView& view);

  Session& session_;
  const ItemStore& store_;
  const FolderTreeModel& tree_;
  bool ntfs_;
  RunOnWorker run_;
  OpenFound open_;
  bool searching_ = false;
  std::atomic<bool> stop_{false};
  PauseGate pause_;
  ContentSearchSummary summary_;  // written by the worker, read when it has ended
};

}  // namespace salvex::wizard
