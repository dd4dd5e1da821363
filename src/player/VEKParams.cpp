#include "player/VEKParams.h"

#include <cmath>
#include <cstdlib>

#include "platform/PL_Text.h"
#include "player/VEKMessages.h"

namespace {
constexpr std::string_view kTrueWords[] = {"TRUE",   "VISIBLE",  "ENABLED",
                                           "AUTODONE", "LOOPED", "CONTINOUOS",
                                           "SHOWINVISIBLEFACES", "SPRITE", "ON"};
constexpr std::string_view kFalseWords[] = {"FALSE",    "INVISIBLE", "DISABLED",
                                            "NOAUTODONE", "NOLOOPED", "NOCONTINOUOS",
                                            "NOSHOWINVISIBLEFACES", "NOSPRITE", "OFF"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  c = UpperAscii(c);
  return (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
}
}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<uint8_t>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<uint8_t>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

bool TextToInt(std::string_view text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    i += 1;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int digit = hex ? HexDigit(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
  }
  if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
  value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                        : static_cast<int64_t>(magnitude));
  return true;
}

bool TextToReal(std::string_view text, long double& value) {
  // Checked by hand so that locale, "inf", "nan" and hexadecimal floats cannot slip in.
  size_t i = 0, digits = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  if (i != text.size()) return false;
  value = std::strtold(std::string(text).c_str(), nullptr);  // C locale: "." is the point
  return std::isfinite(value);
}

int BoolKeyword(std::string_view word) {
  for (auto w : kTrueWords)
    if (word == w) return 1;
  for (auto w : kFalseWords)
    if (word == w) return 0;
  return -1;
}

bool TParamReader::Next(std::string& value, bool keepCase) {
  const auto cased = [keepCase](std::string_view text) {
    return keepCase ? std::string(text) : UpperAscii(text);
  };
  if (!Rest.empty() && Rest.front() == '"') {
    size_t close = Rest.find('"', 1);
    if (close == std::string_view::npos) return false;
    value = std::string(Rest.substr(0, close + 1));
    Rest.remove_prefix(close + 1);
    size_t comma = Rest.find(',');
    if (comma != std::string_view::npos) Rest.remove_prefix(comma + 1);
    Rest = TrimBlanks(Rest);
    return true;
  }
  size_t comma = Rest.find(',');
  if (comma != std::string_view::npos) {
    value = cased(TrimBlanks(Rest.substr(0, comma)));
    Rest = TrimBlanks(Rest.substr(comma + 1));
    return true;
  }
  size_t paren = Rest.find(')');
  if (paren != std::string_view::npos) {
    value = cased(TrimBlanks(Rest.substr(0, paren)));
    Rest.remove_prefix(paren + 1);
    return true;
  }
  return false;
}

std::string TParamReader::RestUpToParen(bool keepCase) const {
  const std::string_view rest = TrimBlanks(Rest.substr(0, Rest.find(')')));
  return keepCase ? std::string(rest) : UpperAscii(rest);
}

std::string NextParam(std::string& text, bool keepCase) {
  const size_t comma = text.find(',');
  const std::string_view rest = TrimBlanks(std::string_view(text).substr(0, comma));
  std::string value = keepCase ? std::string(rest) : UpperAscii(rest);
  text.erase(0, comma == std::string::npos ? text.size() : comma + 1);
  return value;
}

int32_t ParamInt(std::string& text) {
  std::string value = NextParam(text);
  if (value.empty() || value == "WHITE") return -1;
  if (value == "BLACK") return 0;
  int32_t number = 0;
  if (TextToInt(value, number)) return number;
  ShowWarning("Hibás egész szám effekt paraméter.");
  return 0;
}

bool ParamBool(std::string& text) { return BoolKeyword(NextParam(text)) != 0; }
