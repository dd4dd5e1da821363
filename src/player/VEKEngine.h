#pragma once
// The script interpreter: the parsed script (sections, objects, commands) and its player.
#include <climits>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/SE_Controls.h"
#include "engine/SE_Engine.h"
#include "platform/PL_Host.h"
#include "player/VEKDecls.h"
#include "player/VEKObjects.h"

struct TScriptLine;
struct T3DObject;

// The entry is the object's only owner. Commands in any section, and the effects they run,
// name it through weak references, so that FREE, FREESECTIONCONTROLS and JUMP end every
// reference at once and a command on a freed object finds nothing to act on.
struct TVKObjectEntry {
  uint8_t Kind = kKindNone;
  std::string Name;
  std::shared_ptr<TVKObject> Obj;
  int32_t LineNumber = 0;  // of its declaration
};

// ZOOM3D keeps its course in its command, as it belongs to no object.
struct TZoomState {
  long double Target = 0, Current = 0, Step = 0;
  uint32_t Duration = 0;
};

struct TVKCommand {
  std::string Name;
  std::weak_ptr<TVKObject> Target;  // expired: never found, or freed since
  std::string ObjectName;           // as the line names it, to find its object again
  std::string Params;
  uint32_t LastTime = 0;
  uint32_t Remaining = 0;
  bool Waiting = false;
  bool Active = false;
  bool Started = false;
  int32_t LineNumber = 0;
  std::unique_ptr<TZoomState> ZoomState;  // made when a ZOOM3D starts, kept after it ends
  bool HangTold = false;  // a wait that cannot end by itself has said so in this run
};

// An object declaration of a section, kept so that RESETSECTION can make a freed object
// again as it was first made. A freed button stays in the engine's list and a freed model in
// the scene; made again, the object takes them back instead of adding another each visit.
struct TVKDeclaration {
  uint8_t Kind = kKindNone;
  std::string Name;
  TDeclaration Decl;
  int32_t LineNumber = 0;
  int32_t EngineButton = -1;  // its place in the engine's button list
  std::weak_ptr<T3DObject> Model;
};

struct TVKSection {
  std::string Name;
  std::vector<std::unique_ptr<TVKCommand>> Commands;
  std::vector<std::unique_ptr<TVKObjectEntry>> Objects;  // in the order of their declarations
  std::vector<TVKDeclaration> Declarations;              // every object declared, in order
  int32_t CommandIndex = -1;
  std::string BackgroundResFile;
  std::string BackgroundImage;
  int32_t BackgroundColour = 0;
  int32_t LineNumber = 0;  // of its header; 0 for the main section
  // It holds a RESETSECTION, so CALL, JUMP and buttons enter it at its first line (a section
  // without one goes on where it was left: after its JUMP, or at the wait a click left).
  bool StartsAfresh = false;
};

inline const std::string kMainSectionName = "<Main Section>";
inline const std::string kDefaultFontFile = "Res\\Fonts16bit.ger";

// The 44 section command words; the position decides what the parser reads from a line.
// RESETSECTION is ours; like the words before it, it takes no parameters.
// clang-format off
inline constexpr std::string_view kCommandWords[] = {
    "NOTHING",       "FREESECTIONCONTROLS", "RETURN",        "QUIT",          "CURSORON",
    "CURSOROFF",     "SHOWFPS",             "HIDEFPS",       "WAITRETRACEON", "WAITRETRACEOFF",
    "RESETSECTION",  "CLEAR",         "WAIT",                "CALL",          "JUMP",          "EXECUTE",
    "WINOPEN",       "LOADBACKGROUND",      "SETIMAGEPOS",   "SHOWIMAGE",     "IMAGEALPHA",
    "MOVEIMAGE",     "MOVEIMAGEALPHA",      "MOVEBUTTON",    "BUTTONALPHA",   "SETBUTTON",
    "SHOWTEXT",      "MOVETEXT",            "WAITFOR",       "WAITFORPOS",    "PLAYANIM",
    "MOVEANIM",      "STOPANIM",            "PLAYSOUND",     "STOPSOUND",     "SHOW3DOBJ",
    "MOVE3DOBJ",     "ROT3DOBJALFA",        "ROT3DOBJBETA",  "ROT3DOBJGAMMA", "SET3DZOOM",
    "ZOOM3D",        "FREE",                "SHOWPOS"};
// clang-format on
inline constexpr int kFirstParamCommand = 10;   // from here on the rest of the line is read
inline constexpr int kFirstObjectCommand = 18;  // from here on an object name comes first

// The command-line words of the program, set by its entry.
void SetProgramArguments(std::vector<std::string> arguments);
// True if some argument begins with Name, compared without regard to letter case.
bool SwitchGiven(std::string_view name);
// HARDWARE, WINDOWED and FLIP, which the player takes by their beginnings in any letter case.
bool IsDisplaySwitch(std::string_view argument);

class TSE3D;
class TVEKE;

