#pragma once
#include <string>

// Base of the engine's objects: they report failure through Ready and ErrorText rather than
// by throwing, and their owner takes the text over.
class TGEObject {
 public:
  virtual ~TGEObject() = default;

  bool GetError(std::string& text) const {
    text = ErrorText;
    return Ready;
  }

  bool Ready = true;
  std::string ErrorText;
};
