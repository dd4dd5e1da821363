#pragma once
// Script objects and the parameters of the declarations that create them.
#include <cstdint>
#include <string>

// Kinds of script objects as the object entries record them.
enum : uint8_t {
  kKindNone = 0,
  kKindImage = 1,
  kKindButton = 2,
  kKindText = 3,
  kKindAnim = 4,
  kKindSound = 5,
  kKind3DObj = 6
};

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

// Strings are as the parser read them: code page 1250, quoted values with their quotes.
struct TImageDecl {
  std::string ResFile, Picture;
  int32_t X = 0, Y = 0;
  bool Transparent = false, Visible = false;
};

struct TButtonDecl {
  std::string ResFile, Normal, Hover, Pressed;
  int32_t X = 0, Y = 0, Alpha = 0;
  bool Visible = false, Enabled = false;
  std::string TargetSection;
};

struct TTextDecl {
  std::string Text;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  std::string FontName;
};

struct TAnimDecl {
  std::string File;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  bool FreeWhenDone = false, Looped = false;
};

struct TSoundDecl {
  std::string File;
  bool FreeOnStop = false, Looped = false;
};

struct T3DObjDecl {
  std::string ResFile, ObjectName, Texture1, Texture2;
  int32_t RenderMode = 0, Mapping = 2;
  int32_t X = 0, Y = 0;
  long double Scale = 1;
  bool ShowInvisibleFaces = false, Visible = false;
};

// Codes of the render mode and mapping keywords of CREATE3DOBJ.
int32_t RenderModeCode(const std::string& keyword);
int32_t MappingCode(const std::string& keyword);
