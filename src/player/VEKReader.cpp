#include "player/VEKReader.h"

#include "platform/PL_Text.h"
#include "player/VEKEngine.h"
#include "player/VEKParams.h"

namespace {

// Why the reader found no parameter where one was due.
TLineError ParamError(std::string_view rest, const std::string& word, int index, bool inParens) {
  const std::string text = "Paraméter hiba.";
  const std::string where = Cp1250ToUtf8(word) + ": parameter " + std::to_string(index);
  if (!inParens) return {text, Cp1250ToUtf8(word) + " needs its parameters in parentheses"};
  if (!rest.empty() && rest.front() == '"') return {text, where + " has no closing quote"};
  if (!rest.empty()) return {text, kMissingParen};
  return {text, where + " is missing"};
}

// Declaration parameters in order. The first failure is kept and every later read gives an
// empty value, so a faulty line is read to its end without further complaint.
class TDeclParams {
 public:
  TDeclParams(std::string_view text, const std::string& word, bool inParens)
      : Text(text), Reader(text), Word(word), InParens(inParens) {}

  std::string Str(bool keepCase = false) { return Take(TPlace::Text, keepCase); }
  // A file name (or the name of a resource entry, which may be a file), in its own letter
  // case: both are looked for with case ignored anyway, and messages show them as written.
  std::string File() { return Take(TPlace::Text, true); }
  int32_t Int() {
    const std::string value = Take(TPlace::Int);
    int32_t number = 0;
    if (!Error && !IntFits(value, number))
      Fail("Hibás egész szám paraméter.", "not a number", value);
    return number;
  }
  long double Real() {
    const std::string value = Take(TPlace::Real);
    long double number = 0;
    if (!Error && !TextToReal(value, number))
      Fail("Hibás egész szám paraméter.", "not a number", value);
    return number;
  }
  bool Bool() {
    const std::string value = Take(TPlace::Bool);
    const int truth = BoolKeyword(value);
    if (!Error && truth < 0) Fail("Hibás logikai paraméter.", "not a boolean word", value);
    return truth == 1;
  }

  // The first failure, once every parameter has been asked for. When the line has one
  // parameter fewer than the declaration takes and the value that does not fit its place fits
  // the next one, a field was most likely left out before it (an empty one still needs its
  // comma), and the English text says so.
  std::optional<TLineError> Finish() {
    if (!Error || FailedIndex == 0 || FailedIndex >= Places.size()) return Error;
    TParamReader counter(Text);
    std::string ignored;
    size_t given = 0;
    while (given <= Places.size() && counter.Next(ignored)) ++given;
    if (given + 1 == Places.size() && Fits(Places[FailedIndex], FailedValue))
      Error->English += "; a parameter seems to be missing before it (" + std::to_string(given) +
                        " given, " + Cp1250ToUtf8(Word) + " takes " +
                        std::to_string(Places.size()) + "; an empty one still needs its comma)";
    return Error;
  }

 private:
  enum class TPlace { Text, Int, Real, Bool };

  static bool IntFits(const std::string& value, int32_t& number) {
    if (value == "BLACK" || value == "WHITE") {
      number = value == "BLACK" ? 0 : -1;
      return true;
    }
    return TextToInt(value, number);
  }
  static bool Fits(TPlace place, const std::string& value) {
    int32_t number = 0;
    long double real = 0;
    switch (place) {
      case TPlace::Int:
        return IntFits(value, number);
      case TPlace::Real:
        return TextToReal(value, real);
      case TPlace::Bool:
        return BoolKeyword(value) >= 0;
      case TPlace::Text:
        return true;
    }
    return false;
  }

  std::string Take(TPlace place, bool keepCase = false) {
    Places.push_back(place);
    std::string value;
    if (Error) return value;
    ++Index;
    if (!Reader.Next(value, keepCase))
      Error = ParamError(Reader.Remaining(), Word, Index, InParens);
    return value;
  }
  void Fail(const std::string& text, const std::string& what, const std::string& value) {
    Error = TLineError{text, Cp1250ToUtf8(Word) + ": parameter " + std::to_string(Index) + " is " +
                                 what + ": " + QuotedName(value)};
    FailedIndex = Index;
    FailedValue = value;
  }

