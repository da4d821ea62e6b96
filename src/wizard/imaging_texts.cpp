#include "wizard/imaging_texts.h"

#include <cctype>

#include "imaging/imaging_figures.h"

namespace salvex::wizard {

ImagingDialogTexts ImagingProgressTexts(const ImagingProgress& progress) {
  ImagingDialogTexts texts;
  texts.phase = PhaseName(progress.phase, progress.pass);
  if (!texts.phase.empty()) texts.phase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(texts.phase[0])));
  texts.copied = ByteSize(progress.totals.Bytes(BlockStatus::finished)) + " of " + ByteSize(progress.extent) + " copied";
  const auto rate = SteadyRate(progress);
  const auto left = SecondsLeft(progress);
  if (rate && left) texts.copied += " - " + Duration(*left) + " remaining (" + ByteSize(*rate) + "/s)";
  texts.badAreas = std::to_string(progress.totals.Areas(BlockStatus::badSector)) + " bad area(s), " +
                   ByteSize(progress.totals.Bytes(BlockStatus::badSector)) + "; " +
                   std::to_string(progress.readErrors) + " read error(s)";
  texts.percent = TriedPercent(progress);
  return texts;
}

std::string ImagingEndText(const ImagingResult& result, const ImagingRequest& request) {
  const MapTotals& totals = result.last.totals;
  std::string text;
  switch (result.end) {
    case ImagingEnd::finished:
      text = "The image is finished: " + request.image + ".";
      break;
    case ImagingEnd::stopped:
      text = "Stopped. The map " + request.map +
             " is kept: Create Disk Image with the same image goes on where this run stopped.";
      break;
    case ImagingEnd::imageWriteFailed:
    case ImagingEnd::mapWriteFailed:
      text = "The image could not be finished: " + result.error + ". The map " + request.map +
             " says what was copied.";
      break;
  }
  text += "\n" + ByteSize(totals.Bytes(BlockStatus::finished)) + " copied, " +
          std::to_string(totals.Areas(BlockStatus::badSector)) + " bad area(s) (" +
          ByteSize(totals.Bytes(BlockStatus::badSector)) + "), " + ByteSize(result.last.RemainingBytes()) +
          " not read yet.";
  return text;
}

}  // namespace salvex::wizard
