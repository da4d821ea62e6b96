#pragma once

#include <string>

#include "imaging/disk_imager.h"
#include "session/disk_imaging.h"

namespace salvex::wizard {

// The lines of the "Create Disk Image" dialog for one moment of the run:
// "X of Y copied - Z remaining (rate/s)" once the rate is steady.
struct ImagingDialogTexts {
  std::string phase;     // "Copying, pass 1"
  std::string copied;    // "1.5 GiB of 2.0 GiB copied - 0:42 remaining (48.0 MiB/s)"
  std::string badAreas;  // "3 bad area(s), 1.5 KiB; 7 read error(s)"
  int percent = 0;
};

ImagingDialogTexts ImagingProgressTexts(const ImagingProgress& progress);

// The box shown when a run has ended: what it came to and what to do next.
std::string ImagingEndText(const ImagingResult& result, const ImagingRequest& request);

}  // namespace salvex::wizard
