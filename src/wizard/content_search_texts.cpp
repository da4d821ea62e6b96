#include "wizard/content_search_texts.h"

namespace salvex::wizard {

std::string FoundOffsetText(const FoundFileRow& row) {
  if (!row.text) return {};
  const std::string offset = std::to_string(row.text->offset);
  return row.text->freeSector ? "sector " + std::to_string(*row.text->freeSector) + " + " + offset : offset;
}

std::string ContentSearchStatus(const ContentSearchSummary& summary) {
  if (summary.stopped) return "Stopped after " + std::to_string(summary.filesRead) + " file(s)";
  std::string text = "Searched " + std::to_string(summary.filesRead) + " file(s)";
  if (summary.freeSpaceSearched) text += " and the free space";
  if (summary.filesNotRead > 0) {
    text += "; " + std::to_string(summary.filesNotRead) + " could not be read (" + summary.firstNotReadReason + ")";
  }
  if (summary.unreadableSectors > 0) {
    text += "; " + std::to_string(summary.unreadableSectors) + " unreadable sector(s) searched as zeros";
  }
  if (!summary.freeSpaceNote.empty()) text += "; " + summary.freeSpaceNote;
  return text;
}

std::string ContainingTextProblem(const std::string& text) {
  if (text.size() > kMaxQueryBytes) {
    return "The text is too long: at most " + std::to_string(kMaxQueryBytes) + " bytes are looked for";
  }
  return {};
}

}  // namespace salvex::wizard
