// kytbridge: the web bridge. See cBridgeOptions::HelpText for what it serves.

#include <csignal>
#include <fstream>
#include <iostream>
#include <thread>

#include "bridge/cBridgeOptions.h"
#include "bridge/cBridgeServer.h"
#include "host/cNPHost.h"

int main(int argc, char** argv) {
  cBridgeOptions options;
  std::string error;
  if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), &error)) {
    std::cerr << "kytbridge: " << error << "\n(kytbridge --help tells how to use it)\n";
    return 2;
  }
  if (options.bHelp) {
    std::cout << cBridgeOptions::HelpText();
    return 0;
  }
  if (options.bVersion) {
    std::cout << "kytbridge " << KYT_VERSION << "\n";
    return 0;
  }
  // The user service is started without arguments: its origins come from the user's file.
  if (options.allowOrigins.empty()) {
    const std::string path = cBridgeOptions::ConfigPath();
    std::ifstream config(path);
    if (config && !options.ReadOrigins(config, &error)) {
      std::cerr << "kytbridge: " << path << ": " << error << "\n";
      return 2;
    }
  }

  // A page that goes away mid-answer must not end the bridge.
  signal(SIGPIPE, SIG_IGN);
  // SIGINT and SIGTERM are taken by one thread of our own, before any other thread starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  cNPHost host;
  if (!host.Load(options.pluginPath.empty() ? cNPHost::FindPlugin(KYT_PLUGIN_PATH)
                                            : options.pluginPath)) {
    std::cerr << "kytbridge: " << host.GetLastError() << "\n";
    return 3;
  }
  cBridgeServer server(&host, options);
  if (!server.Start(&error)) {
    std::cerr << "kytbridge: " << error << "\n";
    return 1;
  }
  std::cout << "kytbridge: listening on http://127.0.0.1:" << server.GetPort() << "/" << std::endl;

  std::thread waiter([&host, signals] {
    int nSignal = 0;
    sigwait(&signals, &nSignal);
    host.GetMainLoop().Stop();
  });
  host.GetMainLoop().Run();
  server.Stop();
  waiter.join();
  std::cout << "kytbridge: stopped" << std::endl;
  return 0;
}
