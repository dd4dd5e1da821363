#pragma once
// The narrow services of the operating system that the player needs. Two hosts implement
// them: the SDL host of `veke` and the headless host of `veke-render` and the tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/PL_AudioSource.h"
#include "platform/PL_FrameChanges.h"
#include "platform/PL_ScreenFit.h"
#include "platform/PL_Surface.h"
#include "platform/PL_Timers.h"

// What the engine asks of the screen.
struct TDisplayRequest {
  int32_t Width = 640;
  int32_t Height = 480;
  std::string Caption;  // UTF-8
  bool FullScreen = false;
  TPixelFormat Format;
};

// The user's choice of screen and scaling, from the command line.
struct TScreenChoice {
  int32_t Display = -1;  // the desktop's number for a screen; -1: where the window would open
  TScaling Scaling = TScaling::Sharp;
};

// Input and window events, with mouse positions in presentation pixels.
enum class THostEventType {
  Close,
  MouseMove,
  MouseDown,
  MouseUp,
  Minimized,
  Restored,
  FocusLost,
  FocusGained,
  WindowKey
};
// Keys of the window that are the player's, not the presentation's (which takes no keys):
// F5 reloads a watched script, F12 saves a screenshot. The host toggles full screen itself.
enum class TWindowKey { Reload, Screenshot };
// A key with the modifiers held for it, as `ctrl+alt+shift+q` names it (SDL's key names).
struct TKeyChord {
  bool Ctrl = false, Alt = false, Shift = false;
  std::string Key;  // empty: no chord
};
// "ctrl+alt+shift+q" into a chord; false with the reason when it names no key.
bool ParseKeyChord(std::string_view text, TKeyChord& chord, std::string& error);

struct THostEvent {
  THostEventType Type = THostEventType::Close;
  TWindowKey Key = TWindowKey::Reload;  // of a WindowKey event
  int32_t X = 0, Y = 0;
  bool Left = false, Right = false, Middle = false, Shift = false, Ctrl = false;
};


class THost {
 public:
  virtual ~THost() = default;

  // A message box with an OK button. Every host also writes "CAPTION: TEXT" to stderr and the
  // message log (RecordMessage), so a message is never lost, and no host blocks when there is
  // no display. A message repeated from the same script line gets its box once per play (see
  // FirstOfPlay). Texts are UTF-8.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // A new play begins: messages boxed in an earlier one may have their box again.
  void NewPlay() { BoxedInPlay.clear(); }

  // The window's own keys (F11 and Alt+Enter toggle full screen; F5 and F12, see TWindowKey):
  // on unless turned off, as a kiosk must.
  void SetWindowKeys(bool on) { WindowKeysOn = on; }
  // Kiosk mode: full screen; Escape and the window's close do not end play, only `exitChord`
  // does (none: nothing does); window keys off; the pointer hides after 3 s without movement.
  void SetKiosk(const TKeyChord& exitChord) {
    Kiosk = true;
    ExitChord = exitChord;
    WindowKeysOn = false;
  }
  // Whether a key of this name (as an exit chord gives it) can be told apart from others.
  virtual bool KnowsKeyName(const std::string&) const { return true; }
  // In kiosk mode the pointer shows on movement only where there is something to click.
  void SetPointerWanted(bool wanted) { PointerWanted = wanted; }

  // Milliseconds from an arbitrary start; wraps around at 2^32 like the system timer.
  virtual uint32_t TimeMs() = 0;

  // Starts a program with its arguments (no shell) or opens a document or address with the
  // desktop's handler; neither waits. False, with the reason in `error`, when it could not
  // be started.
  virtual bool StartProgram(const std::vector<std::string>& arguments, std::string& error) = 0;
  virtual bool OpenDocument(const std::string& target, std::string& error) = 0;
  // Why this host never starts programs (a browser); nullptr where it can.
  virtual const char* ProgramsRefused() const { return nullptr; }

