#pragma once
// Presentations are authored on Windows in code page 1250; the fonts index that code page,
// while Linux file names and message boxes speak UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view text);

// Characters that code page 1250 lacks become '?'.
std::string Utf8ToCp1250(std::string_view text);
std::string Cp1250ToUtf8(std::string_view text);
// The DOS code page of Central European Windows, in which its zip tools wrote file names.
std::string Cp852ToUtf8(std::string_view text);
// Joliet names and labels on discs; a lone half of a surrogate pair becomes U+FFFD and an odd
// last byte is dropped.
std::string Utf16BeToUtf8(std::string_view bytes);

// Script and text file contents: a UTF-8 byte-order mark, or text that is valid UTF-8 and not
// plain ASCII, is converted to code page 1250; anything else is taken as code page 1250.
std::string DecodeTextFile(std::string_view bytes);

// Upper-casing of the script language: ASCII letters only.
std::string UpperAscii(std::string_view text);
char UpperAscii(char c);
