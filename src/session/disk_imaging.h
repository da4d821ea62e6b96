#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "imaging/disk_imager.h"
#include "imaging/image_file.h"
#include "imaging/map_text.h"
#include "session/outcome.h"
#include "session/session.h"

namespace salvex {

// What `salvex image` and the window's "Create Disk Image..." ask for.
struct ImagingRequest {
  std::string source;  // a device or an image, opened as any disk is
  std::string image;
  std::string map;
  int retries = 0;
  std::string program;      // for the map's heading: the program and version
  std::string commandLine;  // for the map's heading
};

// How the run's progress reaches the front end (from the worker thread).
class ImagingProgressView {
 public:
  virtual ~ImagingProgressView() = default;
  virtual void Progress(const ImagingProgress& progress) = 0;
};

// An imaging run whose source, image and map are open and checked: ready
// to run, on a worker if the caller likes.
class ImagingJob final : private ImagingObserver {
 public:
  ImagingJob(Session& session, const ImagingRequest& request, std::unique_ptr<ImageFile> image, RescueMap map,
             bool resumed);

  // The map as it was found: a run goes on from there.
  bool Resumed() const { return resumed_; }
  std::uint64_t SourceBytes() const { return map_.Extent(); }
  const RescueMap& Map() const { return map_; }

  // Writes the map as it stands (a new one: every byte still to be read):
  // empty when written, else why not.
  std::string WriteMap();
  // Makes the image as long as the source; empty when done, else why not.
  std::string GrowImage();

  // Copies, trims, scrapes and retries until done or `stop`; the map is
  // saved every few seconds and at the end, stopped or not.
  ImagingResult Run(const std::atomic<bool>& stop, ImagingProgressView& view);

 private:
  void Progress(const ImagingProgress& progress) override;
  std::string SaveMap(const RescueMap& map) override;

  Session& session_;
  ImagingRequest request_;
  std::unique_ptr<ImageFile> image_;
  RescueMap map_;
  bool resumed_;
  MapHeading heading_;
  ProtectedFiles protected_;
  ImagingProgressView* view_ = nullptr;
};

struct PreparedImaging {
  std::unique_ptr<ImagingJob> job;
  Outcome outcome;
};

// Opens the source as the session's disk (asking udisks2 where the session
// says so), reads the map when there is one, and opens the image. Refused:
// an image or map that is the source or lies on the disk being imaged
// (checked before anything is created), the two being one file, a map
// that cannot be read or that covers more than the source, and an image
// with bytes already but no map to say what they are. A new map is written
// before the image is grown or written at all, so that an image whose disk
// fills up always has a map to go on from; a map that cannot be written
// refuses the run.
PreparedImaging PrepareImaging(Session& session, const ImagingRequest& request);

// The same for the disk the session has open already (request.source is
// not looked at): the window's chosen disk, or a test's crafted one.
PreparedImaging PrepareImagingOfOpenDisk(Session& session, const ImagingRequest& request);

}  // namespace salvex
