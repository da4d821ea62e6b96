#include "cli/cli_ui_port.h"

#include <unistd.h>

#include <algorithm>

#include "common/visible_text.h"

namespace salvex::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
constexpr std::size_t kDetailWidth = 40;

// Keeps whole UTF-8 sequences: cuts only before a lead byte.
std::string Shorten(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

}  // namespace

CliUiPort::CliUiPort(bool confirmAnswer) : interactive_(::isatty(STDERR_FILENO) == 1), confirmAnswer_(confirmAnswer) {}

CliUiPort::~CliUiPort() { ClearLine(); }

void CliUiPort::SetPanelValue(std::string_view label, std::string_view value) {
  // Called for every entry a scan reads: nothing is made for a line that
  // is never drawn.
  if (interactive_ && label == panel::kLastItem) {
    detail_ = VisibleText(value);
    Redraw(false);
  }
}

void CliUiPort::SetStatus(std::string_view text) {
  status_.assign(text);
  Redraw(true);
}

void CliUiPort::ShowProgress(bool visible) {
  visible_ = visible;
  if (!visible) {
    ClearLine();
  } else {
    Redraw(true);
  }
}

void CliUiPort::SetProgress(int percent) {
  percent_ = std::clamp(percent, 0, 100);
  Redraw(false);
}

void CliUiPort::Notice(NoticeKind kind, std::string_view text) {
  ClearLine();
  const char* prefix = kind == NoticeKind::error ? "salvex: error: " : "salvex: ";
  std::fprintf(stderr, "%s%s\n", prefix, VisibleText(text).c_str());
}

bool CliUiPort::Confirm(std::string_view text) {
  ClearLine();
  std::fprintf(stderr, "salvex: %s %s\n", VisibleText(text).c_str(), confirmAnswer_ ? "Yes" : "No");
  return confirmAnswer_;
}

void CliUiPort::ClearLine() {
  if (!lineShown_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  lineShown_ = false;
}

void CliUiPort::Redraw(bool force) {
  if (!interactive_ || !(visible_ || !status_.empty())) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const int filled = percent_ * kBarWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r\033[K[%s] %3d%% %s %s", bar.c_str(), percent_, status_.c_str(),
               Shorten(detail_, kDetailWidth).c_str());
  std::fflush(stderr);
  lineShown_ = true;
}

void CliSavingView::SetFileName(std::string_view name) {
  if (!line_.Interactive()) return;
  const std::string shown = path_.empty() ? std::string(name) : path_ + "/" + std::string(name);
  line_.SetPanelValue(panel::kLastItem, shown);
}

void CliSavingView::SetTotalFiles(std::uint32_t count) {
  if (!line_.Interactive()) return;
  line_.SetStatus("Saving (" + std::to_string(count) + " written)");
}

}  // namespace salvex::cli
