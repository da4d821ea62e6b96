#include "items/file_type_names.h"

#include <algorithm>
#include <array>
#include <utility>

namespace salvex {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 40> kTypeNames{{
    {"7z", "7-Zip Archive"},         {"avi", "AVI Video"},
    {"bat", "Windows Batch File"},   {"bmp", "Bitmap Image"},
    {"c", "C Source File"},          {"cpp", "C++ Source File"},
    {"csv", "CSV Document"},         {"dll", "Application Extension"},
    {"doc", "Microsoft Word Document"}, {"docx", "Microsoft Word Document"},
    {"exe", "Application"},          {"gif", "GIF Image"},
    {"gz", "Gzip Archive"},          {"h", "C Header File"},
    {"htm", "HTML Document"},        {"html", "HTML Document"},
    {"ini", "Configuration Settings"}, {"jpeg", "JPEG Image"},
    {"jpg", "JPEG Image"},           {"json", "JSON Document"},
    {"log", "Text Document"},        {"mkv", "Matroska Video"},
    {"mov", "QuickTime Video"},      {"mp3", "MP3 Audio"},
    {"mp4", "MPEG-4 Video"},         {"odt", "OpenDocument Text"},
    {"pdf", "PDF Document"},         {"png", "PNG Image"},
    {"ppt", "Microsoft PowerPoint Presentation"}, {"pptx", "Microsoft PowerPoint Presentation"},
    {"rar", "RAR Archive"},          {"rtf", "Rich Text Document"},
    {"tar", "Tar Archive"},          {"tif", "TIFF Image"},
    {"txt", "Text Document"},        {"wav", "Wave Audio"},
    {"xls", "Microsoft Excel Worksheet"}, {"xlsx", "Microsoft Excel Worksheet"},
    {"xml", "XML Document"},         {"zip", "Zip Archive"},
}};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return lower;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
  return upper;
}

}  // namespace

std::string FileTypeName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == fileName.size()) return "File";
  const std::string_view extension = fileName.substr(dot + 1);
  const std::string key = Lower(extension);
  const auto found = std::lower_bound(kTypeNames.begin(), kTypeNames.end(), key,
                                      [](const auto& entry, const std::string& k) { return entry.first < k; });
  if (found != kTypeNames.end() && found->first == key) return std::string(found->second);
  return Upper(extension) + " File";
}

}  // namespace salvex
