#pragma once

#include <QObject>

namespace salvex::testing {

class WindowFlowTest final : public QObject {
  Q_OBJECT

 private slots:
  void StandardScanFromTheDiskToTheItemsAndBack();
  void AdvanceScanFromTheRangeToTheMountedItems();
  void KeysMenusAndRenameInTheItemsStep();
  void SearchByFileTypeListsWhatItFindsUnderFoundByContent();
};

// A whole-disk sweep of a large sparse image: the window keeps turning,
// shows the read rate, and Stop asks before it stops; Exit during it ends
// without waiting on a box.
class LongSweepTest final : public QObject {
  Q_OBJECT

 private slots:
  void StopAsksAndTheWindowKeepsTurning();
};

// The window's parts that work without a disk.
class GuiPartsTest final : public QObject {
  Q_OBJECT

 private slots:
  void SweepRateIsToldOnceSteady();
  void DatesSortByCalendar();
  void DesktopEntriesForAType();
  void OpenWithStartsTheProgramPicked();
  void AFolderOf200000FilesOpensAndSorts();
  void ColumnWidthsFitLongNamesAndAreRemembered();
  void MarkedDeletedFilesSayWhyInTheirToolTips();
  void WorkersReachTheWindowCoalesced();
  void BoxesFromAWorkerWaitOrAnswerAtQuit();
};

// The preview pane over a reader the test controls.
class PreviewTest final : public QObject {
  Q_OBJECT

 private slots:
  void PreviewShowsPicturesTextAndHexPages();
  void PreviewOfADeletedOverwrittenFileWarnsAboveIt();
  void PreviewFollowsTheNewestSelectionWhileASlowReadIsInFlight();
  void HexViewIsChosenAndGoesToAnOffset();
  void PreviewOfA2MegabyteJpegTime();
};

// The dialogs on their own: defaults, OK and Cancel, refusals.
class DialogsTest final : public QObject {
  Q_OBJECT

 private slots:
  void SettingsOpenWithTheValuesAndCancelKeepsThem();
  void FiltersAreRefusedWithTheirMessagesAndListedNewestFirst();
  void ImagingShowsTheLatestProgressAndStopOnlyRaisesTheFlag();
  void SavingShowsTheWholeRunsProgress();
  void DiskSectorsShowTheirBytesAtTheirOffsets();
  void FindByContentSaysWhereEachFileHoldsTheText();
};

// The commands end to end: a recovery through the saving dialog, compared
// byte for byte, and a snapshot loaded in a new window.
class WindowCommandsTest final : public QObject {
  Q_OBJECT

 private slots:
  void RecoverAllThroughTheSavingDialogAndReloadASnapshot();
};

// What a new user met in the window: the preview after a click, the keys
// of a sorted list, the room the list gets, the filters' sign, the
// keyboard's way through the steps.
class WindowUseTest final : public QObject {
  Q_OBJECT

 private slots:
  void PreviewShowsTheRowClicked();
  void HomeAndEndFollowTheSortedOrder();
  void BackShowsTheStepAsItWasLeft();
  void TheListKeepsItsRoomAtEverySize();
  void TipsAndTextsSayWhatTheyMean();
  void TheKeyboardGoesThroughTheSteps();
  void ViewFiltersNarrowTheListAndTheTree();
};

}  // namespace salvex::testing
