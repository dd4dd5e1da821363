#include "player/VEKCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"
#include "player/VEKCheckFiles.h"
#include "player/VEKEngine.h"
#include "player/VEKFindPresentation.h"
#include "player/VEKMessages.h"
#include "player/VEKParams.h"
#include "player/VEKReader.h"

namespace {

// How messages name the kinds of objects.
const char* KindName(uint8_t kind) {
  switch (kind) {
    case kKindImage:
      return "an image";
    case kKindButton:
      return "a button";
    case kKindText:
      return "a text";
    case kKindAnim:
      return "a video";
    case kKindSound:
      return "a sound";
    case kKind3DObj:
      return "a 3D object";
    default:
      return "nothing";
  }
}

// The object commands that act on some kinds only; the others (WAITFOR, FREE) take any, and on
// any other kind these do nothing.
struct TObjectCommand {
  std::string_view Word;
  uint8_t Kind;
  uint8_t OrKind = kKindNone;
};
constexpr TObjectCommand kObjectCommands[] = {{"SETIMAGEPOS", kKindImage},
                                              {"SHOWIMAGE", kKindImage},
                                              {"IMAGEALPHA", kKindImage},
                                              {"MOVEIMAGE", kKindImage},
                                              {"MOVEIMAGEALPHA", kKindImage},
                                              {"MOVEBUTTON", kKindButton},
                                              {"BUTTONALPHA", kKindButton},
                                              {"SETBUTTON", kKindButton},
                                              {"SHOWTEXT", kKindText},
                                              {"MOVETEXT", kKindText},
                                              {"WAITFORPOS", kKindAnim, kKindSound},
                                              {"PLAYANIM", kKindAnim},
                                              {"MOVEANIM", kKindAnim},
                                              {"STOPANIM", kKindAnim},
                                              {"PLAYSOUND", kKindSound},
                                              {"STOPSOUND", kKindSound},
                                              {"SHOWPOS", kKindSound},
                                              {"SHOW3DOBJ", kKind3DObj},
                                              {"MOVE3DOBJ", kKind3DObj},
                                              {"ROT3DOBJALFA", kKind3DObj},
                                              {"ROT3DOBJBETA", kKind3DObj},
                                              {"ROT3DOBJGAMMA", kKind3DObj}};

// The lines that start something only the first time they run: a sound, a clip, an effect
// (run again, an effect lands at once on its old target).
constexpr std::string_view kOnceOnlyWords[] = {
    "PLAYSOUND",    "PLAYANIM",     "IMAGEALPHA",    "MOVEIMAGE", "MOVEIMAGEALPHA",
    "MOVEBUTTON",   "BUTTONALPHA",  "MOVETEXT",      "MOVEANIM",  "MOVE3DOBJ",
    "ROT3DOBJALFA", "ROT3DOBJBETA", "ROT3DOBJGAMMA", "ZOOM3D"};

std::string OnceOnlyOutcome(const std::string& word) {
  if (word == "PLAYSOUND") return "plays its sound only the first time this line runs";
  if (word == "PLAYANIM") return "starts its clip only the first time this line runs";
  return "starts its effect only the first time this line runs (run again, it lands at once on "
         "its old target)";
}

using TSectionGraph = std::unordered_map<const TVKSection*, std::vector<const TVKSection*>>;

// The sections of `graph` that lie on a loop of sections, of those reached from `start`:
// strongly connected components (Tarjan), found in one walk.
std::unordered_set<const TVKSection*> SectionsOnLoops(const TSectionGraph& graph,
                                                      const TVKSection* start) {
  static const std::vector<const TVKSection*> kNone;
  const auto targets = [&](const TVKSection* section) -> const std::vector<const TVKSection*>& {
    const auto found = graph.find(section);
    return found == graph.end() ? kNone : found->second;
  };
  std::unordered_set<const TVKSection*> onLoops;
  std::unordered_map<const TVKSection*, std::pair<int, int>> order;  // (index, lowest reached)
  std::vector<const TVKSection*> stack;
  std::unordered_set<const TVKSection*> stacked;
  std::vector<std::pair<const TVKSection*, size_t>> walk;
  const auto visit = [&](const TVKSection* section) {
    const int index = static_cast<int>(order.size());
    order[section] = {index, index};
    stack.push_back(section);
    stacked.insert(section);
    walk.emplace_back(section, 0);
  };
  visit(start);
  while (!walk.empty()) {
    const TVKSection* section = walk.back().first;
    const auto& next = targets(section);
    if (walk.back().second < next.size()) {
      const TVKSection* target = next[walk.back().second++];
      if (target == section) onLoops.insert(section);
      if (!order.contains(target))
        visit(target);
      else if (stacked.contains(target))
        order[section].second = std::min(order[section].second, order[target].first);
      continue;
    }
    walk.pop_back();
    const auto [index, lowest] = order[section];
    if (!walk.empty()) {
      int& parentLowest = order[walk.back().first].second;
      parentLowest = std::min(parentLowest, lowest);
    }
    if (lowest != index) continue;
    std::vector<const TVKSection*> component;
    do {
      component.push_back(stack.back());
      stacked.erase(stack.back());
      stack.pop_back();
    } while (component.back() != section);
    if (component.size() > 1) onLoops.insert(component.begin(), component.end());
  }
  return onLoops;
}

// Sections, objects and the places that enter sections, recorded as the player records them
// while it reads, in the player's own records, but with nothing made.
class TScriptCheck {
 public:
  std::vector<TFinding> Run(std::string_view bytes);
  // After Run: the sections, the ways between them and which play.
  TScriptOutline Outline() const;

