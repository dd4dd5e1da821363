// Timed effects: moves and fades that change an object a little every frame until they reach
// their targets. An object runs one effect at a time; later ones wait their turn.
#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>

#include "player/VEKEngine.h"
#include "player/VEKParams.h"
#include "render3d/SE_3De.h"

namespace {

struct TEffectKind {
  const char* Word;
  uint8_t ObjectKind;
  std::initializer_list<TEffectChannel> Channels;  // in the order the parameters give them
};

const TEffectKind kLinearEffects[] = {
    {"IMAGEALPHA", kKindImage, {kChannelAlpha}},
    {"MOVEIMAGE", kKindImage, {kChannelX, kChannelY}},
    {"MOVEIMAGEALPHA", kKindImage, {kChannelX, kChannelY, kChannelAlpha}},
    {"MOVEBUTTON", kKindButton, {kChannelX, kChannelY}},
    {"BUTTONALPHA", kKindButton, {kChannelAlpha}},
    {"MOVETEXT", kKindText, {kChannelX, kChannelY}},
    {"MOVEANIM", kKindAnim, {kChannelX, kChannelY}},
    {"MOVE3DOBJ", kKind3DObj, {kChannelX, kChannelY}},
};

struct TRotationKind {
  const char* Word;
  TAxis Axis;
};

const TRotationKind kRotations[] = {
    {"ROT3DOBJALFA", kAxisAlfa}, {"ROT3DOBJBETA", kAxisBeta}, {"ROT3DOBJGAMMA", kAxisGamma}};

// Halves go to the even neighbour, as the processor rounds by default. Values beyond the
// int32 range (a turn after hours away from its section) stay at its ends.
int32_t RoundEven(long double value) {
  return static_cast<int32_t>(std::clamp<long double>(std::nearbyint(value), INT32_MIN, INT32_MAX));
}

// The start every object effect shares: it waits while another effect has the object, then
// takes it. False while it has to wait.
bool ClaimObject(TVKCommand& command, TVKObject& object, uint32_t now) {
  if (object.EffectRunning) return false;
  command.Started = true;
  command.LastTime = now;
  object.EffectRunning = true;
  return true;
}

void ReleaseObject(TVKCommand& command, TVKObject& object) {
  object.EffectRunning = false;
  command.Active = false;
}

// Milliseconds of play since the effect's last step, taken: 0 when no time has passed.
uint32_t TakeElapsed(TVKCommand& command, uint32_t now) {
  const uint32_t elapsed = now - command.LastTime;
  command.LastTime += elapsed;
  return elapsed;
}

}  // namespace

void TVEKE::StepEffect(TVKCommand& command) {
  // The zoom names no object: it drives the scene.
  if (command.Name == "ZOOM3D") {
    StepZoom(command);
    return;
  }
  // The object may have been freed while its effect ran; the effect ends with it.
  const auto target = command.Target.lock();
  if (!target) {
    command.Active = false;
    return;
  }
  if (command.Name == "SHOWPOS") {
    ShowSoundPosition(*target);
    return;
  }
  for (const TEffectKind& kind : kLinearEffects) {
    if (command.Name != kind.Word) continue;
    auto* object = dynamic_cast<TVKEffectObject*>(target.get());
    if (object && object->Kind == kind.ObjectKind) StepLinearEffect(command, *object, kind.Channels);
    return;
  }
  for (const TRotationKind& kind : kRotations) {
    if (command.Name != kind.Word) continue;
    if (auto* object = dynamic_cast<TVK3DObj*>(target.get()))
      StepRotation(command, *object, kind.Axis);
    return;
  }
}

void TVEKE::StepRotation(TVKCommand& command, TVK3DObj& object, TAxis axis) {
  int32_t& angle = object.Angle(axis);
  long double& cur = object.CurAngle[axis];
  long double& step = object.StepAngle[axis];
  const auto finish = [&] { ReleaseObject(command, object); };
  if (!command.Started) {
    if (!ClaimObject(command, object, Engine->TotalTime)) return;
    std::string params = command.Params;
    object.TargetAngle[axis] = ParamInt(params);
    object.RotDuration = static_cast<uint32_t>(ParamInt(params));
    object.Continuous = ParamBool(params);
    cur = angle;
    // The speed is a whole turn, or the way from the angle to a full turn, over the time; the
    // target decides only where a rotation that is not continuous ends.
    const long double way = object.Continuous ? kFullTurn : std::fabs(kFullTurn - cur);
    step = object.RotDuration == 0 ? 0 : way / object.RotDuration;
    // No time to turn in: the model lands on its target at once instead of never moving.
    if (object.RotDuration == 0 && !object.Continuous) {
      angle = object.TargetAngle[axis];
      NeedRedraw = true;
      finish();
    }
    return;
  }
  const uint32_t elapsed = TakeElapsed(command, Engine->TotalTime);
  if (elapsed == 0) return;
  // Beta turns the other way round.
  cur += (axis == kAxisBeta ? -1.0L : 1.0L) * elapsed * step;
  if (cur > kFullTurn) cur -= kFullTurn;
  if (cur < 0) cur += kFullTurn;
  const int32_t rounded = RoundEven(cur);
  if (rounded == angle) return;
  angle = rounded;
  NeedRedraw = true;
  const bool arrived = !object.Continuous && angle == object.TargetAngle[axis];
  // Hiding the model ends a turn about the view axis, even a continuous one.
  if (arrived || (axis == kAxisAlfa && (!object.EffectRunning || !object.Model->Visible))) finish();
}

