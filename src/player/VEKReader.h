#pragma once
// Reading a script's lines without acting on them: where lines end, the command word, the
// parameters of declarations and commands, and the mistakes that stop a script. The player
// carries each line out as soon as it is read (VEKParser.cpp); the checker (VEKCheck.h) reads
// every line of a script without playing it. Both read through here, so they cannot disagree
// about what a line says.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "player/VEKDecls.h"

// A mistake that stops the script at its line: the player's own text (UTF-8, without " Sor:"
// and the number), and the same in English with what exactly is wrong, for the checker.
struct TLineError {
  std::string Text;
  std::string English;
};

enum class TLineKind {
  Skipped,      // blank, or a comment
  Section,      // a section header
  Declaration,  // CREATEENGINE, CREATEBACKGROUND or an object
  Command,      // a word of kCommandWords
  Unknown,      // any other word, which the player passes over in silence
};

struct TScriptLine {
  int32_t Number = 0;
  std::string Text;  // trimmed, code page 1250
  TLineKind Kind = TLineKind::Skipped;
  // The upper-cased command word, or the name of a section header (also of a faulty one: the
  // text after "[" when there is no "]").
  std::string Word;
  // Object declarations: the object's kind. Object declarations and object commands: the
  // object's name as read (empty when the line stops before it).
  uint8_t ObjectKind = kKindNone;
  std::string ObjectName;
  TDeclaration Declaration;
  // Commands: the position of the word in kCommandWords and the parameter text kept for
  // run time.
  int CommandPosition = -1;
  std::string Params;
  // A "(" with no ")" after it. Declarations then usually fail; commands read to the end of
  // the line without a word.
  bool Unclosed = false;
  std::optional<TLineError> Error;
};

// How English messages show a name of the script: in double quotes, in UTF-8.
std::string QuotedName(std::string_view cp1250);
// A parameter as the line writes it: the reader upper-cases unquoted ones, messages should
// show what the author wrote.
std::string AsWritten(const TScriptLine& line, const std::string& value);

// The English of the parameter error whose cause is a missing ")".
inline const std::string kMissingParen = "missing \")\"";

// Calls `visit` with each line of a script file and its number, counting from 1, blank lines
// and comments included. The bytes are decoded first (UTF-8 becomes code page 1250); a line
// ends at CR, LF or CR LF, so scripts from any system read alike.
void ForEachScriptLine(std::string_view bytes,
                       const std::function<void(std::string_view text, int32_t number)>& visit);

TScriptLine ReadScriptLine(std::string_view text, int32_t number);

// The position of a word in kCommandWords; -1 when it is none of them.
int CommandPosition(std::string_view word);

inline constexpr std::string_view kDeclarationWords[] = {
    "CREATEENGINE", "CREATEBACKGROUND", "CREATEIMAGE", "CREATEBUTTON",
    "CREATETEXT",   "CREATEANIM",       "CREATESOUND", "CREATE3DOBJ"};

// SET3DZOOM and ZOOM3D act on the whole scene: their first parameter is a placeholder.
bool IgnoresObjectName(std::string_view word);
