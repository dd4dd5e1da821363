#include "platform/PL_Host.h"

#include <cstdio>

#include "platform/PL_Process.h"

namespace {
std::unique_ptr<THost>& CurrentHost() {
  static std::unique_ptr<THost> host = std::make_unique<THeadlessHost>();
  return host;
}
}  // namespace

THost& Host() { return *CurrentHost(); }

void InstallHost(std::unique_ptr<THost> host) { CurrentHost() = std::move(host); }

void DebugOutput(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void WriteMessageToStderr(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void THeadlessHost::ShowMessage(const std::string& caption, const std::string& text) {
  if (!Quiet) WriteMessageToStderr(caption, text);
  Messages.push_back(caption + ": " + text);
}

bool THeadlessHost::StartProgram(const std::string& commandLine) {
  Started.push_back(commandLine);
  return !SplitCommandLine(commandLine).empty();
}

bool THeadlessHost::OpenDocument(const std::string& target) {
  Started.push_back("xdg-open " + target);
  return !target.empty();
}
