#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "items/recovery_settings.h"

namespace salvex {

// The file filters' verdict on a name; an empty hook lets every file pass.
using FileFilter = std::function<bool(std::string_view name)>;

enum class Admission {
  admitted,
  refusedByFilter,
  refusedByDeletedMode,
  skippedDuplicate,
  noFreeName,  // every "Copy (n ) of" name up to the bound is taken
};

struct AdmissionResult {
  Admission verdict = Admission::admitted;
  std::string name;  // the name to create, after a rename
};

// "Copy (" n " ) of " name, made safe for the host like any other name.
std::string DuplicateName(std::string_view name, unsigned copy);

// The first "Copy (n ) of" name, n from 1 to `maxCopies`, that `exists` says
// is free; none when all are taken.
std::optional<std::string> FirstFreeDuplicateName(std::string_view name, unsigned maxCopies,
                                                  const std::function<bool(const std::string&)>& exists);

using NameTest = std::function<bool(const std::string&)>;

// The filters' or the deleted-file mode's refusal of a file, if either
// turns it away; nothing when both let it through.
std::optional<Admission> RefusalOf(const std::string& name, bool deleted, const RecoverySettings& settings,
                                   const FileFilter& passesFilters);

// Decides whether a file is recovered, in order: the filters, the deleted-file
// mode, then what to do when `exists` says the name is taken at the
// destination (rename to the first free "Copy (n ) of" name, overwrite, or
// skip). Overwriting replaces only what was there before the run: a name
// that `madeThisRun` says this run wrote is renamed, so two files of one run
// never end as one.
AdmissionResult AdmitForRecovery(const std::string& name, bool deleted, const RecoverySettings& settings,
                                 const FileFilter& passesFilters, const NameTest& exists,
                                 const NameTest& madeThisRun = {});

}  // namespace salvex
