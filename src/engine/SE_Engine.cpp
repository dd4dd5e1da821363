#include "engine/SE_Engine.h"

TGEngine::TGEngine(const TEngineParams& params, TFrameEvent onFrame, TFrameEvent onAfterFrame)
    : Params(params),
      OnFrame(std::move(onFrame)),
      OnAfterFrame(std::move(onAfterFrame)),
      Caption(params.Caption),
      Windowed(!params.FullScreen),
      Flip(params.FullScreen && params.Flip) {}

TGEngine::~TGEngine() = default;

// The window and the frame loop arrive with the display; until then a script is only read.
void TGEngine::Run() {}

void TGEngine::ShowCursor(bool visible) { CursorVisible = visible; }
