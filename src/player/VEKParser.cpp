// Reading a script into sections, object entries and stored commands.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"
#include "player/VEKParams.h"

namespace {
// Declaration parameters in order, each failure ending the script with its line number.
class TDeclParams {
 public:
  TDeclParams(std::string_view text, int32_t line) : Reader(text), Line(line) {}

  std::string Str() {
    std::string value;
    if (!Reader.Next(value)) FatalLineError("Paraméter hiba.", Line);
    return value;
  }
  int32_t Int() {
    std::string value = Str();
    if (value == "BLACK") return 0;
    if (value == "WHITE") return -1;
    int32_t number = 0;
    if (!TextToInt(value, number)) FatalLineError("Hibás egész szám paraméter.", Line);
    return number;
  }
  long double Real() {
    long double number = 0;
    if (!TextToReal(Str(), number)) FatalLineError("Hibás egész szám paraméter.", Line);
    return number;
  }
  bool Bool() {
    int value = BoolKeyword(Str());
    if (value < 0) FatalLineError("Hibás logikai paraméter.", Line);
    return value == 1;
  }

 private:
  TParamReader Reader;
  int32_t Line;
};

int CommandPosition(std::string_view word) {
  for (int i = 0; i < static_cast<int>(std::size(kCommandWords)); ++i)
    if (kCommandWords[i] == word) return i;
  return -1;
}

bool KeepsLetterCase(std::string_view word) { return word == "EXECUTE" || word == "WINOPEN"; }

// Commands whose first parameter is a placeholder, not an object.
bool IgnoresObjectName(std::string_view word) { return word == "SET3DZOOM" || word == "ZOOM3D"; }
}  // namespace

void TVEKE::LoadScript(const std::string& path) {
  if (ScriptName.empty()) ScriptName = path;
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  if (file) bytes << file.rdbuf();
  if (!file || file.bad()) {
    FatalError(path + " script nem olvasható: " + std::strerror(errno), 1);
  }
  LoadScriptText(bytes.str());
}

void TVEKE::LoadScriptText(std::string_view bytes) {
  std::string text = DecodeTextFile(bytes);
  std::string_view rest(text);
  LineNumber = 0;
  // A line ends at CR, LF or CR LF, so scripts from any system read alike.
  while (!rest.empty()) {
    size_t end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    if (end == std::string_view::npos) {
      rest = {};
    } else {
      bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
      rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    ++LineNumber;
    AtLine(LineNumber, [&] { ParseLine(line); });
  }
  CurrentSection = Sections.front().get();
}

void TVEKE::ParseLine(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.starts_with("//")) return;
  if (line.front() == '[') {
    ParseSectionHeader(line);
    return;
  }
  std::string word;
  std::string_view params;
  size_t paren = line.find('(');
  if (paren == std::string_view::npos) {
    word = UpperAscii(line);
    params = line;
  } else {
    word = UpperAscii(TrimBlanks(line.substr(0, paren)));
    params = line.substr(paren + 1);
  }
  ParseDeclaration(word, params);
  int position = CommandPosition(word);
  if (position >= 0) ParseCommand(position, word, params);
}

void TVEKE::ParseSectionHeader(std::string_view line) {
  size_t close = line.find(']');
  if (close == std::string_view::npos) FatalLineError("Hibás szekciófej.", LineNumber);
  std::string name = UpperAscii(line.substr(1, close - 1));
  if (name == "<MAIN SECTION>" || name == "RETURN")
    FatalLineError("Nem használható szekció név: " + Cp1250ToUtf8(name), LineNumber);
  auto section = std::make_unique<TVKSection>();
  section->Name = name;
  CurrentSection = section.get();
  Sections.push_back(std::move(section));
}

