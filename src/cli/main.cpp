// salvex: the command-line front end of Brimora Salvex FAT.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <map>
#include <new>

#include "cli/cli_error.h"
#include "cli/commands.h"
#include "recovery/extraction.h"

namespace {

using namespace salvex::cli;

// The Advance Scan reads --end - --start sectors: the end is not one of them.
constexpr const char* kEndHelp = "first sector past the range (not read)";

void AddSourceOption(CLI::App& command, SourceOptions& source) {
  command.add_option("source", source.path, "block device or disk image")->required();
  command.add_flag("--udisks", source.udisks,
                   "when the device may not be opened, ask udisks2 for read-only access (polkit asks for the password)");
}

void AddMapOption(CLI::App& command, SourceOptions& source) {
  command.add_option("--map", source.imageMap,
                     "the image's ddrescue map: mark the files and folders on sectors it does not call finished");
}

void AddVolumeOptions(CLI::App& command, VolumeOptions& volume) {
  command.add_option("--partition", volume.partition, "partition number, as in \"Partition N\" (from 1)");
  command.add_option("--start", volume.start, "first sector of a sector range");
  command.add_option("--size", volume.size, "length of the sector range in sectors");
  command.add_option("--type", volume.type, "file system of the sector range")
      ->check(CLI::IsMember({"fat12", "fat16", "fat32", "ntfs", "exfat"}));
  command.add_option("--snapshot", volume.snapshot, "load a saved snapshot (.RSNP, or .RS2 with --mount) instead of scanning");
}

void AddFilterOption(CLI::App& command, VolumeOptions& volume) {
  command.add_option("--filter", volume.filters, "only files whose names match PATTERN (* and ?); repeatable");
}

void AddDeepOptions(CLI::App& command, VolumeOptions& volume, DeepOptions& deep) {
  command.add_option("--fs", deep.fs, "the file system to look for (with --snapshot: the one the file holds)")
      ->check(CLI::IsMember({"fat12", "fat16", "fat32", "ntfs", "exfat"}));
  command.add_option("--partition", volume.partition, "sweep this partition (\"Partition N\", from 1)");
  command.add_option("--start", volume.start, "first sector of the range");
  command.add_option("--end", deep.end, kEndHelp);
  command.add_option("--read-size", deep.readSize, "sectors per read (1 to 100)")->check(CLI::Range(1, 100));
  command.add_option("--mount", deep.mount, "mount found file system N and list its folders and files");
}

}  // namespace