void TVEKE::StepZoom(TVKCommand& command) {
  // Without a 3D object there is no scene to zoom: the effect has nothing to do.
  if (!Scene) {
    command.Active = false;
    return;
  }
  if (!command.Started && !command.ZoomState) {
    command.Started = true;
    command.LastTime = Engine->TotalTime;
    command.ZoomState = std::make_unique<TZoomState>();
    TZoomState& zoom = *command.ZoomState;
    std::string params = command.Params;
    zoom.Target = ParamInt(params);
    zoom.Duration = static_cast<uint32_t>(ParamInt(params));
    zoom.Current = Scene->Zoom;
    zoom.Step = zoom.Duration == 0 ? 0 : (zoom.Target - zoom.Current) / zoom.Duration;
    // No time to zoom in: the scene takes the target at once instead of never arriving.
    if (zoom.Duration == 0) {
      Scene->Zoom = RoundEven(zoom.Target);
      NeedRedraw = true;
      command.Active = false;
    }
    return;
  }
  if (!command.ZoomState) return;
  TZoomState& zoom = *command.ZoomState;
  const uint32_t elapsed = TakeElapsed(command, Engine->TotalTime);
  if (elapsed == 0) return;
  zoom.Current += elapsed * zoom.Step;
  if ((zoom.Step > 0 && zoom.Current > zoom.Target) || (zoom.Step < 0 && zoom.Current < zoom.Target))
    zoom.Current = zoom.Target;
  const int32_t rounded = RoundEven(zoom.Current);
  if (rounded == Scene->Zoom) return;
  Scene->Zoom = rounded;
  NeedRedraw = true;
  if (zoom.Current == zoom.Target) command.Active = false;
}

void TVEKE::ShowSoundPosition(TVKObject& target) {
  // A sound of another section changes nothing; the effect goes on for ever.
  if (KindOf(&target) != kKindSound) return;
  auto& sound = static_cast<TVKSound&>(target);
  Engine->Display->RestoreRect(0, 0, 200, 12);
  StatusText = sound.HasPlayer() ? std::to_string(sound.Position()) + ":" : "";
}

void TVEKE::StepLinearEffect(TVKCommand& command, TVKEffectObject& object,
                             std::initializer_list<TEffectChannel> channels) {
  TEffectState& state = object.Effect;
  const auto drives = [&](TEffectChannel channel) {
    for (TEffectChannel c : channels)
      if (c == channel) return true;
    return false;
  };
  const bool position = drives(kChannelX), alpha = drives(kChannelAlpha);
  const auto atTargets = [&] {
    for (TEffectChannel c : channels)
      if (object.Value(c) != state.Target[c]) return false;
    return true;
  };
  const auto finish = [&] { ReleaseObject(command, object); };
  // Opacities below 255 keep bit 1 clear, so a fade passing such a value writes it each frame.
  const auto maskAlpha = [&] {
    if (alpha && object.Value(kChannelAlpha) < 255)
      object.SetAlpha(object.Value(kChannelAlpha) & 253);
  };

  if (!command.Started) {
    if (!ClaimObject(command, object, Engine->TotalTime)) return;
    std::string params = command.Params;
    for (TEffectChannel c : channels) state.Target[c] = ParamInt(params);
    state.Duration = static_cast<uint32_t>(ParamInt(params));
    if (alpha && object.Kind == kKindButton) state.AlphaDuration = state.Duration;
    for (TEffectChannel c : channels) {
      state.Cur[c] = object.Value(c);
      state.Step[c] = state.Duration == 0
                          ? 0
                          : (state.Target[c] - state.Cur[c]) / static_cast<long double>(state.Duration);
    }
    // Nothing to do, or no time to do it in: the effect ends now instead of holding the object.
    if (atTargets()) {
      finish();
    } else if (state.Duration == 0) {
      if (position) object.SetPosition(state.Target[kChannelX], state.Target[kChannelY]);
      if (alpha) object.SetAlpha(state.Target[kChannelAlpha]);
      NeedRedraw = true;
      finish();
      maskAlpha();
    }
    return;
  }

  const uint32_t elapsed = TakeElapsed(command, Engine->TotalTime);
  if (elapsed == 0) return;
  for (TEffectChannel c : channels) {
    state.Cur[c] += elapsed * state.Step[c];
    if ((state.Step[c] > 0 && state.Cur[c] > state.Target[c]) ||
        (state.Step[c] < 0 && state.Cur[c] < state.Target[c]))
      state.Cur[c] = state.Target[c];
  }
  bool moved = false, faded = false;
  if (position) {
    const int32_t x = RoundEven(state.Cur[kChannelX]), y = RoundEven(state.Cur[kChannelY]);
    if (x != object.Value(kChannelX) || y != object.Value(kChannelY)) {
      object.SetPosition(x, y);
      moved = true;
    }
  }
  if (alpha) {
    const int32_t a = RoundEven(state.Cur[kChannelAlpha]);
    if (a != object.Value(kChannelAlpha)) {
      object.SetAlpha(a);
      faded = true;
    }
  }
  if (!moved && !faded) {
    // A fade down whose mask took the opacity onto its target a frame early arrives with
    // nothing left to change; it must still end, or WAITFOR on the object waits for ever.
    bool arrived = atTargets();
    for (TEffectChannel c : channels) arrived = arrived && state.Cur[c] == state.Target[c];
    if (arrived) finish();
    return;
  }
  NeedRedraw = true;
  // A move whose fade arrived early must still end when the move arrives, or WAITFOR on the
  // object would wait for ever.
  if (atTargets()) finish();
  // Only a frame that changed the opacity masks it: a move alone keeps the alpha it was given.
  if (faded) maskAlpha();
}
