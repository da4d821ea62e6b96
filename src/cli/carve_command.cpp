#include <iostream>
#include <map>

#include "cli/cli_error.h"
#include "cli/cli_ui_port.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "common/visible_text.h"
#include "session/carving.h"
#include "session/recovery_choice.h"
#include "session/stoppable.h"

namespace salvex::cli {
namespace {

void PrintJson(const CarveSummary& summary) {
  JsonWriter json(std::cout);
  json.BeginArray();
  for (const CarvedRecord& file : summary.files) {
    json.BeginObject();
    json.Key("path");
    if (file.error.empty()) {
      json.String(file.path);
    } else {
      json.Null();
    }
    json.Key("type");
    json.String(file.extension);
    json.Key("family");
    json.String(file.family);
    json.Key("size");
    json.Number(file.size);
    json.Key("firstByte");
    json.Number(file.firstByte);
    json.Key("firstSector");
    json.Number(file.firstByte / 512);
    json.Key("verdict");
    json.String(CarveVerdictName(file.soundness));
    json.Key("intact");
    if (file.soundness == Soundness::whole) {
      json.Bool(true);
    } else if (file.soundness == Soundness::unchecked || file.soundness == Soundness::unjudged) {
      json.Null();
    } else {
      json.Bool(false);
    }
    json.Key("partial");
    json.Bool(file.soundness == Soundness::cutShort || file.soundness == Soundness::damaged);
    if (file.cut != CarveCut::none) {
      json.Key("cut");
      json.String(CarveCutName(file.cut));
    }
    json.Key("joined");
    json.Bool(file.joined);
    json.Key("embedded");
    json.Bool(file.embedded);
    json.Key("pieces");
    json.BeginArray();
    for (const ByteRange& piece : file.pieces) {
      json.BeginArray();
      json.Number(piece.start);
      json.Number(piece.end);
      json.EndArray();
    }
    json.EndArray();
    if (!file.damagedSpans.empty()) {
      json.Key("damagedRanges");
      json.BeginArray();
      for (const FileSpan& span : file.damagedSpans) {
        json.BeginArray();
        json.Number(span.start);
        json.Number(span.end);
        json.EndArray();
      }
      json.EndArray();
    }
    if (!file.entryPath.empty()) {
      json.Key("entry");
      json.String(file.entryPath);
    }
    if (file.unreadableSectors > 0) {
      json.Key("unreadableSectors");
      json.Number(file.unreadableSectors);
    }
    if (!file.error.empty()) {
      json.Key("error");
      json.String(file.error);
    }
    json.EndObject();
  }
  json.EndArray();
  std::cout << '\n';
}

std::string Marks(const CarvedRecord& file) {
  std::string marks;
  const auto add = [&](const std::string& mark) { marks += (marks.empty() ? " (" : ", ") + mark; };
  if (file.cut != CarveCut::none) add(std::string("cut: ") + CarveCutName(file.cut));
  if (!file.damagedSpans.empty()) {
    std::string spans;
    for (const FileSpan& span : file.damagedSpans) {
      spans += (spans.empty() ? "" : ", ") + std::to_string(span.start) + "-" + std::to_string(span.end);
    }
    add("kept whole, damaged in bytes " + spans);
  }
  if (file.joined) add("put together from pieces");
  if (file.embedded) add("inside another file");
  if (!file.entryPath.empty()) add("named by its deleted entry");
  if (file.unreadableSectors > 0) add(std::to_string(file.unreadableSectors) + " sector(s) unreadable, zeros");
  return marks.empty() ? "" : marks + ")";
}

void PrintListing(const CarveSummary& summary, const std::string& out) {
  struct Counts {
    std::uint32_t intact = 0, unchecked = 0, unjudged = 0, partial = 0;
  };
  std::map<std::string, Counts> byType;
  Counts total;
  for (const CarvedRecord& file : summary.files) {
    const std::string verdict = CarveVerdictName(file.soundness);
    Counts& counts = byType[file.extension];
    for (Counts* c : {&counts, &total}) {
      if (verdict == "intact") ++c->intact;
      if (verdict == "unchecked") ++c->unchecked;
      if (verdict == "unjudged") ++c->unjudged;
      if (verdict == "partial") ++c->partial;
    }
    std::cout << file.extension << "  " << verdict << "  " << file.size << " bytes  sector " << file.firstByte / 512
              << "  " << (file.error.empty() ? VisibleText(file.path) : "not written: " + file.error) << Marks(file)
              << '\n';
  }
  std::cout << "\nCarved " << summary.files.size() << " file(s), " << summary.bytesWritten << " bytes written into "
            << out << ": " << total.intact << " intact, " << total.unchecked << " complete but unchecked, "
            << total.unjudged << " complete but not judged, " << total.partial << " partial\n";
  for (const auto& [type, counts] : byType) {
    std::cout << "  " << type << ": " << counts.intact << " intact, " << counts.unchecked << " unchecked, "
              << counts.unjudged << " unjudged, " << counts.partial << " partial\n";
  }
  if (summary.failed > 0) std::cout << summary.failed << " file(s) could not be written\n";
  if (summary.stopped) {
    std::cout << "Stopped after " << summary.bytesPassed << " of " << summary.bytesTotal
              << " bytes: the files above are all that was found.\n";
  }
}

}  // namespace

int RunCarve(const CarveOptions& options) {
  if (options.volume.partition && (options.volume.start || options.deep.end)) {
    throw UsageError("--partition and --start/--end choose the range two ways: give one");
  }
  Session session;
  OpenDiskOrImage(session, options.source);
  CliUiPort ui;
  CarveRequest request;
  request.partition = options.volume.partition;
  request.start = options.volume.start;
  request.end = options.deep.end;
  request.types = options.types;
  request.allSpace = options.allSpace;
  request.includeListed = options.includeListed;
  CarvePlan plan;
  RunStoppable([&] { plan = PrepareCarve(session, request, ui); }, session.scan.stopRequested);
  ui.SetStatus("");
  ui.ClearLine();
  Require(plan.outcome);
  Destination destination = OpenRecoveryDestination(session, options.out);
  Require(destination.outcome);
  std::cerr << "salvex: carving " << plan.description << " of " << options.source.path << '\n';
  std::atomic<bool> stop{false};
  CarveSummary summary;
  RunStoppable([&] { summary = CarveFiles(session, plan, *destination.folder, ui, stop); }, stop);
  ui.ClearLine();
  if (options.json) {
    PrintJson(summary);
  } else {
    PrintListing(summary, options.out);
  }
  if (options.json && summary.stopped) std::cerr << "salvex: stopped: the files listed are all that was found\n";
  return summary.stopped || summary.failed > 0 ? 1 : 0;
}

}  // namespace salvex::cli
