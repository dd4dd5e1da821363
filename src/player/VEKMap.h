#pragma once
// `veke-render SCRIPT --map FILE`: the presentation drawn as a map of its sections, each a box
// with a small picture of how it looks when entered, joined by arrows for CALL, JUMP, RETURN
// and buttons, laid out by Graphviz's dot program.
#include <string>
#include <vector>

struct TMapRequest {
  std::string Given;    // the script, folder, image or archive, as on the command line
  std::string Chosen;   // --script's name, "" for none
  std::string OutFile;  // .svg (standing alone, pictures inside) or .png
  // Words every section's play is given too: drive letters, the tree, --script, display
  // switches.
  std::vector<std::string> PlayOptions;
};

// Exit codes: 0 the map is written and the script has no mistakes; 1 it is written, and the
// script's mistakes are listed on stderr as --check lists them; 2 no map could be made (the
// reason is on stderr).
int DrawScriptMap(const TMapRequest& request);
