// kytphone: the console phone. See cKytPhone::HelpText for what it reads and prints.

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <optional>

#include "host/cKytPhone.h"
#include "host/cNPHost.h"

int main(int argc, char** argv) {
  cKytPhone::cOptions options;
  std::string error;
  if (!cKytPhone::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    std::cerr << "kytphone: " << error << "\n(kytphone --help tells how to use it)\n";
    return cKytPhone::kExitBadLine;
  }
  if (options.bHelp) {
    std::cout << cKytPhone::HelpText();
    return cKytPhone::kExitOk;
  }
  if (options.bVersion) {
    std::cout << "kytphone " << KYT_VERSION << "\n";
    return cKytPhone::kExitOk;
  }

  std::optional<std::ifstream> file;
  if (!options.commandFile.empty()) {
    file.emplace(options.commandFile);
    if (!*file) {
      std::cerr << "kytphone: cannot read " << options.commandFile << "\n";
      return cKytPhone::kExitBadLine;
    }
  }

  // A microphone file that is not there would only show when the first call opens the sound
  // device.
  for (const auto& [name, value] : options.pageAttributes) {
    if (name == "mic" && !std::ifstream(value)) {
      std::cerr << "kytphone: cannot read " << value << "\n";
      return cKytPhone::kExitBadLine;
    }
  }

  cNPHost host;
  std::string pluginPath =
      options.pluginPath.empty() ? cNPHost::FindPlugin(KYT_PLUGIN_PATH) : options.pluginPath;
  if (!host.Load(pluginPath)) {
    std::cerr << "kytphone: " << host.GetLastError() << "\n";
    return cKytPhone::kExitNoPlugin;
  }
  cKytPhone phone(&host, options.pageAttributes, std::cout, std::cerr);
  phone.SetKeepGoing(options.bKeepGoing);
  if (file) return phone.RunFile(*file);
  return phone.RunStdin(isatty(STDIN_FILENO) != 0);
}
