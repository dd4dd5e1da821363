#include "graphics/SE_PictureCache.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/PL_Files.h"
#include "platform/PL_Text.h"

namespace {

// Values by key, held weakly. Making a value happens outside the lock, since decoding takes a
// while; when two threads make the same one, the first to finish is the one kept.
template <class TKey, class TValue>
class TWeakCache {
 public:
  std::shared_ptr<const TValue> Get(const TKey& key, const std::function<TValue()>& make) {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      const auto found = Items.find(key);
      if (found != Items.end())
        if (std::shared_ptr<const TValue> value = found->second.lock()) return value;
    }
    std::shared_ptr<const TValue> made = std::make_shared<TValue>(make());
    std::lock_guard<std::mutex> lock(Mutex);
    // Entries whose values are gone only take room; this is where they are dropped.
    std::erase_if(Items, [](const auto& item) { return item.second.expired(); });
    std::weak_ptr<const TValue>& slot = Items[key];
    if (std::shared_ptr<const TValue> other = slot.lock()) return other;
    slot = made;
    return made;
  }

  size_t Count() {
    std::lock_guard<std::mutex> lock(Mutex);
    return static_cast<size_t>(std::count_if(
        Items.begin(), Items.end(), [](const auto& item) { return !item.second.expired(); }));
  }

 private:
  std::mutex Mutex;
  std::map<TKey, std::weak_ptr<const TValue>> Items;
};

TWeakCache<TPictureKey, TPixelSheet>& Sheets() {
  static TWeakCache<TPictureKey, TPixelSheet> cache;
  return cache;
}

// A frame cut holds its sheet, so no other sheet can take that address while it is listed.
using TFrameKey = std::tuple<const TPixelSheet*, int32_t, int32_t, int32_t>;

TWeakCache<TFrameKey, TFrameSheet>& Frames() {
  static TWeakCache<TFrameKey, TFrameSheet> cache;
  return cache;
}

}  // namespace

std::optional<TPictureKey> PictureKeyOf(const std::string& path, const std::string& entry,
                                        const TGEDisplay& display) {
  std::error_code error;
  TPictureKey key;
  key.Path = std::filesystem::weakly_canonical(path, error).string();
  const TFileInfo file = FileInfoOf(key.Path);
  if (error || file.Kind != TFileKind::Regular) return std::nullopt;
  key.FileSize = file.Size;
  key.Modified = file.ModifiedNs;
  key.Entry = UpperAscii(entry);
  key.Depth = display.Depth;
  key.BytesPerPixel = display.BytesPerPixel;
  key.Is555 = display.Is555;
  return key;
}

TSheetRef SharedSheet(const std::optional<TPictureKey>& key,
                      const std::function<TPixelSheet()>& decode) {
  if (!key) return std::make_shared<const TPixelSheet>(decode());
  return Sheets().Get(*key, decode);
}

std::shared_ptr<const TFrameSheet> SharedFrames(const TSheetRef& sheet, int32_t frameWidth,
                                                int32_t frameHeight, int32_t bytesPerPixel) {
  return Frames().Get(TFrameKey{sheet.get(), frameWidth, frameHeight, bytesPerPixel},
                      [&] { return CutFrames(sheet, frameWidth, frameHeight, bytesPerPixel); });
}

size_t SharedSheetCount() { return Sheets().Count(); }
size_t SharedFrameSheetCount() { return Frames().Count(); }
