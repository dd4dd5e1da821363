#include "player/VEKCheckFiles.h"

#include <exception>
#include <memory>

#include "audio/SE_AudioDecoder.h"
#include "engine/SE_Font.h"
#include "graphics/SE_PixelSheet.h"
#include "graphics/SE_Sprite.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "video/SE_VideoDecoder.h"

namespace {

std::vector<std::string> FaceKeys() {
  std::vector<std::string> keys;
  for (int32_t face = 0; face < kFaceCount; ++face) keys.push_back(FaceKey(face));
  return keys;
}
}  // namespace

TFileCheck::TFileCheck(std::vector<TFinding>& findings) : Findings(findings) {
  Display.Format = PixelFormatForDepth(Display.Depth, false);
}

void TFileCheck::Add(int32_t line, std::string message) {
  Findings.push_back({line, std::move(message)});
}

std::optional<std::string> TFileCheck::Find(const TScriptLine& line, const std::string& name) {
  if (!name.empty() && NamedSet.insert(name).second) NamedFiles.push_back(name);
  const std::string path = ResolveScriptPath(name);
  if (IsRegularFile(path)) return path;
  Add(line.Number, name.empty() ? "a file name is missing"
                                : "file not found: " + Cp1250ToUtf8(AsWritten(line, name)));
  return std::nullopt;
}

std::unique_ptr<TGEResource> TFileCheck::OpenEntry(const TScriptLine& line,
                                                   const std::string& resFile,
                                                   const std::string& entry,
                                                   TGEResourceHeader& header) {
  const auto path = Find(line, resFile);
  if (!path) return nullptr;
  auto resource = std::make_unique<TGEResource>();
  const std::string file = Cp1250ToUtf8(AsWritten(line, resFile));
  try {
    if (!resource->OpenPath(*path)) {
      Add(line.Number, "not a resource file: " + file);
      return nullptr;
    }
    if (resource->ReadHeaderByName(entry, header)) return resource;
    std::vector<std::string> names;
    for (const TGEResourceHeader& listed : resource->ListEntries()) names.push_back(listed.Name);
    Add(line.Number, "resource file " + file + " has no entry " +
                         QuotedName(AsWritten(line, entry)) + DidYouMean(entry, names));
  } catch (const std::exception& error) {
    Add(line.Number, "resource file " + file + " cannot be read: " + error.what());
  }
  return nullptr;
}

void TFileCheck::Picture(const TScriptLine& line, const std::string& resFile,
                         const std::string& picture) {
  try {
    if (resFile.empty()) {
      if (const auto path = Find(line, picture)) LoadPictureSheet(*path, Display);
      return;
    }
    TGEResourceHeader header;
    const auto resource = OpenEntry(line, resFile, picture, header);
    if (!resource) return;
    CheckPictureEntry(header, true);
    TGEResourceEntry entry;
    if (!resource->ReadByName(header.Name, entry)) throw TResourceError(resource->ErrorText);
    SheetFromEntry(entry, Display);
  } catch (const std::exception& error) {
    Add(line.Number,
        "picture does not load: " + Cp1250ToUtf8(AsWritten(line, picture)) + ": " + error.what());
  }
}

void TFileCheck::Video(const TScriptLine& line, const std::string& file) {
  const auto path = Find(line, file);
  std::string error;
  if (path && !TVideoDecoder::Open(*path, false, error))
    Add(line.Number, "video does not open: " + error);
}

void TFileCheck::Sound(const TScriptLine& line, const std::string& file) {
  const auto path = Find(line, file);
  std::string error;
  if (path && !TAudioDecoder::Open(*path, error)) Add(line.Number, "sound does not open: " + error);
}

void TFileCheck::ModelPart(const TScriptLine& line, const std::string& resFile,
                           const std::string& name) {
  TGEResourceHeader header;
  if (resFile.empty())
    Find(line, name);
  else
    OpenEntry(line, resFile, name, header);
}

void TFileCheck::Text(const TScriptLine& line, const TTextDecl& text, const TFontChoice& font) {
  // An unknown name silently gives the first face; an empty one is taken to mean just that.
  const int32_t face = TGEFont::FaceIndex(text.FontName);
  if (!text.FontName.empty() && FaceKey(face) != text.FontName) {
    Add(line.Number, "unknown font face " + QuotedName(text.FontName) + ", drawn in " + FaceKey(0) +
                         DidYouMean(text.FontName, FaceKeys()));
  }
  if (NamesTextFile(text.Text) && !Find(line, text.Text)) return;
  std::string content;
  try {
    content = TextObjectContent(text.Text);
  } catch (const std::exception& error) {
    Add(line.Number, error.what());
    return;
  }
  const std::array<bool, 256>* drawable = FaceBytes(line.Number, font, face);
  if (!drawable) return;
  // Blanks and line breaks take room without a glyph; anything else without one is lost.
  std::array<bool, 256> listed{};
  std::string missing;
  for (const unsigned char byte : content) {
    if (byte <= ' ' || byte == 0x7F || (*drawable)[byte] || listed[byte]) continue;
    listed[byte] = true;
    missing += (missing.empty() ? "" : " ") + QuotedName(std::string(1, static_cast<char>(byte)));
  }
  if (!missing.empty()) Add(line.Number, "face " + FaceKey(face) + " cannot draw " + missing);
}

const std::array<bool, 256>* TFileCheck::FaceBytes(int32_t line, const TFontChoice& font,
                                                   int32_t face) {
  const std::string path = ResolveFontFile(font.File);
  // A font of the script's own; the default one comes with the player.
  if (font.Line > 0 && NamedSet.insert(font.File).second) NamedFiles.push_back(font.File);
  auto [known, fresh] = Faces.try_emplace({path, face});
  if (fresh) known->second = ReadFace(font.Line > 0 ? font.Line : line, path, font, face);
  return known->second ? &*known->second : nullptr;
}

std::optional<std::array<bool, 256>> TFileCheck::ReadFace(int32_t line, const std::string& path,
                                                          const TFontChoice& font, int32_t face) {
  // A font is told about once, where it is named (or at the first text that needs it).
  std::string problem;
  if (!IsRegularFile(path)) {
    problem = "file not found: " + Cp1250ToUtf8(font.Shown);
  } else {
    try {
      return FaceDrawableBytes(path, face);
    } catch (const std::exception& error) {
      problem = "font file " + Cp1250ToUtf8(font.Shown) + ": " + error.what();
    }
  }
  if (FontProblems.insert(problem).second) Add(line, problem);
  return std::nullopt;
}
