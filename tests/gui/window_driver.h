#pragma once

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <string>
#include <vector>

#include "gui/folder_tree_item_model.h"
#include "gui/folder_tree_view.h"
#include "gui/gui_program.h"
#include "gui/item_list_pane.h"
#include "gui/tree_pane.h"

namespace salvex::testing {

// Drives a GuiProgram's real window with the mouse, as the tests need it.
class WindowDriver {
 public:
  explicit WindowDriver(gui::GuiProgram& program) : program_(program) {}

  gui::MainWindow& Window() const { return program_.Window(); }
  wizard::WizardController& Wizard() const { return program_.Controller(); }
  gui::FolderTreeView& Tree(wizard::TreeKind kind) const { return Window().Trees().View(kind); }
  QTableView& Table() const { return *Window().List().Table(); }
  QPushButton& Button(const char* name) const { return *Window().findChild<QPushButton*>(QString::fromLatin1(name)); }

  // The index of the root's child `row` (-1: the last), or of the root.
  QModelIndex Node(wizard::TreeKind kind, int row) const {
    gui::FolderTreeItemModel& nodes = Tree(kind).Nodes();
    const QModelIndex root = nodes.index(0, 0);
    if (row == kRootRow) return root;
    return nodes.index(row < 0 ? nodes.rowCount(root) - 1 : row, 0, root);
  }
  void ClickNode(wizard::TreeKind kind, int row) const {
    gui::FolderTreeView& view = Tree(kind);
    const QModelIndex index = Node(kind, row);
    view.scrollTo(index);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(index).center());
  }
  void Click(const char* button) const { QTest::mouseClick(&Button(button), Qt::LeftButton); }

  // Waits until no worker runs and the wizard is at `step`.
  bool WaitForStep(int step, int timeoutMs = 60000) const {
    return QTest::qWaitFor([&] { return !Wizard().Busy() && Wizard().StepNumber() == step; }, timeoutMs);
  }

  // The Standard Scan of the first partition of the last disk, to the items
  // step.
  bool ScanFirstPartition() const {
    ClickNode(wizard::TreeKind::disks, -1);
    Click("nextButton");
    if (!WaitForStep(1)) return false;
    ClickNode(wizard::TreeKind::partitions, 0);
    Click("nextButton");
    return WaitForStep(3);
  }

  QString Cell(int row, int column) const { return Table().model()->index(row, column).data().toString(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int row = 0; row < Table().model()->rowCount(); ++row) names.push_back(Cell(row, 0).toStdString());
    return names;
  }
  int RowOf(const QString& name) const {
    for (int row = 0; row < Table().model()->rowCount(); ++row) {
      if (Cell(row, 0) == name) return row;
    }
    return -1;
  }
  QPoint RowCentre(int row, int column = 0) const {
    return Table().visualRect(Table().model()->index(row, column)).center();
  }
  // A press and release, then the double click, as a mouse sends them.
  void DoubleClickRow(int row) const {
    QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, RowCentre(row));
    QTest::mouseDClick(Table().viewport(), Qt::LeftButton, {}, RowCentre(row));
  }
  // The offscreen platform gives no window the focus back when a box closes.
  bool Activate() const {
    Window().activateWindow();
    return QTest::qWaitForWindowActive(&Window());
  }
  void ClickHeader(int column) const {
    QHeaderView* header = Table().horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
  }

  static constexpr int kRootRow = -2;

 private:
  gui::GuiProgram& program_;
};

}  // namespace salvex::testing
