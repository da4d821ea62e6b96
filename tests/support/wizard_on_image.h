#pragma once

#include <filesystem>

#include "items/folder_tree_model.h"
#include "session/session.h"
#include "session/worker.h"
#include "support/fake_wizard_view.h"
#include "wizard/wizard_controller.h"

namespace salvex::testing {

// The wizard started on one disk image, against the fake view, a worker
// that runs each job at once and a fake shell.
struct WizardOnImage {
  explicit WizardOnImage(const std::filesystem::path& image)
      : controller(session, view, worker, shell, wizard::WizardController::Options{{image.string()}, "", "", {}}) {
    controller.StartUp();
  }

  // A click on a tree's top-level node: the one at `position`, or the last
  // when it is negative.
  void Click(wizard::TreeKind tree, int position) {
    const auto& nodes = view.trees.at(tree)->Children(FolderTreeModel::kRoot);
    controller.OnTreeClick(position < 0 ? nodes.back() : nodes.at(static_cast<std::size_t>(position)),
                           wizard::TreeHit::onItem);
  }

  Session session;
  FakeWizardView view;
  SynchronousWorker worker;
  FakeShell shell;
  wizard::WizardController controller;
};

}  // namespace salvex::testing
