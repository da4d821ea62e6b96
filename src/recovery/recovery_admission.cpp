#include "recovery/recovery_admission.h"

#include "platform/host_folder.h"

namespace salvex {
namespace {

// A folder holding this many copies already is not going to free one up.
constexpr unsigned kMaxCopies = 100'000;

}  // namespace

std::string DuplicateName(std::string_view name, unsigned copy) {
  return SafeHostName("Copy (" + std::to_string(copy) + " ) of " + std::string(name));
}

std::optional<std::string> FirstFreeDuplicateName(std::string_view name, unsigned maxCopies,
                                                  const std::function<bool(const std::string&)>& exists) {
  for (unsigned copy = 1; copy <= maxCopies; ++copy) {
    std::string candidate = DuplicateName(name, copy);
    if (!exists(candidate)) return candidate;
  }
  return std::nullopt;
}

std::optional<Admission> RefusalOf(const std::string& name, bool deleted, const RecoverySettings& settings,
                                   const FileFilter& passesFilters) {
  if (passesFilters && !passesFilters(name)) return Admission::refusedByFilter;
  if ((settings.deletedMode == DeletedMode::onlyDeleted && !deleted) ||
      (settings.deletedMode == DeletedMode::excludeDeleted && deleted)) {
    return Admission::refusedByDeletedMode;
  }
  return std::nullopt;
}

AdmissionResult AdmitForRecovery(const std::string& name, bool deleted, const RecoverySettings& settings,
                                 const FileFilter& passesFilters, const NameTest& exists,
                                 const NameTest& madeThisRun) {
  if (const auto refusal = RefusalOf(name, deleted, settings, passesFilters)) return {*refusal, name};
  if (!exists(name)) return {Admission::admitted, name};
  switch (settings.duplicateMode) {
    case DuplicateMode::skipDuplicate:
      return {Admission::skippedDuplicate, name};
    case DuplicateMode::overwriteDuplicate:
      if (!madeThisRun || !madeThisRun(name)) return {Admission::admitted, name};
      break;
    case DuplicateMode::renameDuplicate:
      break;
  }
  if (auto free = FirstFreeDuplicateName(name, kMaxCopies, exists)) return {Admission::admitted, std::move(*free)};
  return {Admission::noFreeName, name};
}

}  // namespace salvex
