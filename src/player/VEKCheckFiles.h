#pragma once
// The checker's look at the files a script names: whether the player would find them, with
// its own letter-case and backslash resolution, and whether it could use them. Nothing is
// shown or played.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "graphics/SE_Display.h"
#include "player/VEKCheckFindings.h"
#include "player/VEKEngine.h"
#include "player/VEKObjects.h"
#include "player/VEKReader.h"
#include "resource/SE_Resource.h"

// The engine's font file: as the player looks it up, as the script writes it, and the line
// of the CREATEENGINE that names it (0 for the default file).
struct TFontChoice {
  std::string File = kDefaultFontFile;
  std::string Shown = kDefaultFontFile;
  int32_t Line = 0;
};

class TFileCheck {
 public:
  explicit TFileCheck(std::vector<TFinding>& findings);

  // A picture as images, button faces and backgrounds load it: a file when `resFile` is
  // empty, else an entry of that resource file; either must decode.
  void Picture(const TScriptLine& line, const std::string& resFile, const std::string& picture);
  void Video(const TScriptLine& line, const std::string& file);
  void Sound(const TScriptLine& line, const std::string& file);
  // A 3D object's model or texture: a file, or an entry of the resource file when one is
  // given. Only that it is there.
  void ModelPart(const TScriptLine& line, const std::string& resFile, const std::string& name);
  // A text object: its text file, the face it names, and the characters the face lacks.
  void Text(const TScriptLine& line, const TTextDecl& text, const TFontChoice& font);

  // Every file name looked up so far, as written, each once, in order.
  const std::vector<std::string>& Named() const { return NamedFiles; }

 private:
  void Add(int32_t line, std::string message);
  // The resolved path of a file the script names, or nothing (and a finding) when there is
  // no such file.
  std::optional<std::string> Find(const TScriptLine& line, const std::string& name);
  // The resource file, open, when it has the entry, whose header is then in `header`;
  // nothing (and a finding) when it has not.
  std::unique_ptr<TGEResource> OpenEntry(const TScriptLine& line, const std::string& resFile,
                                         const std::string& entry, TGEResourceHeader& header);
  // The bytes a face draws; nothing (after one finding for the font) when it cannot be read.
  const std::array<bool, 256>* FaceBytes(int32_t line, const TFontChoice& font, int32_t face);
  std::optional<std::array<bool, 256>> ReadFace(int32_t line, const std::string& path,
                                                const TFontChoice& font, int32_t face);

  std::vector<TFinding>& Findings;
  TGEDisplay Display;  // a 16-bit one, as the player asks for; it shows nothing
  // Faces read so far, by font file and face; nothing for a face that could not be read.
  std::map<std::pair<std::string, int32_t>, std::optional<std::array<bool, 256>>> Faces;
  std::set<std::string> FontProblems;  // told already
  std::vector<std::string> NamedFiles;
  std::set<std::string> NamedSet;
};
