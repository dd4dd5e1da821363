#include "player/VEKObjects.h"

#include <utility>

#include "player/VEKEngine.h"

namespace {
int32_t KeywordCode(const std::string& keyword,
                    std::initializer_list<std::pair<const char*, int32_t>> table,
                    int32_t otherwise) {
  for (const auto& [word, code] : table)
    if (keyword == word) return code;
  return otherwise;
}
}  // namespace

int32_t RenderModeCode(const std::string& keyword) {
  return KeywordCode(keyword, {{"WIRED", 1}, {"TEXTMAP", 2}, {"SPRTEXTMAP", 3}, {"PHONG", 5}}, 0);
}

int32_t MappingCode(const std::string& keyword) {
  return KeywordCode(keyword,
                     {{"NORMALSXY", 1},
                      {"OBJECTSXY", 4},
                      {"OBJECTSYX", 8},
                      {"OBJECTSXZ", 12},
                      {"OBJECTSZY", 20},
                      {"OBJECTSNEGXY", 5},
                      {"OBJECTSNEGXZ", 13},
                      {"STOREDUV", 0},
                      {"SPHERE", 2},
                      {"CILINDER", 3}},
                     2);
}

// The engine objects behind script objects arrive with the sprites, buttons, fonts, media and
// 3D scene; until then a declaration keeps its entry and an object of its kind.
std::unique_ptr<TVKObject> TVEKE::NewImage(const TImageDecl&) {
  return std::make_unique<TVKObject>(kKindImage);
}
std::unique_ptr<TVKObject> TVEKE::NewButton(const TButtonDecl&) {
  return std::make_unique<TVKObject>(kKindButton);
}
std::unique_ptr<TVKObject> TVEKE::NewText(const TTextDecl&) {
  return std::make_unique<TVKObject>(kKindText);
}
std::unique_ptr<TVKObject> TVEKE::NewAnim(const TAnimDecl&) {
  return std::make_unique<TVKObject>(kKindAnim);
}
std::unique_ptr<TVKObject> TVEKE::NewSound(const TSoundDecl&) {
  return std::make_unique<TVKObject>(kKindSound);
}
std::unique_ptr<TVKObject> TVEKE::New3DObj(const T3DObjDecl&) {
  return std::make_unique<TVKObject>(kKind3DObj);
}

// The objects' effects, commands and drawing arrive with the objects themselves.
void TVEKE::StepEffect(TVKCommand&) {}
void TVEKE::RunObjectCommand(TVKCommand&) {}
bool TVEKE::ButtonClicked(TVKObject*) { return false; }

void TVEKE::EraseObjects() {
  if (Engine->ShowFPS) Engine->Display->RestoreRect(0, 0, 60, 12);
  NeedRedraw = false;
}

void TVEKE::DrawObjects() { NeedRedraw = false; }
