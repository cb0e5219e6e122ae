// The windowed converter, built once per edition: the splash, the main window, and the files named on
// the command line added to the list.
#include "GlobalUnit.h"
#include "QtMainThread.h"
#include "WinCover.h"
#include "WinMain.h"
#include "platform/MainThread.h"
#include "platform/TextFile.h"

#include <QApplication>
#include <QMessageBox>

#include <SDL.h>

#include <clocale>

using namespace kavro;

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  QApplication application(argc, argv);
  // SDL belongs to the preview players: shut down after them, whatever way main ends.
  struct TSdlQuit {
    ~TSdlQuit() { SDL_Quit(); }
  } sdlQuit;
  const TGlobalObject global(BuildEdition);
  QApplication::setApplicationName(QString::fromStdString(global.Title()));
  InstallQtMainThread();

  TfrmCover cover(BuildEdition);
  cover.ShowForAWhile();
  QApplication::processEvents();

  // The settings and the format file are read again and again: a device, a pipe or a huge file is
  // refused before the first read. A settings file that does not exist yet is made on the first write.
  for (const std::string& file : {global.SettingsFile(), global.FormatFile()}) {
    std::string text;
    const TTextFileResult read = ReadTextFile(file, text);
    if (read != TTextFileResult::Read && read != TTextFileResult::Missing) {
      QMessageBox::critical(nullptr, QString::fromStdString(global.Title()),
                            QString::fromStdString(TextFileError(file, read)));
      return 1;
    }
  }

  int result = 0;
  {
    TfrmMain window(global);
    window.show();
    std::vector<std::string> files;
    for (const QString& argument : QApplication::arguments().mid(1))
      files.push_back(argument.toStdString());
    window.AddPaths(files);
    result = QApplication::exec();
  }
  TMainThread::Uninstall();
  return result;
}