// What plays a watched script is told: after every frame, and when F5 is pressed (between
// frames, where the play may be ended to start again).
class TPlayWatch {
 public:
  virtual ~TPlayWatch() = default;
  virtual void AfterFrame(TVEKE& play) = 0;
  virtual void ReloadKey(TVEKE& play) = 0;
};

// A section of the chain that played when a watched script was read again: its name and,
// for a caller, the command it had come to (its words, to know it again in the new version).
struct TResumePoint {
  std::string Section;
  int32_t CommandIndex = -1;
  std::string Command;
};

// Where and how play starts, for authors working on one part of a presentation.
struct TStartOptions {
  std::string Section;  // UTF-8 as given; empty: the main section
  bool Trace = false;   // a line per frame on stderr (TVEKE::TraceLine)
  bool AllowExecute = false;  // EXECUTE starts programs (--allow-execute)
  std::string Script;   // --script NAME: the script to play in a folder, image or archive
  bool Watch = false;   // --watch: play again after every clean save (VEKWatch.h)
  // Set for a play started again after a save: the main section first, the section that
  // played last. It takes the place of Section.
  std::vector<TResumePoint> Resume;
  bool Kiosk = false;   // --kiosk (TKeyChord ExitChord: --exit-keys)
  TKeyChord ExitChord;
  bool RestartOnQuit = false;   // --on-quit restart|exit; restart is the kiosk's default
  uint32_t IdleRestartMs = 0;   // --idle-restart MINUTES; 0: never
  std::string Error;    // a malformed option
};
// Takes `--section NAME`, `--script NAME`, `--trace`, `--allow-execute`, `--watch`, `--kiosk`,
// `--exit-keys CHORD`, `--on-quit restart|exit` and `--idle-restart MINUTES` out of the
// command line, wherever they stand.
TStartOptions TakeStartOptions(std::vector<std::string>& arguments);

class TVEKE {
 public:
  TVEKE();
  ~TVEKE();
  TVEKE(const TVEKE&) = delete;
  TVEKE& operator=(const TVEKE&) = delete;

  // Plays one script to its end: Begin, then RunWhile until the play ends.
  void Execute(const std::string& scriptFileName);
  // Reads the script and makes everything ready for its first frame.
  void Begin(const std::string& scriptFileName);
  // Turns the engine loop while `goOn` says so; false once the play has ended and freed all
  // it held. An error of a frame is reported, ends the play the same way and passes on. A
  // browser turns the loop a few times per animation frame, as it must never block.
  bool RunWhile(const std::function<bool()>& goOn);
  // Play begins in the section Start.Section (as if the main section called it before its
  // first command); the main section goes on after it returns. An unknown name is fatal.
  // A play started again after a save enters the sections of Start.Resume in turn instead.
  void EnterStartSection();
  // The chain of sections playing now, the main section first (see TResumePoint).
  std::vector<TResumePoint> PlayPlace() const;
  // What runs in this frame: the time of play, the section and its caller, the current
  // command with its script line and whether it waits, and the running effects.
  std::string TraceLine(uint32_t playedMs) const;
  // Reads a script file, or script text, into sections.
  void LoadScript(const std::string& path);
  void LoadScriptText(std::string_view bytes);
  void CreateEngine(int32_t width, int32_t height, const std::string& caption,
                    const std::string& fontFile);
  void ReportRunError();

  // Frame handlers of the engine.
  void IdleStep(int32_t elapsed);
  void Step(int32_t elapsed);

  // Called by a script button's click; true when the click was this section's.
  bool ButtonClicked(TGEButton& sender);

  // Appends a section, which the following lines fill.
  void AddSection(const std::string& name, int32_t line);
  // Records an object declared on `line` in the current section.
  void AddObject(uint8_t kind, const std::string& name, std::shared_ptr<TVKObject> object,
                 int32_t line);
  TVKSection* FindSection(const std::string& name) const;
  // The object a command names: the first of that name in the current section, else the
  // first in any section, sections and objects in order; only objects declared before the
  // line `before`, as a command finds its object when the script is read.
  const TVKObjectEntry* FindObjectEntry(const std::string& name, int32_t before = INT32_MAX) const;
  std::shared_ptr<TVKObject> FindObject(const std::string& name, int32_t before = INT32_MAX) const;
  // The kind of an object of the current section; 0 for any other.
  uint8_t KindOf(const TVKObject* object) const;
  // The declared name of an object of any section; "" when it is gone.
  std::string NameOf(const TVKObject* object) const;