int main(int argc, char** argv) {
  // Listings of millions of items: stdout is not shared with C stdio.
  std::ios::sync_with_stdio(false);
  CLI::App app{"Brimora Salvex FAT: recovers folders and files, live and deleted, from FAT12, FAT16, FAT32 and exFAT volumes\n"
               "(and NTFS). Disks and images are only ever read."};
  app.set_version_flag("--version", "salvex " SALVEX_VERSION);
  app.require_subcommand(1);

  DisksOptions disks;
  CLI::App* disksCommand = app.add_subcommand("disks", "list the disks of this machine (and the given images)");
  disksCommand->add_option("images", disks.images, "disk images to list after the disks");

  PartitionsOptions partitions;
  CLI::App* partitionsCommand = app.add_subcommand("partitions", "list the FAT and NTFS partitions of a disk");
  AddSourceOption(*partitionsCommand, partitions.source);
  partitionsCommand->add_flag("--json", partitions.json, "print the records as JSON");

  ScanOptions scan;
  CLI::App* scanCommand = app.add_subcommand("scan", "standard scan of a FAT partition: its folders and files, "
                                                     "live and deleted");
  AddSourceOption(*scanCommand, scan.source);
  AddMapOption(*scanCommand, scan.source);
  AddVolumeOptions(*scanCommand, scan.volume);
  AddFilterOption(*scanCommand, scan.volume);
  scanCommand->add_option("--save-snapshot", scan.saveSnapshot, "save the scan results as FILE.RSNP");
  CLI::Option* scanJson = scanCommand->add_flag("--json", scan.json, "print every item as JSON");
  scanCommand
      ->add_flag("--check", scan.check,
                 "with --json: read each file and say whether it looks intact (JPEG, PNG, GIF, ZIP and its "
                 "office formats, PDF): \"intact\": true, false or null")
      ->needs(scanJson);

  PartitionsOptions search;
  CLI::App* searchCommand =
      app.add_subcommand("search-partitions", "look for lost partitions at the start of every cylinder and every 1 MiB boundary");
  AddSourceOption(*searchCommand, search.source);
  searchCommand->add_flag("--json", search.json, "print the records as JSON");

  DeepScanOptions deep;
  CLI::App* deepCommand = app.add_subcommand(
      "deep-scan", "read every sector of a range for file-system structures and list the file systems they form");
  AddSourceOption(*deepCommand, deep.source);
  AddDeepOptions(*deepCommand, deep.volume, deep.deep);
  AddFilterOption(*deepCommand, deep.volume);
  deepCommand->add_option("--snapshot", deep.volume.snapshot, "load the hits of FILE.RS2 instead of sweeping");
  deepCommand->add_option("--save-snapshot", deep.saveSnapshot, "save the hits as FILE.RS2");
  deepCommand->add_flag("--json", deep.json, "print as JSON");

  FindOptions find;
  CLI::App* findCommand = app.add_subcommand(
      "find", "find files by a pattern with * and ? (case is ignored), or by a text they contain");
  AddSourceOption(*findCommand, find.source);
  AddMapOption(*findCommand, find.source);
  findCommand->add_option("pattern", find.pattern,
                          "e.g. '*.DOC', 'REP*', 'DATA?.XLS'; may be left out with --containing (every file)");
  CLI::Option* containing = findCommand->add_option(
      "--containing", find.containing,
      "only files whose bytes hold TEXT (in UTF-8 or UTF-16LE), read through their clusters, live and deleted; "
      "without a pattern, also the volume's free clusters (FAT and exFAT)");
  containing->type_name("TEXT");
  findCommand
      ->add_flag("--ignore-case", find.ignoreCase,
                 "with --containing: a letter matches its other case (ASCII and Latin-1; Greek and Cyrillic in UTF-16)")
      ->needs(containing);
  AddVolumeOptions(*findCommand, find.volume);
  findCommand->add_option("--fs", find.deep.fs, "with --mount: the file system the Advance Scan looks for")
      ->check(CLI::IsMember({"fat12", "fat16", "fat32", "ntfs", "exfat"}));
  findCommand->add_option("--end", find.deep.end, std::string("with --mount: ") + kEndHelp);
  findCommand->add_option("--mount", find.deep.mount, "search found file system N of the Advance Scan");
  findCommand->add_flag("--json", find.json, "print the rows as JSON");

  RecoverOptions recover;
  CLI::App* recoverCommand = app.add_subcommand("recover", "copy folders and files out of a FAT partition");
  AddSourceOption(*recoverCommand, recover.source);
  AddMapOption(*recoverCommand, recover.source);
  recoverCommand->add_option("paths", recover.paths, "folders and files to recover, as salvex scan shows them");
  AddVolumeOptions(*recoverCommand, recover.volume);
  AddFilterOption(*recoverCommand, recover.volume);
  recoverCommand->add_option("--fs", recover.deep.fs, "with --mount: the file system the Advance Scan looks for")
      ->check(CLI::IsMember({"fat12", "fat16", "fat32", "ntfs", "exfat"}));
  recoverCommand->add_option("--end", recover.deep.end, std::string("with --mount: ") + kEndHelp);
  recoverCommand->add_option("--read-size", recover.deep.readSize, "with --mount: sectors per read (1 to 100)")
      ->check(CLI::Range(1, 100));
  recoverCommand->add_option("--mount", recover.deep.mount, "recover from found file system N of the Advance Scan");
  recoverCommand->add_option("--out", recover.out, "folder that receives the recovered tree (on another disk)")
      ->required();
  recoverCommand->add_flag("--all", recover.all, "recover every folder and file of the tree, Lost Files included");
  recoverCommand->add_option("--report", recover.report,
                             "write a CSV report of the run to FILE: each file's path, size, deleted, marks, "
                             "intact check, result and the path written")
      ->type_name("FILE");
  recoverCommand->add_option("--deleted", recover.deletedMode, "include, only or exclude deleted files")
      ->transform(CLI::CheckedTransformer(std::map<std::string, salvex::DeletedMode>{
          {"include", salvex::DeletedMode::includeDeleted},
          {"only", salvex::DeletedMode::onlyDeleted},
          {"exclude", salvex::DeletedMode::excludeDeleted}}));
  recoverCommand->add_option("--duplicates", recover.duplicateMode,
                             "when a file exists already: rename (Copy (n ) of ...), overwrite or skip")
      ->transform(CLI::CheckedTransformer(std::map<std::string, salvex::DuplicateMode>{
          {"rename", salvex::DuplicateMode::renameDuplicate},
          {"overwrite", salvex::DuplicateMode::overwriteDuplicate},
          {"skip", salvex::DuplicateMode::skipDuplicate}}));
  recoverCommand->add_option("--retries", recover.retries, "attempts per bad sector (1 to 10)")
      ->check(CLI::Range(1, 10));

  ImageOptions image;
  CLI::App* imageCommand = app.add_subcommand(
      "image", "copy a disk (or an image) into an image file, keeping a GNU ddrescue map of what was read");
  AddSourceOption(*imageCommand, image.source);
  imageCommand->add_option("image", image.image, "the image file to write (on another disk)")->required();
  imageCommand->add_option("--map", image.map, "the ddrescue mapfile: read to go on from it, written as the run goes")
      ->required();
  imageCommand->add_option("--retries", image.retries, "passes over the bad sectors after scraping (0 to 100)")
      ->check(CLI::Range(0, 100));
  imageCommand->add_flag("--json", image.json, "print the outcome as JSON");
  image.program = "Brimora Salvex FAT " SALVEX_VERSION;
  for (int i = 0; i < argc; ++i) image.commandLine += (i == 0 ? "" : " ") + std::string(argv[i]);

  CarveOptions carve;
  CLI::App* carveCommand = app.add_subcommand(
      "carve", "find files by their content where no folder names them, and write them into a folder");
  AddSourceOption(*carveCommand, carve.source);
  carveCommand->add_option("--partition", carve.volume.partition,
                           "carve this partition (\"Partition N\", from 1): only its volume's free clusters, named "
                           "by the deleted files that started there");
  carveCommand->add_option("--start", carve.volume.start, "first sector of a range to carve, every sector of it");
  carveCommand->add_option("--end", carve.deep.end, kEndHelp);
  carveCommand->add_option("--types", carve.types, "the file types to carve, comma-separated (default: all)")
      ->delimiter(',');
  carveCommand->add_flag("--all-space", carve.allSpace,
                         "with --partition: every sector of it, live files' clusters too, not only the free ones");
  carveCommand->add_flag("--include-listed", carve.includeListed,
                         "also carve files that start where a live file the scan lists starts");
  carveCommand->add_option("--out", carve.out, "folder that receives the carved files (on another disk)")->required();
  carveCommand->add_flag("--json", carve.json, "print each carved file as JSON");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : 2;
  }

  try {
    if (*disksCommand) return RunDisks(disks);
    if (*partitionsCommand) return RunPartitions(partitions);
    if (*scanCommand) return RunScan(scan);
    if (*recoverCommand) return RunRecover(recover);
    if (*searchCommand) return RunSearchPartitions(search);
    if (*deepCommand) return RunDeepScan(deep);
    if (*findCommand) return RunFind(find);
    if (*imageCommand) return RunImage(image);
    if (*carveCommand) return RunCarve(carve);
  } catch (const ReportedError&) {
    return 1;
  } catch (const UsageError& error) {
    std::fprintf(stderr, "salvex: %s\n", error.what());
    return 2;
  } catch (const CliError& error) {
    std::fprintf(stderr, "salvex: error: %s\n", error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "salvex: error: %s\n", salvex::kOutOfMemoryMessage);
    return 1;
  } catch (const std::exception& error) {
    // The last resort: whatever escaped is still one line and a failing
    // status, never an abort.
    std::fprintf(stderr, "salvex: error: %s\n", error.what());
    return 1;
  }
  return 2;
}