  std::optional<TLineError> Error;
  std::string_view Text;
  std::vector<TPlace> Places;  // of every parameter asked for, in order
  size_t FailedIndex = 0;      // the place (from 1) whose value did not fit; 0 for none
  std::string FailedValue;
  TParamReader Reader;
  const std::string& Word;
  bool InParens;
  int Index = 0;
};

void ReadSectionHeader(TScriptLine& line, std::string_view text) {
  line.Kind = TLineKind::Section;
  const size_t close = text.find(']');
  line.Word = UpperAscii(text.substr(1, close == std::string_view::npos ? close : close - 1));
  if (close == std::string_view::npos) {
    line.Error = TLineError{"Hibás szekciófej.", "section header without \"]\""};
  } else if (line.Word == "<MAIN SECTION>" || line.Word == "RETURN") {
    line.Error = TLineError{"Nem használható szekció név: " + Cp1250ToUtf8(line.Word),
                            "section name " + QuotedName(line.Word) + " is reserved"};
  }
}

template <typename TDecl>
void SetObject(TScriptLine& line, uint8_t kind, std::string name, TDecl decl) {
  line.ObjectKind = kind;
  line.ObjectName = std::move(name);
  line.Declaration = std::move(decl);
}

// Reads every parameter before anything is made of them, so a faulty line stops the script
// before it has any effect.
bool ReadDeclaration(TScriptLine& line, std::string_view params, bool inParens) {
  TDeclParams p(params, line.Word, inParens);
  const std::string& word = line.Word;
  if (word == "CREATEENGINE") {
    TEngineDecl d;
    d.Width = p.Int(), d.Height = p.Int(), d.Caption = p.Str(), d.FontFile = p.File();
    line.Declaration = d;
  } else if (word == "CREATEBACKGROUND") {
    TBackgroundDecl d;
    d.ResFile = p.File(), d.Picture = p.File();
    line.Declaration = d;
  } else if (word == "CREATEIMAGE") {
    std::string name = p.Str();
    TImageDecl d;
    d.ResFile = p.File(), d.Picture = p.File(), d.X = p.Int(), d.Y = p.Int();
    d.Transparent = p.Bool(), d.Visible = p.Bool();
    SetObject(line, kKindImage, name, d);
  } else if (word == "CREATEBUTTON") {
    std::string name = p.Str();
    TButtonDecl d;
    d.ResFile = p.File(), d.Normal = p.File(), d.Hover = p.File(), d.Pressed = p.File();
    d.X = p.Int(), d.Y = p.Int(), d.Alpha = p.Int();
    d.Visible = p.Bool(), d.Enabled = p.Bool(), d.TargetSection = p.Str();
    SetObject(line, kKindButton, name, d);
  } else if (word == "CREATETEXT") {
    std::string name = p.Str();
    TTextDecl d;
    d.Text = p.File(), d.X = p.Int(), d.Y = p.Int(), d.Width = p.Int(), d.Height = p.Int();
    d.FontName = p.Str();
    SetObject(line, kKindText, name, d);
  } else if (word == "CREATEANIM") {
    std::string name = p.Str();
    TAnimDecl d;
    d.File = p.File(), d.X = p.Int(), d.Y = p.Int(), d.Width = p.Int(), d.Height = p.Int();
    d.FreeWhenDone = p.Bool(), d.Looped = p.Bool();
    SetObject(line, kKindAnim, name, d);
  } else if (word == "CREATESOUND") {
    std::string name = p.Str();
    TSoundDecl d;
    d.File = p.File(), d.FreeOnStop = p.Bool(), d.Looped = p.Bool();
    SetObject(line, kKindSound, name, d);
  } else if (word == "CREATE3DOBJ") {
    std::string name = p.Str();
    T3DObjDecl d;
    d.ResFile = p.File(), d.ObjectName = p.File(), d.Texture1 = p.File(), d.Texture2 = p.File();
    d.RenderMode = RenderModeCode(p.Str()), d.Mapping = MappingCode(p.Str());
    d.X = p.Int(), d.Y = p.Int(), d.Scale = p.Real();
    d.ShowInvisibleFaces = p.Bool(), d.Visible = p.Bool();
    SetObject(line, kKind3DObj, name, d);
  } else {
    return false;
  }
  line.Kind = TLineKind::Declaration;
  line.Error = p.Finish();
  return true;
}

bool KeepsLetterCase(std::string_view word) { return word == "EXECUTE" || word == "WINOPEN"; }
// File names and resource entries are looked for with case ignored; messages show them as
// the script writes them.
bool KeepsNameCase(std::string_view word) { return word == "LOADBACKGROUND"; }

void ReadCommand(TScriptLine& line, std::string_view params, bool inParens) {
  line.Kind = TLineKind::Command;
  if (line.CommandPosition >= kFirstObjectCommand) {
    TParamReader reader(params);
    if (!reader.Next(line.ObjectName)) {
      line.Error = ParamError(reader.Remaining(), line.Word, 1, inParens);
      return;
    }
    line.Params = reader.RestUpToParen();
  } else if (KeepsLetterCase(line.Word)) {
    // Program names, arguments, documents and addresses are case-sensitive on Linux; an
    // address may hold parentheses of its own, so the line ends at its last ")".
    line.Params = std::string(TrimBlanks(params.substr(0, params.rfind(')'))));
  } else if (line.CommandPosition >= kFirstParamCommand) {
    line.Params = TParamReader(params).RestUpToParen(KeepsNameCase(line.Word));
  }
}
}  // namespace

