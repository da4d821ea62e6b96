#include "wizard/find_files_flow.h"

#include "session/scans.h"
#include "wizard/content_search_texts.h"

namespace salvex::wizard {

FindFilesFlow::FindFilesFlow(Session& session, const FolderTreeModel& tree, RunOnWorker run, OpenFound open)
    : session_(session),
      store_(session.items),
      tree_(tree),
      ntfs_(ItemsAreNtfs(session)),
      run_(std::move(run)),
      open_(std::move(open)) {}

void FindFilesFlow::OnOpened(FindFilesView& view) {
  view.ClearRows();
  view.SetTextColumnsVisible(false);
  view.SetStartEnabled(true);
  view.SetStopEnabled(false);
}

void FindFilesFlow::OnStart(FindFilesView& view) {
  if (searching_) return;
  const std::string text = view.ContainingText();
  if (const std::string problem = ContainingTextProblem(text); !problem.empty()) {
    view.SetStatus(problem);
    return;
  }
  searching_ = true;
  stop_ = false;
  view.SetStartEnabled(false);
  view.SetStopEnabled(true);
  view.ClearRows();
  view.SetTextColumnsVisible(!text.empty());
  if (text.empty()) {
    view.SetStatus("");
    StartByName(view);
  } else {
    view.SetStatus(kSearchingContentsStatus);
    view.SetProgress(0);
    StartByContent(view, ContentSearchRequest{view.Pattern(), {text, view.IgnoreCase()}});
  }
}

void FindFilesFlow::StartByName(FindFilesView& view) {
  const std::string pattern = view.Pattern();
  run_(
      [this, &view, pattern] {
        FindFiles(store_, tree_, ntfs_, pattern, stop_, [this, &view](const FoundFileRow& row, std::size_t found) {
          view.AddRow(AsListed(row), found);
          pause_.WaitWhilePaused(stop_);
        });
      },
      [this, &view] { Ended(view); });
}

void FindFilesFlow::StartByContent(FindFilesView& view, ContentSearchRequest request) {
  run_(
      [this, &view, request] {
        summary_ = SearchContents(session_, tree_, request, stop_,
                                  {[this, &view](const FoundFileRow& row, std::size_t found) {
                                     view.AddRow(AsListed(row), found);
                                     pause_.WaitWhilePaused(stop_);
                                   },
                                   [this, &view](const ContentSearchProgress& progress) {
                                     view.SetProgress(progress.Percent());
                                     pause_.WaitWhilePaused(stop_);
                                   }});
      },
      [this, &view] {
        view.SetStatus(ContentSearchStatus(summary_));
        Ended(view);
      });
}

void FindFilesFlow::Ended(FindFilesView& view) {
  searching_ = false;
  view.SetStopEnabled(false);
  view.SetStartEnabled(true);
}

FoundFileRow FindFilesFlow::AsListed(FoundFileRow row) const {
  if (row.text && row.text->freeSector) {
    row.name = kFreeSpaceRowName;
    row.path.clear();
    return row;
  }
  const std::string* name = nullptr;
  if (ntfs_) {
    if (row.position < store_.NtfsFiles().Size()) name = &store_.NtfsFiles().Items()[row.position].name;
  } else if (row.position < store_.FatFiles().Size()) {
    name = &store_.FatFiles().Items()[row.position].name;
  }
  if (name != nullptr) row.name = *name;
  row.path = "/" + (row.reachable ? tree_.Path(row.folderNode, '/') : std::string());
  return row;
}

void FindFilesFlow::OnStop(FindFilesView& view) {
  if (!searching_) return;
  view.SetStopEnabled(false);
  pause_.Pause();
  const bool stop = view.Confirm(kStopSearchQuestion);
  // The rows found so far stay; Start comes back when the worker has ended.
  if (stop) stop_ = true;
  pause_.Resume();
  // The search may have ended while the question was open.
  if (!stop && searching_) view.SetStopEnabled(true);
}

void FindFilesFlow::OnRowActivated(FindFilesView& view, const FoundFileRow& row) {
  if (searching_ || !row.reachable) return;
  view.Close();
  open_(row);
}

}  // namespace salvex::wizard
