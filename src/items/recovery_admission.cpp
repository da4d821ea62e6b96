#include "items/recovery_admission.h"

#include "platform/host_folder.h"

namespace salvex {
namespace {

// A folder holding this many copies already is not going to free one up.
constexpr unsigned kMaxCopies = 100'000;

}  // namespace

std::string DuplicateName(std::string_view name, unsigned copy) {
  return SafeHostName("Copy (" + std::to_string(copy) + " ) of " + std::string(name));
}

AdmissionResult AdmitForRecovery(const std::string& name, bool deleted, const RecoverySettings& settings,
                                 const FileFilter& passesFilters,
                                 const std::function<bool(const std::string&)>& exists) {
  if (passesFilters && !passesFilters(name)) return {Admission::refusedByFilter, name};
  if ((settings.deletedMode == DeletedMode::onlyDeleted && !deleted) ||
      (settings.deletedMode == DeletedMode::excludeDeleted && deleted)) {
    return {Admission::refusedByDeletedMode, name};
  }
  if (!exists(name)) return {Admission::admitted, name};
  switch (settings.duplicateMode) {
    case DuplicateMode::skipDuplicate:
      return {Admission::skippedDuplicate, name};
    case DuplicateMode::overwriteDuplicate:
      return {Admission::admitted, name};
    case DuplicateMode::renameDuplicate:
      break;
  }
  for (unsigned copy = 1; copy <= kMaxCopies; ++copy) {
    std::string candidate = DuplicateName(name, copy);
    if (!exists(candidate)) return {Admission::admitted, std::move(candidate)};
  }
  return {Admission::noFreeName, name};
}

}  // namespace salvex
