#pragma once
// Parameter reading of the script language: the parse-time reader of declarations and object
// names, the conversions, and the run-time readers of stored command parameters.
#include <cstdint>
#include <string>
#include <string_view>

// Removes blanks and control characters from both ends.
std::string_view TrimBlanks(std::string_view text);

// Signed 32-bit decimal, or hexadecimal after "$" or "0x" (up to 32 bits, kept as the same
// bit pattern). False when the text is not such a number.
bool TextToInt(std::string_view text, int32_t& value);
// A real number with "." as decimal point and an optional exponent.
bool TextToReal(std::string_view text, long double& value);
// 1 for a true keyword, 0 for a false keyword, -1 for any other word.
int BoolKeyword(std::string_view word);

// Reads parameters one at a time from the front of a declaration's parameter text.
class TParamReader {
 public:
  explicit TParamReader(std::string_view text) : Rest(text) {}

  // The next parameter: a quoted value keeps its quotes and case; an unquoted one ends at
  // the first "," (or else ")") and is trimmed, and upper-cased unless `keepCase` (file names,
  // which messages show as written). False when none is there.
  bool Next(std::string& value, bool keepCase = false);
  // The rest of the text up to the first ")" (or all of it), trimmed, and upper-cased unless
  // `keepCase`.
  std::string RestUpToParen(bool keepCase = false) const;
  // What is left to read.
  std::string_view Remaining() const { return Rest; }

 private:
  std::string_view Rest;
};

// Run-time reading of a copy of a command's parameters.
// The next comma-separated parameter, trimmed, and upper-cased unless `keepCase`; "" when none
// is left.
std::string NextParam(std::string& text, bool keepCase = false);
// Empty gives -1, BLACK 0, WHITE -1; a text that is not a number warns and gives 0.
int32_t ParamInt(std::string& text);
// A true or false keyword; anything else (empty too) is true.
bool ParamBool(std::string& text);
