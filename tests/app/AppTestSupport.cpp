#include "AppTestSupport.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kavro::test {

void TScriptedDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  Messages.push_back({text, caption});
}

bool TScriptedDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  Questions.push_back({text, caption});
  if (Answers.empty()) return DefaultAnswer;
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

std::vector<std::string> TScriptedDialogs::AskOpenFiles(const std::vector<TFileFilter>& filters) {
  LastFilters = filters;
  if (OpenAnswers.empty()) return {};
  std::vector<std::string> answer = std::move(OpenAnswers.front());
  OpenAnswers.pop_front();
  return answer;
}

std::optional<std::string> TScriptedDialogs::AskFolder(const std::string& startFolder) {
  FolderStarts.push_back(startFolder);
  if (FolderAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(FolderAnswers.front());
  FolderAnswers.pop_front();
  return answer;
}

std::optional<std::string> TScriptedDialogs::AskSaveFile(const std::vector<TFileFilter>& filters,
                                                         const std::string& suggestedName) {
  LastFilters = filters;
  SaveSuggestions.push_back(suggestedName);
  if (SaveAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(SaveAnswers.front());
  SaveAnswers.pop_front();
  return answer;
}

TScratchFolder::TScratchFolder(const std::string& name)
    : FPath(std::string(KAVRO_TEST_OUTPUT) + "app-" + name + "-" + std::to_string(getpid())) {
  std::filesystem::remove_all(FPath);
  std::filesystem::create_directories(FPath);
}

TScratchFolder::~TScratchFolder() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}

std::string TScratchFolder::File(const std::string& name) const {
  return FPath + "/" + name;
}

std::string TScratchFolder::Write(const std::string& name, const std::string& text) const {
  const std::string path = File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::string ReadText(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TReplaceCounter::TReplaceCounter(const std::string& folder, const std::string& fileName)
    : FInotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), FFileName(fileName) {
  // The creations of the temporary files keep the kernel from merging one rename with the next.
  if (FInotify >= 0) inotify_add_watch(FInotify, folder.c_str(), IN_MOVED_TO | IN_CREATE);
}

TReplaceCounter::~TReplaceCounter() {
  if (FInotify >= 0) close(FInotify);
}

int TReplaceCounter::Count() {
  if (FInotify < 0) return -1;
  alignas(inotify_event) char buffer[4096];
  ssize_t size;
  while ((size = read(FInotify, buffer, sizeof buffer)) > 0)
    for (ssize_t at = 0; at < size;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if ((event->mask & IN_MOVED_TO) && event->len > 0 && FFileName == event->name) ++FCount;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  return FCount;
}

} // namespace kavro::test
