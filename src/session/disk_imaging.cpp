#include "session/disk_imaging.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "imaging/map_file.h"
#include "platform/destination_check.h"
#include "session/disk_session.h"

namespace salvex {
namespace {

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// Whether `path` lies on the disk being imaged (the device itself or one of
// its partitions); judged by the nearest folder that exists, before
// anything is created there.
bool OnSourceDisk(const std::string& source, const std::string& path) {
  const auto device = DeviceOfNearestExisting(path);
  return device && CheckDestination(source, *device) == DestinationRisk::onScannedDisk;
}

std::string OnSourceDiskMessage(const std::string& source, const std::string& path) {
  return path + " lies on the disk being imaged (" + source +
         "): writing there would overwrite the data being rescued. Choose a place on another disk.";
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && IdentityOf(first) == IdentityOf(second);
}

}  // namespace

ImagingJob::ImagingJob(Session& session, const ImagingRequest& request, std::unique_ptr<ImageFile> image,
                       RescueMap map, bool resumed)
    : session_(session),
      request_(request),
      image_(std::move(image)),
      map_(std::move(map)),
      resumed_(resumed),
      heading_{request.program, request.commandLine, LocalTimeNow(), {}},
      protected_(session.FilesBeingRead()) {}

ImagingResult ImagingJob::Run(const std::atomic<bool>& stop, ImagingProgressView& view) {
  view_ = &view;
  ImagingSettings settings;
  settings.retries = request_.retries;
  DiskImager imager(*session_.reader.Source(), *image_, map_, settings, stop, *this);
  ImagingResult result = imager.Run();
  view_ = nullptr;
  return result;
}

std::string ImagingJob::WriteMap() { return SaveMap(map_); }

std::string ImagingJob::GrowImage() {
  std::string error;
  image_->GrowTo(map_.Extent(), error);
  return error;
}

void ImagingJob::Progress(const ImagingProgress& progress) {
  if (view_) view_->Progress(progress);
}

std::string ImagingJob::SaveMap(const RescueMap& map) {
  heading_.currentTime = LocalTimeNow();
  return WriteMapFileAtomically(request_.map, FormatRescueMap(map, heading_), protected_);
}

PreparedImaging PrepareImaging(Session& session, const ImagingRequest& request) {
  if (request.image.empty() || request.map.empty()) return {nullptr, Outcome::Failed("an image needs a file and a map")};
  if (Outcome opened = OpenSource(session, request.source); !opened.Ok()) return {nullptr, std::move(opened)};
  return PrepareImagingOfOpenDisk(session, request);
}

PreparedImaging PrepareImagingOfOpenDisk(Session& session, const ImagingRequest& request) {
  if (!session.reader.IsOpen()) return {nullptr, Outcome::Failed("no disk is open to image")};
  if (request.image.empty() || request.map.empty()) return {nullptr, Outcome::Failed("an image needs a file and a map")};
  const std::string source = session.reader.Source()->Name();
  const std::uint64_t sourceBytes = session.reader.Source()->SizeBytes();
  for (const std::string* path : {&request.image, &request.map}) {
    if (OnSourceDisk(source, *path)) return {nullptr, Outcome::Failed(OnSourceDiskMessage(source, *path))};
  }
  const ProtectedFiles beingRead = session.FilesBeingRead();
  if (beingRead.ContainsEntry(AT_FDCWD, request.map.c_str(), true)) {
    return {nullptr, Outcome::Failed(request.map + ": " + kProtectedFileMessage)};
  }
  if (request.image == request.map || SameFile(request.image, request.map)) {
    return {nullptr, Outcome::Failed("the image and the map must be two files: " + request.map)};
  }

  MapFileRead read = ReadMapFile(request.map);
  if (read.exists && !read.map) return {nullptr, Outcome::Failed(read.error)};
  RescueMap map(sourceBytes);
  if (read.map) {
    if (read.map->Extent() > sourceBytes) {
      return {nullptr, Outcome::Failed(request.map + " covers " + std::to_string(read.map->Extent()) +
                                       " bytes, more than the " + std::to_string(sourceBytes) + " of " + source +
                                       ": it is the map of another disk")};
    }
    map = std::move(*read.map);
    // A map of part of the disk (ddrescue --size) goes on over the rest.
    map.Extend(sourceBytes);
  }
  std::string error;
  std::unique_ptr<ImageFile> image = ImageFile::Open(request.image, read.exists, beingRead, error);
  if (!image) return {nullptr, Outcome::Failed(error)};
  auto job = std::make_unique<ImagingJob>(session, request, std::move(image), std::move(map), read.exists);
  if (!read.exists) {
    if (const std::string why = job->WriteMap(); !why.empty()) {
      return {nullptr, Outcome::Failed("the map could not be written, so nothing was read: " + why)};
    }
  }
  if (std::string why = job->GrowImage(); !why.empty()) return {nullptr, Outcome::Failed(std::move(why))};
  return {std::move(job), {}};
}

}  // namespace salvex