  // The screen: a window (or the whole desktop) showing frames of the requested size and
  // format, scaled to fit with its aspect kept. False with a reason when it cannot be made.
  virtual bool OpenDisplay(const TDisplayRequest& request, std::string& error) = 0;
  virtual void CloseDisplay() = 0;
  // The next CloseDisplay leaves the window open for the OpenDisplay after it (the same
  // presentation started again), which takes it as the user left it: place, size, full
  // screen or not.
  virtual void KeepDisplay() {}
  // Where and how the next OpenDisplay shows the frames; the headless host keeps it only.
  virtual void ChooseScreen(const TScreenChoice& choice) = 0;
  // True when the screen reports the 5-5-5 layout for 16-bit pixels.
  virtual bool DisplayIs555() = 0;
  // Takes the next waiting event; false when none waits.
  virtual bool PollEvent(THostEvent& event) = 0;
  // Shows a finished frame; with `waitRetrace` it waits for the vertical retrace. Only the
  // `changes` differ from the frame presented before (the first frame changes whole).
  virtual void Present(TPlatformSurface& frame, bool waitRetrace,
                       const TFrameChanges& changes) = 0;
  virtual void ShowCursor(bool visible) = 0;
  // A turn of the loop in which no frame ran (the program is minimised or in the background).
  virtual void FrameSkipped() = 0;
  // True when the next frame is due. A host on a real screen runs at most one frame per
  // display refresh: until then it rests, waking early for an event or a timer's task, and
  // answers false. The headless host never rests.
  virtual bool FrameDue() { return true; }

  // The sound output: from now on the host pulls the mix from `mixer` (SDL's audio callback,
  // or the headless frame loop, StepMs worth of sound per frame). False with the reason when
  // there is no audio device; the player then runs on silently.
  virtual bool OpenAudio(TAudioSource& mixer, std::string& error) = 0;
  // Stops pulling; once it returns the mixer is not touched again.
  virtual void CloseAudio() = 0;

  // Every `intervalMs` the host hands `task` to the engine's thread, which runs it inside
  // RunTasks: on SDL a thread waits out the interval, hands the task over and waits until it
  // has run; headless, the virtual clock decides. Destroying the timer, even from inside its
  // own task, ends it at once: its task never runs again, and its thread is joined.
  virtual std::unique_ptr<THostTimer> StartTimer(uint32_t intervalMs,
                                                 std::function<void()> task) = 0;
  // Runs the tasks handed to the engine's thread; the engine loop calls it every turn.
  virtual void RunTasks() = 0;

 protected:
  bool WindowKeysOn = true;
  bool Kiosk = false;
  TKeyChord ExitChord;
  bool PointerWanted = false;
  // True the first time in a play that this caption and text come from the script line being
  // read or run (MessageOriginPrefix): a warning repeated by a looping script would otherwise
  // stop the show with a modal box on every turn. Its repeats go to stderr and the log only.
  bool FirstOfPlay(const std::string& caption, const std::string& text);

 private:
  std::unordered_set<std::string> BoxedInPlay;
};

// The host in use. Until a program installs one, a headless host serves.
THost& Host();
void InstallHost(std::unique_ptr<THost> host);

// Ends the process after a fatal message. The default exits; tests and the fuzzer install a
// handler that throws TFatalExit instead, so they can look at what would have ended it.
struct TFatalExit {
  int ExitCode;
  std::string Message;
};
using TExitHandler = void (*)(int exitCode, const std::string& message);
void SetExitHandler(TExitHandler handler);
[[noreturn]] void ThrowFatalExit(int exitCode, const std::string& message);
[[noreturn]] void EndProcess(int exitCode, const std::string& message);

// Diagnostics for developers (the debugger output of the original): stderr.
void DebugOutput(const std::string& text);

// Writes "CAPTION: TEXT" (TEXT alone for a box without a caption) to stderr and to the
// message log: the part of a message box every host shares, box or not.
void RecordMessage(const std::string& caption, const std::string& text);
// Where RecordMessage also writes its line (the program's log); none until a program sets it.
using TMessageLog = void (*)(const std::string& line);
void SetMessageLog(TMessageLog log);

// The script line being read or run. While one is set, stderr gets "SCRIPT:LINE: " before
// every message and diagnostic, so an author finds the line that caused it; message boxes
// keep their own text. Scopes nest: the outer line comes back when an inner scope ends.
class TMessageOrigin {
 public:
  TMessageOrigin(const std::string& script, int32_t line);
  ~TMessageOrigin();
  TMessageOrigin(const TMessageOrigin&) = delete;
  TMessageOrigin& operator=(const TMessageOrigin&) = delete;

 private:
  std::string SavedScript;
  int32_t SavedLine;
};
// "SCRIPT:LINE: " of the line being read or run; "" outside any.
std::string MessageOriginPrefix();

// An input event of a headless run, due at a virtual time (milliseconds of play).
struct TScriptedEvent {
  uint32_t AtMs = 0;
  THostEvent Event;
};


