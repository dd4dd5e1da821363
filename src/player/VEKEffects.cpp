// Timed effects: moves and fades that change an object a little every frame until they reach
// their targets. An object runs one effect at a time; later ones wait their turn.
#include <cmath>
#include <initializer_list>

#include "player/VEKEngine.h"
#include "player/VEKParams.h"

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
};

// Halves go to the even neighbour, as the processor rounds by default.
int32_t RoundEven(long double value) { return static_cast<int32_t>(std::llrint(value)); }

}  // namespace

void TVEKE::StepEffect(TVKCommand& command) {
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
  // Effects on 3D objects arrive with those objects.
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
  const auto finish = [&] {
    object.EffectRunning = false;
    command.Active = false;
  };
  // Opacities below 255 keep bit 1 clear, so a fade passing such a value writes it each frame.
  const auto maskAlpha = [&] {
    if (alpha && object.Value(kChannelAlpha) < 255)
      object.SetAlpha(object.Value(kChannelAlpha) & 253);
  };

  if (!command.Started) {
    if (object.EffectRunning) return;  // another effect has the object: wait for it
    command.Started = true;
    command.LastTime = Engine->TotalTime;
    object.EffectRunning = true;
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

  const uint32_t elapsed = Engine->TotalTime - command.LastTime;
  if (elapsed == 0) return;
  command.LastTime += elapsed;
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
  if (!moved && !faded) return;
  NeedRedraw = true;
  // A move whose fade arrived early must still end when the move arrives, or WAITFOR on the
  // object would wait for ever.
  if (atTargets()) finish();
  // Only a frame that changed the opacity masks it: a move alone keeps the alpha it was given.
  if (faded) maskAlpha();
}
