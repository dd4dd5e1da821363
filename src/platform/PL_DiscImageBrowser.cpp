// Disc images in the browser build, which has no libcdio: a presentation there comes as a zip
// archive or a folder, so an image is named as such instead of failing as an unreadable file.
#include "platform/PL_Files.h"

std::shared_ptr<TContainer> OpenDiscImage(const std::string&, TContainerSort, std::string& error) {
  error = "disc images cannot be opened in the browser: pack the presentation as a zip archive";
  return nullptr;
}
