#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "encrypt/cEncryptCommandLine.h"
#include "encrypt/cEncryptDlg.h"

int main(int argc, char** argv) {
  const cEncryptCommandLine commandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (commandLine.GetMode() != cEncryptCommandLine::MODE_DIALOG) {
    return commandLine.Run(std::cin, std::cout, std::cerr);
  }
  // Qt removes the options it understands from argc and argv; anything left is not ours either.
  QApplication app(argc, argv);
  if (argc > 1) {
    cEncryptCommandLine::ReportUsageError(std::cerr, std::string("unknown argument ") + argv[1]);
    return cEncryptCommandLine::EXIT_USAGE;
  }
  cEncryptDlg dialog;
  dialog.exec();
  return cEncryptCommandLine::EXIT_OK;
}