void ForEachScriptLine(std::string_view bytes,
                       const std::function<void(std::string_view text, int32_t number)>& visit) {
  const std::string text = DecodeTextFile(bytes);
  std::string_view rest(text);
  int32_t number = 0;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    if (end == std::string_view::npos) {
      rest = {};
    } else {
      const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
      rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    visit(line, ++number);
  }
}

TScriptLine ReadScriptLine(std::string_view text, int32_t number) {
  TScriptLine line;
  line.Number = number;
  text = TrimBlanks(text);
  line.Text = text;
  if (text.empty() || text.starts_with("//")) return line;
  if (text.front() == '[') {
    ReadSectionHeader(line, text);
    return line;
  }
  // A line without "(" is its own command word and its own parameter text.
  const size_t paren = text.find('(');
  const bool inParens = paren != std::string_view::npos;
  std::string_view params = text;
  if (inParens) {
    line.Word = UpperAscii(TrimBlanks(text.substr(0, paren)));
    params = text.substr(paren + 1);
    line.Unclosed = params.find(')') == std::string_view::npos;
  } else {
    line.Word = UpperAscii(text);
  }
  if (ReadDeclaration(line, params, inParens)) return line;
  line.CommandPosition = CommandPosition(line.Word);
  if (line.CommandPosition < 0)
    line.Kind = TLineKind::Unknown;
  else
    ReadCommand(line, params, inParens);
  return line;
}

std::string QuotedName(std::string_view cp1250) { return "\"" + Cp1250ToUtf8(cp1250) + "\""; }

std::string AsWritten(const TScriptLine& line, const std::string& value) {
  const std::string upper = UpperAscii(line.Text);
  const size_t at = value.empty() ? std::string::npos : upper.find(value);
  return at == std::string::npos ? value : line.Text.substr(at, value.size());
}

int CommandPosition(std::string_view word) {
  for (int i = 0; i < static_cast<int>(std::size(kCommandWords)); ++i)
    if (kCommandWords[i] == word) return i;
  return -1;
}

bool IgnoresObjectName(std::string_view word) { return word == "SET3DZOOM" || word == "ZOOM3D"; }
