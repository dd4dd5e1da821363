#pragma once
// The declarations of script objects as the reader records them, before anything is made of
// them: the player makes objects from them, the checker looks at the files they name.
#include <cstdint>
#include <string>
#include <variant>

// Kinds of script objects as declarations and object entries record them.
enum : uint8_t {
  kKindNone = 0,
  kKindImage = 1,
  kKindButton = 2,
  kKindText = 3,
  kKindAnim = 4,
  kKindSound = 5,
  kKind3DObj = 6
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

struct TEngineDecl {
  int32_t Width = 0, Height = 0;
  std::string Caption, FontFile;
};

struct TBackgroundDecl {
  std::string ResFile, Picture;
};

// What a declaration line declares: the engine, the background, or one kind of object.
using TDeclaration = std::variant<std::monostate, TEngineDecl, TBackgroundDecl, TImageDecl,
                                  TButtonDecl, TTextDecl, TAnimDecl, TSoundDecl, T3DObjDecl>;

// The text parameter of CREATETEXT names a text file unless it is quoted.
bool NamesTextFile(const std::string& text);
// What a text object shows: a quoted text without its first and last quote, or the lines of
// the text file, each ended with a carriage return and a line feed. A text file that cannot
// be read throws.
std::string TextObjectContent(const std::string& text);

// Codes of the render mode and mapping keywords of CREATE3DOBJ.
int32_t RenderModeCode(const std::string& keyword);
int32_t MappingCode(const std::string& keyword);
