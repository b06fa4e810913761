#pragma once

#include <deque>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "host/cNPPage.h"
#include "util/cKytNoCopy.h"

class cNPHost;
class cScriptLine;

// The console phone: a page without a browser. Each script line calls one plug-in function and
// prints its answer as "=> <JSON>"; every event prints as "@<EventName> <JSON array>".
class cKytPhone : private cKytNoCopy {
 public:
  struct cOptions {
    std::string pluginPath;   // empty: the plug-in built beside this program
    std::string commandFile;  // empty: standard input
    bool bHelp = false;
    bool bVersion = false;
    // A bad line in a file is reported and the rest still runs.
    bool bKeepGoing = false;
    // Attributes of the embedding element, passed to the plug-in when the page is made (device
    // choices go here).
    cNPPage::tAttributes pageAttributes;
  };

  // Exit codes.
  enum eExit : int { kExitOk = 0, kExitWaitTimedOut = 1, kExitBadLine = 2, kExitNoPlugin = 3 };

  static bool ParseOptions(const std::vector<std::string>& args, cOptions* options,
                           std::string* error);
  static std::string HelpText();

  // The seconds a wait without its own time-out gives its event.
  static constexpr double kDefaultWaitSeconds = 30;

  cKytPhone(cNPHost* pHost, const cNPPage::tAttributes& pageAttributes, std::ostream& out,
            std::ostream& err);

  // Runs a script to its end or to quit. bInteractive: a person types (prompt, errors do not end
  // the run); otherwise a bad line or a wait that times out ends it with its exit code.
  int RunFile(std::istream& in);
  // Standard input; read on a thread of its own so the user agent keeps running between lines.
  int RunStdin(bool bInteractive);
  // One line; answers an exit code when the run should end, -1 to go on.
  int RunLine(const std::string& line, int nLineNo, bool bInteractive);

  cNPPage& GetPage() { return m_Page; }
  void SetKeepGoing(bool bKeepGoing) { m_bKeepGoing = bKeepGoing; }

 private:
  void OnEvent(const std::string& name, const cNPPage::tArgs& args);
  int RunCall(const cScriptLine& line, int nLineNo, bool bInteractive);
  int RunWait(const cScriptLine& line, int nLineNo, bool bInteractive);
  int Problem(int nLineNo, const std::string& text, int nExitCode, bool bInteractive);
  // The exit code of a run that ends: a session left up by a failed script is closed first.
  int Finish(int nExitCode);

  cNPHost* m_pHost;
  std::ostream& m_Out;
  std::ostream& m_Err;
  cNPPage m_Page;
  // Arguments of each firing not yet taken by a wait, the latest kMaxPending per event name.
  std::map<std::string, std::deque<cNPPage::tArgs>> m_Pending;
  static constexpr size_t kMaxPending = 64;
  // What $1, $2, ... stand for: the arguments of the firing the last wait took.
  cNPPage::tArgs m_LastEventArgs;
  bool m_bKeepGoing = false;
  int m_nFirstProblem = kExitOk;
};
