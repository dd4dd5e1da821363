// Script 3D objects: models of the one 3D scene, placed, turned and shown by the script, and
// their part of the section's erase and redraw.
#include <stdexcept>

#include "engine/SE_DDraw.h"
#include "player/VEKEngine.h"
#include "player/VEKMessages.h"
#include "player/VEKParams.h"
#include "render3d/SE_3De.h"

TVK3DObj::TVK3DObj(std::shared_ptr<T3DObject> model)
    : TVKEffectObject(kKind3DObj), Model(std::move(model)) {}
TVK3DObj::~TVK3DObj() = default;

int32_t TVK3DObj::Value(TEffectChannel channel) const {
  if (channel == kChannelX) return Model->ScreenX;
  if (channel == kChannelY) return Model->ScreenY;
  return 255;
}

void TVK3DObj::SetPosition(int32_t x, int32_t y) {
  Model->ScreenX = x;
  Model->ScreenY = y;
}

int32_t& TVK3DObj::Angle(TAxis axis) {
  if (axis == kAxisBeta) return Model->Beta;
  if (axis == kAxisGamma) return Model->Gamma;
  return Model->Alfa;
}

std::unique_ptr<TVKObject> TVEKE::New3DObj(const T3DObjDecl& d, int32_t line) {
  TGEDDraw& display = *Engine->Display;
  if (!Scene) {
    Scene = std::make_unique<TSE3D>(display.Width, display.Height, display.Is555 ? 15 : 16, 0,
                                    display.Height - 1, 0, display.Width - 1);
    // The scene goes before this player, so it never asks a player that is gone.
    Scene->StopRequested = [this] { return Engine && Engine->ClosedDuringFrame(); };
  }
  T3DLoadRequest request;
  request.ResFile = d.ResFile;
  request.ObjectName = d.ObjectName;
  request.Texture1 = d.Texture1;
  request.Texture2 = d.Texture2;
  request.Convert555 = display.Is555;
  request.Mapping = d.Mapping;
  request.RenderMode = d.RenderMode;
  request.ScreenX = d.X;
  request.ScreenY = d.Y;
  request.ScaleX = request.ScaleY = request.ScaleZ = d.Scale;
  request.ShowInvisibleFaces = d.ShowInvisibleFaces;
  std::shared_ptr<T3DObject> model;
  try {
    model = Scene->LoadObject(request);
  } catch (const std::exception& error) {
    // Declarations run before play starts: a model that cannot be had ends the script here,
    // with the line that asked for it, instead of a script object without a model. (A damaged
    // texture only warns: the model is drawn without it.)
    FatalLineError(error.what(), line);
  }
  model->Visible = d.Visible ? 1 : 0;
  return std::make_unique<TVK3DObj>(std::move(model));
}

void TVEKE::PrepareScene() {
  if (Scene) Scene->Prepare(false);
}

namespace {
// The runtime's strict conversion: a value that is not an integer ends the play, as it can
// only be a mistake of the script.
int32_t StrictInt(const std::string& text) {
  int32_t value = 0;
  if (!TextToInt(text, value)) throw std::runtime_error("'" + text + "' is not a valid integer value");
  return value;
}
}  // namespace

void TVEKE::Run3DObjectCommand(TVKCommand& command, TVK3DObj& object) {
  std::string params = command.Params;
  T3DObject& model = *object.Model;
  for (int32_t* field : {&model.ScreenX, &model.ScreenY, &model.Alfa, &model.Beta, &model.Gamma}) {
    const std::string value = NextParam(params);
    if (!value.empty()) *field = StrictInt(value);
  }
  model.Visible = ParamBool(params) ? 1 : 0;
  command.Waiting = false;
  NeedRedraw = true;
}

void TVEKE::SetSceneZoom(TVKCommand& command) {
  std::string params = command.Params;
  const int32_t zoom = ParamInt(params);
  // Without a 3D object there is no scene to zoom.
  if (!Scene) return;
  Scene->Zoom = zoom;
  NeedRedraw = true;
}

void TVEKE::Erase3DObject(TVK3DObj& object) {
  const T3DObject& model = *object.Model;
  if (!model.Visible && !object.Drawn) return;
  // Bounds that no face widened give a negative size, which restores nothing.
  const int64_t width = int64_t{model.BoundsRight} - model.BoundsLeft + 1;
  const int64_t height = int64_t{model.BoundsBottom} - model.BoundsTop + 1;
  if (width > 0 && height > 0)
    Engine->Display->RestoreRect(model.BoundsLeft, model.BoundsTop, static_cast<int32_t>(width),
                                 static_cast<int32_t>(height));
  object.Drawn = false;
}

void TVEKE::Draw3DObject(TVK3DObj& object, bool& sceneRendered) {
  const T3DObject& model = *object.Model;
  if (!model.Visible) return;
  object.DrawnX = model.ScreenX;
  object.DrawnY = model.ScreenY;
  object.Drawn = true;
  if (sceneRendered || !Scene) return;
  sceneRendered = true;
  const TSurfaceDesc frame = Engine->Display->FrameTarget();
  // The fillers write 16-bit pixels, in memory mode and surface mode alike.
  if (!frame.Pixels || frame.Format.BitCount > 16 || frame.Width < Scene->Width ||
      frame.Height < Scene->Height)
    return;
  Scene->RenderAll(reinterpret_cast<uint16_t*>(frame.Pixels), frame.Pitch / 2);
  // The fillers stay within each model's projected corners; a pixel more on every side
  // covers their rounding.
  for (const auto& model : Scene->Objects)
    if (model->Visible)
      Engine->Display->NoteDrawn(frame, int64_t{model->BoundsLeft} - 1,
                                 int64_t{model->BoundsTop} - 1, int64_t{model->BoundsRight} + 2,
                                 int64_t{model->BoundsBottom} + 2);
}
