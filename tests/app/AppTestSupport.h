// Shared pieces of the application tests: a dialog stand-in that records what the user would have
// seen and answers from a script, and a scratch folder removed after the test.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "AppDialogs.h"
#include "ConversionRun.h"

namespace kavro::test {

class TScriptedDialogs : public TAppDialogs {
public:
  struct TShown {
    std::string Text;
    std::string Caption;
  };

  void ShowMessage(const std::string& text, const std::string& caption) override;
  // Answers from Answers in order, then DefaultAnswer.
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void Beep() override { ++Beeps; }
  // Answers from OpenAnswers / FolderAnswers in order, then nothing; the filters are kept.
  std::vector<std::string> AskOpenFiles(const std::vector<TFileFilter>& filters) override;
  std::optional<std::string> AskFolder(const std::string& startFolder) override;
  // Answers from SaveAnswers in order, then nothing; the suggested names are kept.
  std::optional<std::string> AskSaveFile(const std::vector<TFileFilter>& filters,
                                         const std::string& suggestedName) override;

  std::vector<TShown> Messages;
  std::vector<TShown> Questions;
  std::deque<bool> Answers;
  bool DefaultAnswer = true;
  int Beeps = 0;
  std::deque<std::vector<std::string>> OpenAnswers;
  std::vector<TFileFilter> LastFilters;
  std::deque<std::optional<std::string>> FolderAnswers;
  std::vector<std::string> FolderStarts;
  std::deque<std::optional<std::string>> SaveAnswers;
  std::vector<std::string> SaveSuggestions;
};

// Desktop actions recorded instead of run: nothing opens, nothing powers off.
class TRecordingDesktop : public TDesktop {
public:
  void OpenFolder(const std::string& folder) override { Opened.push_back(folder); }
  void PowerOff() override { ++PowerOffs; }
  void Notify(const std::string& summary, const std::string& body) override {
    Notifications.push_back(summary + ": " + body);
  }
  std::vector<std::string> Opened;
  int PowerOffs = 0;
  std::vector<std::string> Notifications;
};

// A fresh folder under the build tree's test output, removed with the object.
class TScratchFolder {
public:
  explicit TScratchFolder(const std::string& name);
  ~TScratchFolder();
  const std::string& Path() const { return FPath; }
  // Path() + "/" + name.
  std::string File(const std::string& name) const;
  // Writes text as a file in the folder and returns its path.
  std::string Write(const std::string& name, const std::string& text) const;

private:
  std::string FPath;
};

std::string ReadText(const std::string& fileName);

// Counts how often a file of a folder is replaced by a rename, from the moment it is made.
class TReplaceCounter {
public:
  TReplaceCounter(const std::string& folder, const std::string& fileName);
  ~TReplaceCounter();
  TReplaceCounter(const TReplaceCounter&) = delete;
  TReplaceCounter& operator=(const TReplaceCounter&) = delete;
  // The replacements seen so far.
  int Count();

private:
  int FInotify = -1;
  std::string FFileName;
  int FCount = 0;
};

} // namespace kavro::test
