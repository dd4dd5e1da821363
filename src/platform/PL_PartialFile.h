#pragma once
// Files written under a name of their own beside their final one and renamed when they are
// whole, so an export that fails leaves nothing half-written where the finished file belongs
// (and an earlier file of that name stays as it was).
#include <string>

// "DIR/.NAME.partial.EXT" for "DIR/NAME.EXT": the same folder, so the rename cannot fail for
// crossing file systems, and the same extension, which tools that pick a format by it need.
std::string PartialNameFor(const std::string& path);

// Renames the partial file to its final name; false with the reason when it cannot.
bool CommitPartial(const std::string& partial, const std::string& path, std::string& error);

// Removes a partial file, if there is one.
void DiscardPartial(const std::string& partial);