  // The script's name as messages on stderr give it ("SCRIPT:LINE: "), and as found.
  std::string ScriptName;
  std::string ScriptPath;
  TPlayWatch* Watch = nullptr;  // --watch: the watch, which outlives the play
  TStartOptions Start;
  // Set when the play ended to start again from the beginning: why, for the message.
  std::string RestartReason;
  uint32_t PlayStartMs = 0;  // the host's clock when play began
  bool EngineCreated = false;
  bool NeedRedraw = false;
  bool BackgroundSaved = false;
  int32_t ShownFPS = -1;  // the frame rate the last redraw showed
  std::vector<std::unique_ptr<TVKSection>> Sections;
  TVKSection* CurrentSection = nullptr;
  std::vector<TVKSection*> CallStack;
  std::unique_ptr<TGEngine> Engine;
  std::string FontFile;  // the font file the engine was given
  std::unique_ptr<TGEButtonList> Buttons;
  std::unique_ptr<TSE3D> Scene;  // made with the first 3D object
  // The first section of each name, so CALL, JUMP and buttons find theirs at once in scripts
  // of thousands of sections.
  std::unordered_map<std::string, TVKSection*> SectionsByName;
  // Sizes the 3D scene's buffers once every object is declared, before the first frame.
  void PrepareScene();

 private:
  void ApplyLine(const TScriptLine& line);
  void ApplyDeclaration(const TScriptLine& line);
  void AddCommand(const TScriptLine& line);
  void EnsureEngine();
  // Frees every object, then the buttons and the engine.
  void FreeAll();
  bool AnyObjects() const;

  // Runs `work` for a line of the script: messages on stderr name the line, and so does an
  // error that escapes it.
  template <typename TWork>
  void AtLine(int32_t line, TWork&& work) {
    TMessageOrigin origin(ScriptName, line);
    try {
      work();
    } catch (const std::exception& error) {
      const std::string prefix = MessageOriginPrefix();
      if (std::string_view(error.what()).starts_with(prefix)) throw;
      throw std::runtime_error(prefix + error.what());
    }
  }
  void ExecuteCommand(TVKCommand& command);
  // Ends the play so that it starts again from its beginning, everything freed and read again.
  void RestartPlay(std::string reason);
  // EXECUTE: starts the program when the user allowed it, else says what was not started.
  void RunProgramCommand(const std::string& commandLine);
  bool ExecuteRefusalShown = false;  // the first refused EXECUTE of the play had its box
  void AdvanceWait(TVKCommand& command);
  void StepEffect(TVKCommand& command);
  void StepLinearEffect(TVKCommand& command, TVKEffectObject& object,
                        std::initializer_list<TEffectChannel> channels);
  void RunObjectCommand(TVKCommand& command, TVKObject& target);
  void ShowSoundPosition(TVKObject& target);
  void Run3DObjectCommand(TVKCommand& command, TVK3DObj& object);
  void SetSceneZoom(TVKCommand& command);
  void StepRotation(TVKCommand& command, TVK3DObj& object, TAxis axis);
  void StepZoom(TVKCommand& command);
  void Erase3DObject(TVK3DObj& object);
  // Renders the whole scene for the first visible model of a pass only.
  void Draw3DObject(TVK3DObj& object, bool& sceneRendered);
  // RESETSECTION: the current section starts afresh from the line after the current one.
  void ResetSection();
  void RemakeFreedObjects(TVKSection& section);
  // Makes the object a declaration declares, and notes its button or model.
  std::unique_ptr<TVKObject> MakeObject(TVKDeclaration& declaration);
  // The same for an object made again: a button or model left behind is taken back.
  std::unique_ptr<TVKObject> RemakeObject(TVKDeclaration& declaration);
  // A sound or clip that a later line plays is started again from its beginning.
  void RewindObject(TVKObjectEntry& entry, const TVKDeclaration& declaration);
  // WAITFOR and WAITFORPOS: a wait that will not end by itself in a section with nothing to
  // click says so once, on stderr and in the log.
  void TellHangingWait(TVKCommand& command);
  void EnterSection(const std::string& name);
  // The sections of Start.Resume, each entered from the one before, as far as they are there.
  void ResumeSections();
  void ReturnFromSection();
  // F12 (VEKScreenshot.cpp) and F5.
  void WindowKey(TWindowKey key);
  void SaveScreenshot();
  void FreeSectionObjects();
  void FreeObject(const TVKObject* object);
  void LoadBackground(const std::string& resFile, const std::string& picture);
  void ClearBackground(int32_t colour);
  void RecordBackground(const std::string& resFile, const std::string& picture, int32_t colour);
  // Marks a redraw when a button of the section has changed its look.
  void UpdateButtonLooks();
  void EraseObjects();
  void DrawObjects();

  std::unique_ptr<TVKObject> NewImage(const TImageDecl& decl);
  std::unique_ptr<TVKObject> NewButton(const TButtonDecl& decl);
  // Gives an engine button the place and state its declaration gives.
  void SetUpButton(TGEButton& button, const TButtonDecl& decl);
  std::unique_ptr<TVKObject> NewText(const TTextDecl& decl);
  std::unique_ptr<TVKObject> NewAnim(const TAnimDecl& decl);
  std::unique_ptr<TVKObject> NewSound(const TSoundDecl& decl);
  // `line`: of the declaration, which a model that cannot be had ends the script at.
  std::unique_ptr<TVKObject> New3DObj(const T3DObjDecl& decl, int32_t line);
};
