#pragma once

#include "recovery/extraction.h"
#include "session/session.h"

namespace salvex {

// What an extraction from the session's volume works with.
inline ExtractionContext ExtractionContextOf(Session& session, RecoveryRunState& run, UiPort& ui, SavingView& saving,
                                             FileFilter passesFilters) {
  return {session.reader, session.volume,           session.settings,
          run,            ui,                       saving,
          std::move(passesFilters), LastVolumeSector(session.volume, session.scan)};
}

}  // namespace salvex