 private:
  // A CALL, JUMP or button: where it is, and the section it names.
  struct TEntry {
    TVKSection* From;
    int32_t Line;
    std::string What;
    std::string Target;
    std::string Button;  // the button's name (UTF-8); "" for CALL and JUMP
  };
  // A WAITFOR or WAITFORPOS: whether its object is one of its own section's, declared before
  // any RESETSECTION, and whether only a click can end it.
  struct TWait {
    int32_t Line;
    std::string Word, Object;
    bool OwnBeforeReset, ClickOnly;
  };
  // What the warnings need to know of a section, gathered as its lines are read.
  struct TSectionFacts {
    bool Reset = false;    // a RESETSECTION has been read
    int32_t JumpLine = 0;  // its first JUMP
    // "RETURN" for a RETURN, the names of buttons that return (UTF-8)
    std::vector<std::string> ReturnsBy;
    bool Button = false;
    std::vector<std::pair<int32_t, std::string>> OnceOnly;  // before any RESETSECTION
    std::vector<TWait> Waits;
  };

  void Line(const TScriptLine& line);
  void Section(const TScriptLine& line);
  void Declaration(const TScriptLine& line);
  void ObjectFiles(const TScriptLine& line);
  void Command(const TScriptLine& line);
  const TVKObjectEntry* CommandObject(const TScriptLine& line);
  void Wait(const TScriptLine& line, const TVKObjectEntry* entry);
  void Targets();
  void Reachability();
  // Warnings for pages entered more than once, and for waits that only a click can end.
  void ComeBackWarnings(const TSectionGraph& leadsTo,
                        const std::unordered_set<const TVKSection*>& reached);
  void UndeclaredObjects();
  void Add(int32_t line, std::string message) { Findings.push_back({line, std::move(message)}); }
  void Warn(int32_t line, std::string message) {
    Findings.push_back({line, std::move(message), true});
  }
  TSectionFacts& Facts() { return SectionFacts[Script.CurrentSection]; }

