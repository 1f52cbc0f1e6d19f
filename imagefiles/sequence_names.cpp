// sequence_names.cpp - the base path, the numbered file names and the playback prefix.
#include "sequence_names.h"

namespace {

constexpr std::string_view kExtension = ".bmp";

}  // namespace

std::string SequenceBasePath(std::string_view chosenPath) {
  if (chosenPath.ends_with(kExtension)) chosenPath.remove_suffix(kExtension.size());
  return std::string(chosenPath);
}

std::string CardFrameFileName(std::string_view basePath, int cardNumber, int frameNumber) {
  std::string name(basePath);
  name += std::to_string(cardNumber);
  name += '_';
  name += std::to_string(frameNumber);
  name += kExtension;
  return name;
}

std::string FrameFileName(std::string_view basePath, int frameNumber) {
  std::string name(basePath);
  name += std::to_string(frameNumber);
  name += kExtension;
  return name;
}

std::string SequencePrefix(std::string_view basePath) {
  if (basePath.empty()) return {};
  const char last = basePath.back();
  while (!basePath.empty() && basePath.back() == last) basePath.remove_suffix(1);
  return std::string(basePath);
}
