#include "QtDialogs.h"

#include "Directory.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kavro {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace

void TQtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  const QMessageBox::Icon icon =
      caption == CaptionWarning || caption == CaptionInputError ? QMessageBox::Warning : QMessageBox::NoIcon;
  QMessageBox box(icon, Q(caption), Q(text), QMessageBox::Ok, FOwner);
  box.exec();
}

void TQtDialogs::ShowInformation(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Information, Q(caption), Q(text), QMessageBox::Ok, FOwner);
  box.exec();
}

bool TQtDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No, FOwner);
  return box.exec() == QMessageBox::Yes;
}

void TQtDialogs::Beep() {
  QApplication::beep();
}

std::string TQtDialogs::FilterText(const std::vector<TFileFilter>& filters) {
  // A file dialog takes the patterns in brackets after the description, separated by spaces; Linux file
  // names keep their case, so every pattern is offered in lower and upper case.
  std::string text;
  for (const TFileFilter& filter : filters) {
    if (!text.empty()) text += ";;";
    QStringList patterns;
    for (const QString& pattern : Q(filter.Patterns).split(';', Qt::SkipEmptyParts)) {
      if (pattern == "*.*") {
        patterns << "*";
        continue;
      }
      for (const QString& spelling : {pattern.toLower(), pattern.toUpper()})
        if (!patterns.contains(spelling)) patterns << spelling;
    }
    text += filter.Description + " (" + patterns.join(' ').toStdString() + ")";
  }
  return text;
}

std::vector<std::string> TQtDialogs::AskOpenFiles(const std::vector<TFileFilter>& filters) {
  QFileDialog dialog(FOwner);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(Q(FilterText(filters)).split(";;"));
  dialog.setSizeGripEnabled(true);
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& file : dialog.selectedFiles())
    files.push_back(file.toStdString());
  return files;
}

std::optional<std::string> TQtDialogs::AskSaveFile(const std::vector<TFileFilter>& filters,
                                                   const std::string& suggestedName) {
  QFileDialog dialog(FOwner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(Q(FilterText(filters)).split(";;"));
  dialog.selectFile(Q(suggestedName));
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> TQtDialogs::AskFolder(const std::string& startFolder) {
  return TfmDirectory::Pick(*this, FTitle, startFolder, FOwner);
}

} // namespace kavro
