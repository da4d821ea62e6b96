#include <iostream>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "imaging/imaging_figures.h"
#include "session/disk_imaging.h"
#include "session/stoppable.h"

namespace salvex::cli {
namespace {

// The progress line: phase, what is rescued, the rate and time left once
// they are steady, and the errors so far.
class ImagingLine final : public ImagingProgressView {
 public:
  explicit ImagingLine(CliUiPort& line) : line_(line) {}

  void Progress(const ImagingProgress& progress) override {
    // Called after every read: the line is made a few times a second only.
    const auto now = std::chrono::steady_clock::now();
    if (!line_.Interactive() || now - lastDrawn_ < std::chrono::milliseconds(200)) return;
    lastDrawn_ = now;
    std::string text = PhaseName(progress.phase, progress.pass) + ": " +
                       ByteSize(progress.totals.Bytes(BlockStatus::finished)) + " of " + ByteSize(progress.extent) +
                       " rescued";
    if (const auto rate = SteadyRate(progress)) text += ", " + ByteSize(*rate) + "/s";
    if (const auto left = SecondsLeft(progress)) text += ", " + Duration(*left) + " left";
    text += ", " + std::to_string(progress.readErrors) + " read error(s), " +
            ByteSize(progress.totals.Bytes(BlockStatus::badSector)) + " bad in " +
            std::to_string(progress.totals.Areas(BlockStatus::badSector)) + " area(s)";
    line_.SetProgress(TriedPercent(progress));
    line_.SetStatus(text);
  }

 private:
  CliUiPort& line_;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

const char* EndName(ImagingEnd end) {
  switch (end) {
    case ImagingEnd::finished:
      return "finished";
    case ImagingEnd::stopped:
      return "stopped";
    case ImagingEnd::imageWriteFailed:
      return "imageWriteFailed";
    case ImagingEnd::mapWriteFailed:
      break;
  }
  return "mapWriteFailed";
}

void PrintJson(const ImageOptions& options, const ImagingJob& job, const ImagingResult& result) {
  const MapTotals& totals = result.last.totals;
  JsonWriter json(std::cout);
  json.BeginObject();
  json.Key("source");
  json.String(options.source.path);
  json.Key("image");
  json.String(options.image);
  json.Key("map");
  json.String(options.map);
  json.Key("size");
  json.Number(job.SourceBytes());
  json.Key("resumed");
  json.Bool(job.Resumed());
  json.Key("end");
  json.String(EndName(result.end));
  json.Key("phase");
  json.String(std::string(1, static_cast<char>(job.Map().phase)));
  json.Key("rescued");
  json.Number(totals.Bytes(BlockStatus::finished));
  json.Key("nonTried");
  json.Number(totals.Bytes(BlockStatus::nonTried));
  json.Key("nonTrimmed");
  json.Number(totals.Bytes(BlockStatus::nonTrimmed));
  json.Key("nonScraped");
  json.Number(totals.Bytes(BlockStatus::nonScraped));
  json.Key("badBytes");
  json.Number(totals.Bytes(BlockStatus::badSector));
  json.Key("badAreas");
  json.Number(totals.Areas(BlockStatus::badSector));
  json.Key("readErrors");
  json.Number(result.last.readErrors);
  json.Key("reads");
  json.Number(result.reads);
  json.Key("bytesReadThisRun");
  json.Number(result.last.bytesRescued);
  json.Key("seconds");
  json.Number(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(result.last.elapsed).count()));
  json.EndObject();
  std::cout << '\n';
}

void PrintSummary(const ImageOptions& options, const ImagingJob& job, const ImagingResult& result) {
  const MapTotals& totals = result.last.totals;
  std::cout << "Imaged " << options.source.path << " into " << options.image << " (map " << options.map << "): "
            << job.SourceBytes() << " bytes, " << totals.Bytes(BlockStatus::finished) << " rescued, "
            << totals.Bytes(BlockStatus::badSector) << " bad in " << totals.Areas(BlockStatus::badSector)
            << " area(s), " << result.last.RemainingBytes() << " still to be read\n";
  if (result.reads == 0) std::cout << "The map says the image is finished: nothing was read.\n";
  if (result.end == ImagingEnd::stopped) std::cout << "Stopped: run the same command again to go on.\n";
}

}  // namespace

int RunImage(const ImageOptions& options) {
  Session session;
  session.diskAccess.askUdisks = options.source.udisks;
  const ImagingRequest request{options.source.path, options.image, options.map, options.retries, options.program,
                               options.commandLine};
  PreparedImaging prepared = PrepareImaging(session, request);
  Require(prepared.outcome);
  ImagingJob& job = *prepared.job;
  if (job.Resumed()) std::cerr << "salvex: going on from " << options.map << '\n';

  CliUiPort ui;
  ImagingLine line(ui);
  ui.ShowProgress(true);
  std::atomic<bool> stop{false};
  ImagingResult result;
  // Ctrl-C stops at the next read; the map is saved either way.
  RunStoppable([&] { result = job.Run(stop, line); }, stop);
  ui.ShowProgress(false);
  ui.SetStatus("");
  ui.ClearLine();
  if (options.json) {
    PrintJson(options, job, result);
  } else {
    PrintSummary(options, job, result);
  }
  if (!result.error.empty()) throw CliError(result.error);
  return result.end == ImagingEnd::finished ? 0 : 1;
}

}  // namespace salvex::cli
