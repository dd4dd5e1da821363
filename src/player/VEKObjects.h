#pragma once
// Script objects and the parameters of the declarations that create them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PL_Surface.h"
#include "player/VEKDecls.h"

class TGESprite;
class TGEButton;

// Base of the six script object classes; the entry that owns an object frees it.
class TVKObject {
 public:
  explicit TVKObject(uint8_t kind) : Kind(kind) {}
  virtual ~TVKObject() = default;
  TVKObject(const TVKObject&) = delete;
  TVKObject& operator=(const TVKObject&) = delete;

  const uint8_t Kind;
  bool EffectRunning = false;  // a timed effect moves or fades the object
};

// The values a timed effect drives: position and opacity.
enum TEffectChannel { kChannelX = 0, kChannelY = 1, kChannelAlpha = 2, kChannelCount = 3 };

// The state of the one effect an object runs at a time; exact values in extended precision.
struct TEffectState {
  std::array<int32_t, kChannelCount> Target{};
  std::array<long double, kChannelCount> Step{}, Cur{};
  uint32_t Duration = 0;
  uint32_t AlphaDuration = 0;  // buttons time their fades apart from their moves
};

// A script object that timed effects can move or fade.
class TVKEffectObject : public TVKObject {
 public:
  using TVKObject::TVKObject;
  virtual int32_t Value(TEffectChannel channel) const = 0;
  virtual void SetPosition(int32_t x, int32_t y) = 0;
  virtual void SetAlpha(int32_t) {}

  TEffectState Effect;
  bool Drawn = false;
  int32_t DrawnX = 0, DrawnY = 0;
};

class TVKImage : public TVKEffectObject {
 public:
  explicit TVKImage(std::unique_ptr<TGESprite> sprite);
  ~TVKImage() override;
  int32_t Value(TEffectChannel channel) const override;
  void SetPosition(int32_t x, int32_t y) override;
  void SetAlpha(int32_t alpha) override;

  bool Transparent = false;
  std::unique_ptr<TGESprite> Sprite;
};

// The engine button belongs to the engine's button list, which keeps drawing it after the
// script object is freed.
class TVKButton : public TVKEffectObject {
 public:
  explicit TVKButton(TGEButton& button);
  int32_t Value(TEffectChannel channel) const override;
  void SetPosition(int32_t x, int32_t y) override;
  // A fade shows a hidden button.
  void SetAlpha(int32_t alpha) override;

  std::string TargetSection;
  uint8_t LastState = 0;
  TGEButton& Button;
};

class TVKText : public TVKEffectObject {
 public:
  TVKText() : TVKEffectObject(kKindText) {}
  int32_t Value(TEffectChannel channel) const override;
  void SetPosition(int32_t x, int32_t y) override;

  std::vector<std::string> Lines;
  uint8_t FontIndex = 0;
  TRect Bounds;
  bool Visible = true;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

class TAudioFileStream;
class TGEMP3;
class TGEAnimPlay;

// A video clip at a place of the screen; effects move its destination rectangle.
class TVKAnim : public TVKEffectObject {
 public:
  explicit TVKAnim(std::unique_ptr<TGEAnimPlay> player);
  ~TVKAnim() override;
  int32_t Value(TEffectChannel channel) const override;
  void SetPosition(int32_t x, int32_t y) override;

  std::unique_ptr<TGEAnimPlay> Player;
  bool Visible = true;
};

// A sound: a streamed wave file, or compressed sound through the MP3 player; neither when
// its file is missing (or there is no sound device), and then every command on it is silent.
class TVKSound : public TVKObject {
 public:
  TVKSound();
  ~TVKSound() override;

  bool Busy();
  // Where play has got to: bytes of wave data, or 100-nanosecond units of compressed sound.
  int64_t Position();
  bool HasPlayer() const { return Stream || MP3; }

  bool IsWave = false;
  bool FreeOnStop = false;
  std::unique_ptr<TGEMP3> MP3;
  std::unique_ptr<TAudioFileStream> Stream;
};

struct T3DObject;

// The turn a rotation effect gives one of a model's three angles.
enum TAxis { kAxisAlfa = 0, kAxisBeta = 1, kAxisGamma = 2 };

// A model of the 3D scene. The scene shares it, so the model outlives a freed script object
// (the scene goes on rendering it, as its models are never taken out) and the script object
// never outlives its model.
class TVK3DObj : public TVKEffectObject {
 public:
  explicit TVK3DObj(std::shared_ptr<T3DObject> model);
  ~TVK3DObj() override;
  int32_t Value(TEffectChannel channel) const override;
  void SetPosition(int32_t x, int32_t y) override;
  int32_t& Angle(TAxis axis);

  std::shared_ptr<T3DObject> Model;
  // The rotation that runs (one effect at a time); exact values in extended precision.
  std::array<int32_t, 3> TargetAngle{};
  std::array<long double, 3> StepAngle{}, CurAngle{};
  uint32_t RotDuration = 0;
  bool Continuous = false;
};

// Cuts text into lines no wider than `width` as `measure` measures: a word runs up to and
// including its first space (else its first comma); a word that does not fit starts a new
// line, even when the line is still empty. A line is as wide as its words together, so each
// word is measured once and the text is walked once: megabytes of text wrap in linear time.
template <typename TMeasure>
std::vector<std::string> WrapWords(std::string_view text, int32_t width, TMeasure measure) {
  std::vector<std::string> lines;
  std::string line;
  int64_t lineWidth = 0;
  bool spacesLeft = true;  // once none is found, none is searched for again
  while (!text.empty()) {
    size_t end = spacesLeft ? text.find(' ') : std::string_view::npos;
    if (end == std::string_view::npos) {
      spacesLeft = false;
      end = text.find(',');
    }
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    const std::string word(text.substr(0, length));
    const int64_t wordWidth = measure(word);
    if (lineWidth + wordWidth > width) {
      lines.push_back(std::move(line));
      line.clear();
      lineWidth = 0;
    }
    line += word;
    lineWidth += wordWidth;
    text.remove_prefix(length);
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}
