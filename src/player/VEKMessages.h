#pragma once
// The three message routines through which the script player reports to the user.
#include <string>

#include "platform/PL_Host.h"

inline const std::string kMessageCaption = "Üzenet";
// Texts that both the player and the checker give; the name follows the first two.
inline const std::string kNoSuchObject = "Nem létező objektum: ";
inline const std::string kNoSuchSection = "Nem létező szekció: ";
inline const std::string kEngineAfterObjects =
    "A CREATEENGINE sor nem állhat objektum-deklaráció után.";

// Shows the message (caption "Üzenet") and ends the process with the exit code.
[[noreturn]] void FatalError(const std::string& message, int exitCode);
// The same with " Sor:" and the line number appended; exit code 1.
[[noreturn]] void FatalLineError(const std::string& message, int lineNumber);
// Shows the message and returns; play goes on.
void ShowWarning(const std::string& message);