  std::vector<TFinding> Findings;
  TFileCheck Files{Findings};
  TVEKE Script;
  // Faulty and duplicate headers: told about already, and never entered anyway.
  std::set<const TVKSection*> SectionsTold;
  std::map<std::string, int32_t> Declared;  // every object name, with its first line
  std::vector<TEntry> Entries;
  // Object commands whose object was not declared before them: told once every declaration
  // is known, so the script is read once and none of its lines is kept.
  std::vector<std::pair<int32_t, std::string>> Undeclared;
  bool ObjectsDeclared = false;
  TFontChoice Font;
  std::unordered_map<const TVKSection*, TSectionFacts> SectionFacts;
  std::unordered_map<const TVKObjectEntry*, const TVKSection*> Owners;
  std::unordered_set<const TVKSection*> Reached;  // found by Reachability, kept for Outline
};

std::vector<TFinding> TScriptCheck::Run(std::string_view bytes) {
  ForEachScriptLine(bytes, [&](std::string_view text, int32_t number) {
    const TScriptLine line = ReadScriptLine(text, number);
    if (!line.ObjectName.empty() && line.Kind == TLineKind::Declaration)
      Declared.try_emplace(line.ObjectName, line.Number);
    Line(line);
  });
  UndeclaredObjects();
  Targets();
  Reachability();
  // In line order; a finding told twice for one line (three faces of a button from one
  // missing resource file, say) is told once.
  std::stable_sort(Findings.begin(), Findings.end(),
                   [](const TFinding& a, const TFinding& b) { return a.Line < b.Line; });
  std::set<std::pair<int32_t, std::string>> told;
  std::erase_if(Findings,
                [&](const TFinding& f) { return !told.emplace(f.Line, f.Message).second; });
  return std::move(Findings);
}

void TScriptCheck::Line(const TScriptLine& line) {
  if (line.Error) Add(line.Number, line.Error->English + " (" + line.Error->Text + ")");
  const bool parenTold = line.Error && line.Error->English == kMissingParen;
  if (line.Unclosed && !parenTold && line.Kind != TLineKind::Unknown)
    Add(line.Number, kMissingParen);
  switch (line.Kind) {
    case TLineKind::Section:
      return Section(line);
    case TLineKind::Declaration:
      return Declaration(line);
    case TLineKind::Command:
      return Command(line);
    case TLineKind::Unknown: {
      static const std::vector<std::string> words = [] {
        std::vector<std::string> all(std::begin(kCommandWords), std::end(kCommandWords));
        all.insert(all.end(), std::begin(kDeclarationWords), std::end(kDeclarationWords));
        return all;
      }();
      return Add(line.Number,
                 "unknown command " + QuotedName(line.Word) + DidYouMean(line.Word, words));
    }
    case TLineKind::Skipped:
      return;
  }
}

void TScriptCheck::Section(const TScriptLine& line) {
  const TVKSection* first = Script.FindSection(line.Word);
  if (first && !line.Error)
    Add(line.Number, "duplicate section " + QuotedName(line.Word) +
                         ": CALL, JUMP and buttons enter the first, on line " +
                         std::to_string(first->LineNumber));
  // The lines that follow belong to it even when its header is faulty, so that they are
  // checked in the right section.
  Script.AddSection(line.Word, line.Number);
  if (line.Error || first) SectionsTold.insert(Script.CurrentSection);
}

void TScriptCheck::Declaration(const TScriptLine& line) {
  if (const auto* engine = std::get_if<TEngineDecl>(&line.Declaration)) {
    if (ObjectsDeclared)
      Add(line.Number, "CREATEENGINE after an object declaration (" + kEngineAfterObjects + ")");
    Font = engine->FontFile.empty()
               ? TFontChoice{}
               : TFontChoice{engine->FontFile, AsWritten(line, engine->FontFile), line.Number};
    return;
  }
  if (const auto* background = std::get_if<TBackgroundDecl>(&line.Declaration)) {
    if (!line.Error) Files.Picture(line, background->ResFile, background->Picture);
    return;
  }
  // Declared even when the line is faulty, so the commands that name it are not told too.
  if (line.ObjectName.empty()) return;
  for (const auto& entry : Script.CurrentSection->Objects)
    if (entry->Name == line.ObjectName) {
      // Its commands in this section, and in any section, find the first one.
      Add(line.Number, "duplicate object name " + QuotedName(line.ObjectName) +
                           " in this section, first on line " + std::to_string(entry->LineNumber));
      break;
    }
  Script.AddObject(line.ObjectKind, line.ObjectName, std::make_shared<TVKObject>(line.ObjectKind),
                   line.Number);
  Owners.emplace(Script.CurrentSection->Objects.back().get(), Script.CurrentSection);
  if (line.ObjectKind == kKindButton) Facts().Button = true;
  ObjectsDeclared = true;
  if (!line.Error) ObjectFiles(line);
}

void TScriptCheck::ObjectFiles(const TScriptLine& line) {
  if (const auto* d = std::get_if<TImageDecl>(&line.Declaration))
    Files.Picture(line, d->ResFile, d->Picture);
  if (const auto* d = std::get_if<TButtonDecl>(&line.Declaration)) {
    Files.Picture(line, d->ResFile, d->Normal);
    if (!d->Hover.empty()) Files.Picture(line, d->ResFile, d->Hover);
    if (!d->Pressed.empty()) Files.Picture(line, d->ResFile, d->Pressed);
    if (UpperAscii(TrimBlanks(d->TargetSection)) != "RETURN")
      Entries.push_back({Script.CurrentSection, line.Number,
                         "button " + QuotedName(line.ObjectName), d->TargetSection,
                         Cp1250ToUtf8(line.ObjectName)});
    else
      Facts().ReturnsBy.push_back(Cp1250ToUtf8(line.ObjectName));
  }
  if (const auto* d = std::get_if<TTextDecl>(&line.Declaration)) Files.Text(line, *d, Font);
  if (const auto* d = std::get_if<TAnimDecl>(&line.Declaration)) Files.Video(line, d->File);
  if (const auto* d = std::get_if<TSoundDecl>(&line.Declaration)) Files.Sound(line, d->File);
  if (const auto* d = std::get_if<T3DObjDecl>(&line.Declaration)) {
    Files.ModelPart(line, d->ResFile, d->ObjectName);
    for (const std::string* texture : {&d->Texture1, &d->Texture2})
      if (!texture->empty()) Files.ModelPart(line, d->ResFile, *texture);
  }
}

void TScriptCheck::Command(const TScriptLine& line) {
  if (line.Error) return;
  const TVKObjectEntry* entry = nullptr;
  if (line.CommandPosition >= kFirstObjectCommand && !IgnoresObjectName(line.Word))
    entry = CommandObject(line);
  TSectionFacts& facts = Facts();
  if (line.Word == "WAITFOR" || line.Word == "WAITFORPOS") Wait(line, entry);
  if (line.Word == "RESETSECTION") facts.Reset = true;
  if (line.Word == "RETURN") facts.ReturnsBy.push_back("RETURN");
  if (line.Word == "JUMP" && facts.JumpLine == 0) facts.JumpLine = line.Number;
  if (!facts.Reset && std::find(std::begin(kOnceOnlyWords), std::end(kOnceOnlyWords), line.Word) !=
                          std::end(kOnceOnlyWords))
    facts.OnceOnly.emplace_back(line.Number, line.Word);
  // The run-time reader takes these parameters apart, as it will when the line runs.
  std::string params = line.Params;
  if (line.Word == "CALL" || line.Word == "JUMP")
    Entries.push_back({Script.CurrentSection, line.Number, line.Word, NextParam(params), ""});
  if (line.Word == "LOADBACKGROUND") {
    const std::string resFile = NextParam(params, true);
    Files.Picture(line, resFile, NextParam(params, true));
  }
}

const TVKObjectEntry* TScriptCheck::CommandObject(const TScriptLine& line) {
  const std::string name = QuotedName(line.ObjectName);
  const TVKObjectEntry* entry = Script.FindObjectEntry(line.ObjectName);
  if (!entry) {
    Undeclared.emplace_back(line.Number, line.ObjectName);
    return nullptr;
  }
  for (const TObjectCommand& command : kObjectCommands) {
    if (command.Word != line.Word || entry->Kind == command.Kind || entry->Kind == command.OrKind)
      continue;
    std::string needs = KindName(command.Kind);
    if (command.OrKind != kKindNone) needs += std::string(" or ") + KindName(command.OrKind);
    Add(line.Number, line.Word + " acts on " + needs + ", but " + name + " is " +
                         KindName(entry->Kind) + " (line " + std::to_string(entry->LineNumber) +
                         ")");
  }
  return entry;
}

void TScriptCheck::Wait(const TScriptLine& line, const TVKObjectEntry* entry) {
  const TVKSection* owner = entry ? Owners.at(entry) : nullptr;
  const bool own = owner == Script.CurrentSection;
  const std::string name = QuotedName(line.ObjectName);
  if (entry && !own)
    Warn(line.Number, line.Word + " on " + name + ", an object of section " +
                          QuotedName(owner->Name) + " (line " + std::to_string(entry->LineNumber) +
                          "), waits for a click, not for the object: a section's waits see only "
                          "its own objects. Declare " +
                          name + " in section " + QuotedName(Script.CurrentSection->Name) +
                          " to wait for it");
  const uint8_t kind = entry ? entry->Kind : uint8_t{kKindNone};
  const bool positioned = kind == kKindAnim || kind == kKindSound;
  const bool clickOnly = !own || (line.Word == "WAITFORPOS" && !positioned) ||
                         (line.Word == "WAITFOR" && (kind == kKindButton || kind == kKind3DObj));
  Facts().Waits.push_back(
      {line.Number, line.Word, line.ObjectName, own && !Facts().Reset, clickOnly});
}

void TScriptCheck::UndeclaredObjects() {
  std::vector<std::pair<int32_t, std::string>> declaredBefore;  // (line, name), in line order
  for (const auto& [declared, number] : Declared) declaredBefore.emplace_back(number, declared);
  std::sort(declaredBefore.begin(), declaredBefore.end());
  for (const auto& [number, objectName] : Undeclared) {
    const std::string name = QuotedName(objectName);
    const auto later = Declared.find(objectName);
    if (later != Declared.end()) {
      Add(number, "object " + name + " is used before its declaration on line " +
                      std::to_string(later->second) + " (" + kNoSuchObject +
                      Cp1250ToUtf8(objectName) + ")");
      continue;
    }
    std::vector<std::string> names;
    for (const auto& [declaredLine, declared] : declaredBefore) {
      if (declaredLine >= number) break;
      names.push_back(declared);
    }
    Add(number, "no object " + name + " is declared" + DidYouMean(objectName, names) + " (" +
                    kNoSuchObject + Cp1250ToUtf8(objectName) + ")");
  }
}

void TScriptCheck::Targets() {
  std::vector<std::string> sections;
  for (const auto& section : Script.Sections)
    if (section->LineNumber > 0) sections.push_back(section->Name);
  for (const TEntry& entry : Entries) {
    if (Script.FindSection(entry.Target)) continue;
    Add(entry.Line, entry.What + " names no section " + QuotedName(entry.Target) +
                        DidYouMean(entry.Target, sections) + " (" + kNoSuchSection +
                        Cp1250ToUtf8(entry.Target) + ")");
  }
}

void TScriptCheck::Reachability() {
  // A section plays when the main section, or a section that plays, calls or jumps to it, or
  // when a button of a section that plays is clicked: a click is heard only in its own section.
  // One walk of the graph of sections, each entered once.
  TSectionGraph leadsTo;
  for (const TEntry& entry : Entries)
    if (const TVKSection* target = Script.FindSection(entry.Target))
      leadsTo[entry.From].push_back(target);
  Reached.insert(Script.Sections.front().get());
  std::vector<const TVKSection*> toWalk{Script.Sections.front().get()};
  while (!toWalk.empty()) {
    const TVKSection* section = toWalk.back();
    toWalk.pop_back();
    for (const TVKSection* target : leadsTo[section])
      if (Reached.insert(target).second) toWalk.push_back(target);
  }
  for (const auto& section : Script.Sections)
    if (!Reached.contains(section.get()) && !SectionsTold.contains(section.get()))
      Add(section->LineNumber, "section " + QuotedName(section->Name) +
                                   " cannot be reached: no CALL, JUMP or button of a section "
                                   "that plays enters it");
  ComeBackWarnings(leadsTo, Reached);
}

void TScriptCheck::ComeBackWarnings(const TSectionGraph& leadsTo,
                                    const std::unordered_set<const TVKSection*>& reached) {
  // Entered more than once: from two places, from a loop of sections, or by a button of a
  // section that the button's target returns to, where it can be clicked again; and anything
  // such a section enters.
  std::unordered_map<const TVKSection*, int> places;
  std::vector<const TVKSection*> toWalk;
  std::unordered_set<const TVKSection*> again;
  const auto enteredAgain = [&](const TVKSection* section) {
    if (again.insert(section).second) toWalk.push_back(section);
  };
  for (const TEntry& entry : Entries) {
    const TVKSection* target = Script.FindSection(entry.Target);
    if (!target || !reached.contains(entry.From)) continue;
    if (++places[target] == 2 || (!entry.Button.empty() && !SectionFacts[target].ReturnsBy.empty()))
      enteredAgain(target);
  }
  for (const TVKSection* section : SectionsOnLoops(leadsTo, Script.Sections.front().get()))
    enteredAgain(section);
  while (!toWalk.empty()) {
    const TVKSection* section = toWalk.back();
    toWalk.pop_back();
    if (const auto next = leadsTo.find(section); next != leadsTo.end())
      for (const TVKSection* target : next->second) enteredAgain(target);
  }
  for (const auto& section : Script.Sections) {
    const auto found = SectionFacts.find(section.get());
    if (found == SectionFacts.end()) continue;
    const TSectionFacts& facts = found->second;
    const std::string name = QuotedName(section->Name);
    const bool comesBack = again.contains(section.get());
    for (const auto& [line, word] : facts.OnceOnly)
      if (comesBack)
        Warn(line, word + " " + OnceOnlyOutcome(word) + ", but section " + name +
                       " can be entered more than once, so later visits do without it. Put "
                       "RESETSECTION before it to run it on every visit");
    for (const TWait& wait : facts.Waits) {
      const std::string object = QuotedName(wait.Object);
      if (comesBack && wait.OwnBeforeReset && facts.JumpLine > 0)
        Warn(wait.Line, wait.Word + " on " + object + ": the JUMP on line " +
                            std::to_string(facts.JumpLine) + " frees the objects of section " +
                            name + ", so when the section is entered again " + object +
                            " is gone and the wait waits for a click instead. Put RESETSECTION "
                            "before it to make " +
                            object + " again on every visit");
      if (wait.ClickOnly && !facts.Button)
        Warn(wait.Line, wait.Word + " on " + object + " can only end by a click, but section " +
                            name +
                            " has no button to click: play stays on this line until "
                            "the presentation is closed. Declare a button in the section, or "
                            "wait for an object of the section");
    }
  }
}

TScriptOutline TScriptCheck::Outline() const {
  TScriptOutline outline;
  outline.Files = Files.Named();
  std::unordered_map<const TVKSection*, size_t> places;
  for (const auto& section : Script.Sections) {
    places.emplace(section.get(), outline.Sections.size());
    outline.Sections.push_back(
        {Cp1250ToUtf8(section->Name), section->LineNumber, Reached.contains(section.get())});
  }
  std::set<std::tuple<size_t, size_t, TLinkKind, std::string>> drawn;
  const auto link = [&](size_t from, size_t to, TLinkKind kind, const std::string& label) {
    if (drawn.emplace(from, to, kind, label).second)
      outline.Links.push_back({from, to, kind, label});
  };
  for (const TEntry& entry : Entries) {
    const TVKSection* target = Script.FindSection(entry.Target);
    if (!target) continue;
    const size_t from = places.at(entry.From), to = places.at(target);
    const bool button = !entry.Button.empty();
    link(from, to,
         button                 ? TLinkKind::Button
         : entry.What == "CALL" ? TLinkKind::Call
                                : TLinkKind::Jump,
         entry.Button);
    // Every way in, a JUMP too, keeps where it came from, and a RETURN goes back there.
    const auto facts = SectionFacts.find(target);
    if (facts == SectionFacts.end() || facts->second.ReturnsBy.empty()) continue;
    std::set<std::string> ways(facts->second.ReturnsBy.begin(), facts->second.ReturnsBy.end());
    std::string label;
    for (const std::string& way : ways) label += (label.empty() ? "" : ", ") + way;
    link(to, from, TLinkKind::Return, label);
  }
  return outline;
}
}  // namespace

