#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wizard/command_view.h"

namespace salvex::testing {

// The window's dialogs without a screen: choosers answer from the test's
// script, dialogs run what the test gives them, and each opening is counted.
class FakeCommandView final : public wizard::CommandView {
 public:
  // What the saving dialog was last told.
  struct Saving final : SavingView {
    void SetPath(std::string_view text) override { path = text; }
    void SetFileName(std::string_view text) override { fileName = text; }
    void SetTotalFiles(std::uint32_t count) override { totalFiles = count; }
    void SetProgress(int percent) override { progress = percent; }
    std::string path;
    std::string fileName;
    std::uint32_t totalFiles = 0;
    int progress = 0;
  };

  std::optional<std::string> ChooseRecoveryFolder() override { return Chosen("folder"); }
  std::optional<std::string> ChooseSnapshotToSave(wizard::SnapshotKind kind) override {
    savedKinds.push_back(kind);
    return Chosen("save");
  }
  std::optional<std::string> ChooseSnapshotToLoad() override { return Chosen("load"); }
  std::optional<std::string> ChooseDiskImage() override { return Chosen("image"); }
  std::optional<wizard::ImageTargets> ChooseImageTargets(const std::string& source) override {
    imagedSource = source;
    const auto image = Chosen("image target");
    if (!image) return std::nullopt;
    return wizard::ImageTargets{*image, *image + ".map"};
  }

  // What the imaging dialog was last told; Stop raised after `stopImagingAfter` calls.
  struct Imaging final : ImagingProgressView {
    void Progress(const ImagingProgress& shown) override {
      last = shown;
      ++calls;
      if (stop && stopAfter && calls >= *stopAfter) *stop = true;
    }
    ImagingProgress last;
    int calls = 0;
    std::optional<int> stopAfter;
    std::atomic<bool>* stop = nullptr;
  };
  ImagingProgressView& OpenImagingDialog(const std::string&, std::atomic<bool>& stop) override {
    opened.push_back("imaging");
    imaging.stop = &stop;
    return imaging;
  }
  void CloseImagingDialog() override { opened.push_back("imaging closed"); }

  SavingView& OpenSavingDialog(RecoveryRunState& run) override {
    opened.push_back("saving");
    runState = &run;
    return saving;
  }
  void CloseSavingDialog() override { opened.push_back("saving closed"); }
  wizard::SummaryChoice ShowRecoverySummary(const wizard::SummaryText& text) override {
    summaries.push_back(text);
    if (openReportAfterSummary) return wizard::SummaryChoice::openReport;
    return openFolderAfterSummary ? wizard::SummaryChoice::openFolder : wizard::SummaryChoice::close;
  }

  void EditSettings(RecoverySettings& settings) override {
    opened.push_back("settings");
    if (editSettings) editSettings(settings);
  }
  void EditFilters(FilterTable& filters) override {
    opened.push_back("filters");
    if (editFilters) editFilters(filters);
  }
  void RunFindFiles(wizard::FindFilesFlow& flow) override {
    opened.push_back("find");
    if (findFiles) findFiles(flow);
  }
  void ShowDriveInformation(const PanelRows& rows) override {
    opened.push_back("drive information");
    shownRows = rows;
  }
  void ShowProperties(const PanelRows& rows) override {
    opened.push_back("properties");
    shownRows = rows;
  }
  void ShowAbout() override { opened.push_back("about"); }
  void ShowDiskSectors(wizard::DiskSectorView& view) override {
    opened.push_back("sectors");
    if (diskSectors) diskSectors(view);
  }
  bool ShowManual() override {
    opened.push_back("manual");
    return manualBundled;
  }

  // Each chooser's answer by its name ("folder", "save", "load", "image"):
  // nothing when not scripted, as a cancelled chooser.
  Imaging imaging;
  std::string imagedSource;

  std::optional<std::string> Chosen(const std::string& chooser) {
    choosers.push_back(chooser);
    const auto found = answers.find(chooser);
    if (found == answers.end()) return std::nullopt;
    return found->second;
  }

  std::map<std::string, std::string> answers;
  std::vector<std::string> choosers;
  std::vector<wizard::SnapshotKind> savedKinds;
  std::vector<std::string> opened;
  std::vector<wizard::SummaryText> summaries;
  PanelRows shownRows;
  Saving saving;
  RecoveryRunState* runState = nullptr;
  bool openFolderAfterSummary = false;
  bool openReportAfterSummary = false;
  bool manualBundled = true;
  std::function<void(RecoverySettings&)> editSettings;
  std::function<void(FilterTable&)> editFilters;
  std::function<void(wizard::FindFilesFlow&)> findFiles;
  std::function<void(wizard::DiskSectorView&)> diskSectors;
};

}  // namespace salvex::testing