void TVEKE::ParseDeclaration(const std::string& word, std::string_view params) {
  TDeclParams p(params, LineNumber);
  if (word == "CREATEENGINE") {
    int32_t width = p.Int();
    int32_t height = p.Int();
    std::string caption = p.Str();
    std::string fontFile = p.Str();
    // Objects hold on to the engine they were made with; replacing it under them would
    // leave them drawing with a freed engine.
    if (AnyObjects())
      FatalLineError("A CREATEENGINE sor nem állhat objektum-deklaráció után.", LineNumber);
    CreateEngine(width, height, caption, fontFile);
  } else if (word == "CREATEBACKGROUND") {
    std::string resFile = p.Str();
    std::string picture = p.Str();
    EnsureEngine();
    LoadBackground(resFile, picture);
  } else if (word == "CREATEIMAGE") {
    std::string name = p.Str();
    TImageDecl d;
    d.ResFile = p.Str(), d.Picture = p.Str(), d.X = p.Int(), d.Y = p.Int();
    d.Transparent = p.Bool(), d.Visible = p.Bool();
    EnsureEngine();
    AddObject(kKindImage, name, NewImage(d));
  } else if (word == "CREATEBUTTON") {
    std::string name = p.Str();
    TButtonDecl d;
    d.ResFile = p.Str(), d.Normal = p.Str(), d.Hover = p.Str(), d.Pressed = p.Str();
    d.X = p.Int(), d.Y = p.Int(), d.Alpha = p.Int();
    d.Visible = p.Bool(), d.Enabled = p.Bool(), d.TargetSection = p.Str();
    EnsureEngine();
    AddObject(kKindButton, name, NewButton(d));
  } else if (word == "CREATETEXT") {
    std::string name = p.Str();
    TTextDecl d;
    d.Text = p.Str(), d.X = p.Int(), d.Y = p.Int(), d.Width = p.Int(), d.Height = p.Int();
    d.FontName = p.Str();
    EnsureEngine();
    AddObject(kKindText, name, NewText(d));
  } else if (word == "CREATEANIM") {
    std::string name = p.Str();
    TAnimDecl d;
    d.File = p.Str(), d.X = p.Int(), d.Y = p.Int(), d.Width = p.Int(), d.Height = p.Int();
    d.FreeWhenDone = p.Bool(), d.Looped = p.Bool();
    EnsureEngine();
    AddObject(kKindAnim, name, NewAnim(d));
  } else if (word == "CREATESOUND") {
    std::string name = p.Str();
    TSoundDecl d;
    d.File = p.Str(), d.FreeOnStop = p.Bool(), d.Looped = p.Bool();
    EnsureEngine();
    AddObject(kKindSound, name, NewSound(d));
  } else if (word == "CREATE3DOBJ") {
    std::string name = p.Str();
    T3DObjDecl d;
    d.ResFile = p.Str(), d.ObjectName = p.Str(), d.Texture1 = p.Str(), d.Texture2 = p.Str();
    d.RenderMode = RenderModeCode(p.Str()), d.Mapping = MappingCode(p.Str());
    d.X = p.Int(), d.Y = p.Int(), d.Scale = p.Real();
    d.ShowInvisibleFaces = p.Bool(), d.Visible = p.Bool();
    EnsureEngine();
    AddObject(kKind3DObj, name, New3DObj(d));
  }
}

void TVEKE::ParseCommand(int position, const std::string& word, std::string_view params) {
  auto command = std::make_unique<TVKCommand>();
  command->Name = word;
  command->LineNumber = LineNumber;
  if (position >= kFirstObjectCommand) {
    TParamReader reader(params);
    std::string objectName;
    if (!reader.Next(objectName)) FatalLineError("Paraméter hiba.", LineNumber);
    command->Params = reader.RestUpToParen();
    if (!IgnoresObjectName(word)) {
      command->Target = FindObject(objectName);
      // The command will do nothing; say so now rather than fail silently when it runs.
      if (command->Target.expired())
        ShowWarning("Nem létező objektum: " + Cp1250ToUtf8(objectName) + " Sor:" +
                    std::to_string(LineNumber));
    }
  } else if (KeepsLetterCase(word)) {
    // Program names, arguments, documents and addresses are case-sensitive on Linux; an
    // address may hold parentheses of its own, so the line ends at its last ")".
    command->Params = std::string(TrimBlanks(params.substr(0, params.rfind(')'))));
  } else if (position >= kFirstParamCommand) {
    command->Params = TParamReader(params).RestUpToParen();
  }
  CurrentSection->Commands.push_back(std::move(command));
}

void TVEKE::AddObject(uint8_t kind, const std::string& name, std::shared_ptr<TVKObject> object) {
  auto entry = std::make_unique<TVKObjectEntry>();
  entry->Kind = kind;
  entry->Name = name;
  entry->Obj = std::move(object);
  entry->LineNumber = LineNumber;
  CurrentSection->Objects.push_back(std::move(entry));
}

std::shared_ptr<TVKObject> TVEKE::FindObject(const std::string& name) const {
  for (const auto& entry : CurrentSection->Objects)
    if (entry->Name == name) return entry->Obj;
  for (const auto& section : Sections)
    for (const auto& entry : section->Objects)
      if (entry->Name == name) return entry->Obj;
  return nullptr;
}

TVKSection* TVEKE::FindSection(const std::string& name) const {
  for (const auto& section : Sections)
    if (section->Name == name) return section.get();
  return nullptr;
}

bool TVEKE::AnyObjects() const {
  for (const auto& section : Sections)
    if (!section->Objects.empty()) return true;
  return false;
}