std::vector<TFinding> CheckScriptText(std::string_view bytes) { return TScriptCheck().Run(bytes); }

TScriptOutline OutlineScript(const std::string& path) {
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, error)) throw std::runtime_error(error);
  SetScriptFolder(FolderOf(path));
  TScriptCheck check;
  std::vector<TFinding> findings = check.Run(bytes);
  TScriptOutline outline = check.Outline();
  outline.Findings = std::move(findings);
  return outline;
}

std::vector<TFinding> CheckScript(const std::string& path) {
  return std::move(OutlineScript(path).Findings);
}

int RunScriptCheck(std::vector<std::string> scripts, const std::string& programName) {
  const bool warnings = std::erase(scripts, "--no-warnings") == 0;
  if (scripts.empty()) {
    std::fprintf(stderr, "%s: --check needs a script: %s --check SCRIPT...\n", programName.c_str(),
                 programName.c_str());
    return 2;
  }
  bool clean = true;
  for (const std::string& script : scripts) {
    // A folder, image or archive is checked by the script it would play.
    const TFoundPresentation found = FindPresentation(script, "");
    if (!found.Error.empty()) {
      std::printf("%s\n", found.Error.c_str());
      clean = false;
      continue;
    }
    const std::string path = ResolveGivenPath(found.Script);
    // The player's own words follow, as it would end with them.
    if (!IsRegularFile(path)) {
      std::printf("%s: script not found (%s script nem található.)\n", script.c_str(),
                  script.c_str());
      clean = false;
      continue;
    }
    std::vector<TFinding> findings;
    try {
      findings = CheckScript(path);
    } catch (const std::exception& error) {
      std::printf("%s: script cannot be read: %s (%s script nem olvasható: %s)\n", script.c_str(),
                  error.what(), path.c_str(), error.what());
      clean = false;
      continue;
    }
    for (const TFinding& finding : findings) {
      if (finding.Warning && !warnings) continue;
      std::printf("%s:%d: %s%s\n", script.c_str(), finding.Line, finding.Warning ? "warning: " : "",
                  finding.Message.c_str());
      clean = clean && finding.Warning;
    }
  }
  std::fflush(stdout);
  return clean ? 0 : 1;
}
