#pragma once

#include <string_view>

#include "platform/ui_port.h"

class QWidget;

namespace salvex::gui {

// The program's two boxes, titled "Brimora Salvex FAT": a notice with an OK
// button and the information, error or question icon of its kind, and a
// Yes/No question (true for Yes). Both are modal to `parent`.
void ShowNoticeBox(QWidget* parent, NoticeKind kind, std::string_view text);
bool AskYesNo(QWidget* parent, std::string_view text);
// Closes the question AskYesNo shows, if one is up, as a No.
void CloseOpenQuestion();

inline constexpr const char* kBoxTitle = "Brimora Salvex FAT";

}  // namespace salvex::gui
