// Carrying out a script's lines as they are read: sections, objects made at once, stored
// commands.
#include "platform/PL_Files.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"
#include "player/VEKReader.h"

void TVEKE::LoadScript(const std::string& path) {
  if (ScriptName.empty()) ScriptName = path;
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, error)) FatalError(path + " script nem olvasható: " + error, 1);
  LoadScriptText(bytes);
}

void TVEKE::LoadScriptText(std::string_view bytes) {
  ForEachScriptLine(bytes, [this](std::string_view text, int32_t number) {
    AtLine(number, [&] { ApplyLine(ReadScriptLine(text, number)); });
  });
  CurrentSection = Sections.front().get();
}

void TVEKE::ApplyLine(const TScriptLine& line) {
  if (line.Error) FatalLineError(line.Error->Text, line.Number);
  if (line.Kind == TLineKind::Section) AddSection(line.Word, line.Number);
  if (line.Kind == TLineKind::Declaration) ApplyDeclaration(line);
  if (line.Kind == TLineKind::Command) AddCommand(line);
}

void TVEKE::ApplyDeclaration(const TScriptLine& line) {
  if (const auto* engine = std::get_if<TEngineDecl>(&line.Declaration)) {
    // Objects hold on to the engine they were made with; replacing it under them would
    // leave them drawing with a freed engine.
    if (AnyObjects()) FatalLineError(kEngineAfterObjects, line.Number);
    CreateEngine(engine->Width, engine->Height, engine->Caption, engine->FontFile);
    return;
  }
  EnsureEngine();
  if (const auto* background = std::get_if<TBackgroundDecl>(&line.Declaration)) {
    LoadBackground(background->ResFile, background->Picture);
    return;
  }
  auto& declarations = CurrentSection->Declarations;
  declarations.push_back({line.ObjectKind, line.ObjectName, line.Declaration, line.Number, -1, {}});
  std::unique_ptr<TVKObject> object = MakeObject(declarations.back());
  AddObject(line.ObjectKind, line.ObjectName, std::move(object), line.Number);
}

std::unique_ptr<TVKObject> TVEKE::MakeObject(TVKDeclaration& declaration) {
  const TDeclaration& decl = declaration.Decl;
  if (const auto* d = std::get_if<TImageDecl>(&decl)) return NewImage(*d);
  if (const auto* d = std::get_if<TButtonDecl>(&decl)) {
    auto button = NewButton(*d);
    declaration.EngineButton = static_cast<TVKButton&>(*button).Button.Index;
    return button;
  }
  if (const auto* d = std::get_if<TTextDecl>(&decl)) return NewText(*d);
  if (const auto* d = std::get_if<TAnimDecl>(&decl)) return NewAnim(*d);
  if (const auto* d = std::get_if<TSoundDecl>(&decl)) return NewSound(*d);
  if (const auto* d = std::get_if<T3DObjDecl>(&decl)) {
    auto object = New3DObj(*d, declaration.LineNumber);
    declaration.Model = static_cast<TVK3DObj&>(*object).Model;
    return object;
  }
  return nullptr;
}

void TVEKE::AddCommand(const TScriptLine& line) {
  auto command = std::make_unique<TVKCommand>();
  command->Name = line.Word;
  command->LineNumber = line.Number;
  command->Params = line.Params;
  if (line.CommandPosition >= kFirstObjectCommand && !IgnoresObjectName(line.Word)) {
    command->ObjectName = line.ObjectName;
    command->Target = FindObject(line.ObjectName);
    // The command will do nothing; say so now rather than fail silently when it runs.
    if (command->Target.expired())
      ShowWarning(kNoSuchObject + Cp1250ToUtf8(line.ObjectName) +
                  " Sor:" + std::to_string(line.Number));
  }
  if (line.Word == "RESETSECTION") CurrentSection->StartsAfresh = true;
  CurrentSection->Commands.push_back(std::move(command));
}

void TVEKE::AddSection(const std::string& name, int32_t line) {
  auto section = std::make_unique<TVKSection>();
  section->Name = name;
  section->LineNumber = line;
  CurrentSection = section.get();
  SectionsByName.try_emplace(name, section.get());
  Sections.push_back(std::move(section));
}

void TVEKE::AddObject(uint8_t kind, const std::string& name, std::shared_ptr<TVKObject> object,
                      int32_t line) {
  auto entry = std::make_unique<TVKObjectEntry>();
  entry->Kind = kind;
  entry->Name = name;
  entry->Obj = std::move(object);
  entry->LineNumber = line;
  CurrentSection->Objects.push_back(std::move(entry));
}

const TVKObjectEntry* TVEKE::FindObjectEntry(const std::string& name, int32_t before) const {
  for (const auto& entry : CurrentSection->Objects)
    if (entry->Name == name && entry->LineNumber < before) return entry.get();
  for (const auto& section : Sections)
    for (const auto& entry : section->Objects)
      if (entry->Name == name && entry->LineNumber < before) return entry.get();
  return nullptr;
}

std::shared_ptr<TVKObject> TVEKE::FindObject(const std::string& name, int32_t before) const {
  const TVKObjectEntry* entry = FindObjectEntry(name, before);
  return entry ? entry->Obj : nullptr;
}

TVKSection* TVEKE::FindSection(const std::string& name) const {
  const auto found = SectionsByName.find(name);
  return found == SectionsByName.end() ? nullptr : found->second;
}

bool TVEKE::AnyObjects() const {
  for (const auto& section : Sections)
    if (!section->Objects.empty()) return true;
  return false;
}
