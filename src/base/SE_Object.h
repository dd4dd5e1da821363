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

  // Takes over the failure of an object this one owns.
  void GetErrorFrom(const TGEObject& part) {
    Ready = false;
    ErrorText = part.ErrorText;
  }

  bool Ready = true;
  std::string ErrorText;
};
