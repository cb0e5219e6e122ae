#include "AppTestSupport.h"

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

} // namespace kavro::test
