#include "session/scans.h"

#include "partition/quick_search.h"
#include "session/advance_scan.h"

namespace salvex {

StandardScanOutcome StandardScan(Session& session, UiPort& ui, FolderTreeSink& tree, TreeNodeId root) {
  VolumeContext context = session.Volume(ui);
  return RunStandardScan(context, session.items, tree, root);
}

void SweepAndClassify(Session& session, UiPort& ui) {
  RunAdvanceScan(session.reader, session.scan, session.settings, ui, session.deepScan);
}

Outcome MountFoundFileSystem(Session& session, std::uint16_t ordinal, UiPort& ui, FolderTreeSink& tree,
                             TreeNodeId root, bool& completed) {
  if (!SelectFoundFileSystem(session.deepScan, ordinal, session.volume)) {
    return Outcome::Failed("there is no found file system " + std::to_string(ordinal) + " (" +
                           std::to_string(session.deepScan.found.size()) + " found)");
  }
  VolumeContext volume = session.Volume(ui);
  MountContext mount{volume, session.items, session.deepScan, tree, root};
  completed = RunMount(mount);
  return {};
}

void QuickSearch(Session& session, UiPort& ui) {
  const std::uint16_t slot = session.scan.diskIndex;
  const DiskInfo disk = slot < session.disks.diskCount
                            ? session.disks.disks[slot]
                            : EnumerateDisks({}, {{session.reader.Source()->Name(), session.reader.Source()->SizeBytes()}})
                                  .disks.front();
  QuickPartitionSearch(session.reader, disk, session.scan, session.partitions, ui);
}

}  // namespace salvex