// The headless host: stderr messages, a virtual clock that advances by one step per frame,
// scripted input, frames and sound handed to callbacks, recorded program starts, timers on
// the virtual clock.
class THeadlessHost : public THost {
 public:
  THeadlessHost();
  ~THeadlessHost() override;

  void ShowMessage(const std::string& caption, const std::string& text) override;
  uint32_t TimeMs() override { return VirtualTime; }
  bool StartProgram(const std::vector<std::string>& arguments, std::string& error) override;
  bool OpenDocument(const std::string& target, std::string& error) override;
  const char* ProgramsRefused() const override { return RefusesPrograms; }
  bool OpenDisplay(const TDisplayRequest& request, std::string& error) override;
  void CloseDisplay() override {}
  void ChooseScreen(const TScreenChoice& choice) override { Screen = choice; }
  bool DisplayIs555() override { return Rgb555; }
  bool PollEvent(THostEvent& event) override;
  // Hands the whole frame on; its consumers need it. With CheckChanges it also keeps a copy
  // made only from the changed parts and counts the frames in which the two differ.
  void Present(TPlatformSurface& frame, bool waitRetrace, const TFrameChanges& changes) override;
  void ShowCursor(bool visible) override { CursorVisible = visible; }
  // Time passes while no frame is shown, as it does on a real clock, and sound plays.
  void FrameSkipped() override { PassStep(); }
  // Keeps the mixer: every step of the clock mixes the sound of that step.
  bool OpenAudio(TAudioSource& mixer, std::string& error) override;
  void CloseAudio() override { Mixer = nullptr; }
  // Due at the virtual time of the start plus the interval, then the interval after each run.
  std::unique_ptr<THostTimer> StartTimer(uint32_t intervalMs, std::function<void()> task) override;
  void RunTasks() override;

  // Milliseconds of play since the clock started.
  uint32_t PlayedMs() const { return VirtualTime - StartTime; }
  // Queues an input event for the frame at or after `atMs` of play.
  void Schedule(uint32_t atMs, THostEventType type, int32_t x = 0, int32_t y = 0,
                bool left = false);
  // Starts the clock at `start` (wrap-around can be tried with a value near 2^32).
  void StartClock(uint32_t start) { VirtualTime = StartTime = start; }

  uint32_t StepMs = 20;     // virtual time per frame
  uint32_t PlayMs = 5000;   // the run ends after the frame at this time
  bool Rgb555 = false;
  std::vector<TScriptedEvent> Input;  // in time order
  // Called with every presented frame and its time of play.
  std::function<void(TPlatformSurface& frame, uint32_t playedMs)> OnFrame;
  // Called with the sound of every step of the clock (shown or skipped frame), before the
  // clock moves: 44 100 x StepMs / 1000 stereo frames, the remainders carried so that no
  // step size drifts; silence while no mixer is open. A long step comes in several calls.
  std::function<void(const int16_t* samples, uint32_t frames)> OnAudio;

  uint32_t VirtualTime = 0;
  uint32_t StartTime = 0;
  bool CursorVisible = true;
  int32_t FramesPresented = 0;
  bool CheckChanges = false;
  int32_t FramesChangedUnseen = 0;  // frames whose changes did not say all that changed
  TDisplayRequest Display;
  TScreenChoice Screen;  // as the command line chose it
  bool Quiet = false;                 // keep messages off stderr (fuzzing)
  const char* RefusesPrograms = nullptr;  // plays the part of a host that starts none
  // "CAPTION: TEXT", in order: the last kMessageTail at least; a run that warns every frame
  // for hours must not keep every warning.
  static constexpr size_t kMessageTail = 1000;
  std::vector<std::string> Messages;
  uint64_t DroppedMessages = 0;  // older messages no longer in Messages
  std::vector<std::string> Started;   // programs (words joined by blanks) and documents
  uint64_t Boxes = 0;                 // messages that a window would have shown in a box

 private:
  void PassStep();

  size_t NextInput = 0;
  bool CloseSent = false;
  TAudioSource* Mixer = nullptr;
  uint32_t MixRemainder = 0;  // thousandths of a stereo frame owed from earlier steps
  std::vector<int16_t> MixBuffer;
  std::unique_ptr<TVirtualTimers> Timers;
  std::vector<uint8_t> FromChanges;  // the frame as the changes alone built it
};

// The SDL host: real message boxes, SDL_GetTicks, real processes.
std::unique_ptr<THost> CreateSdlHost();
