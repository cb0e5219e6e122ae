#include "WinFileInfo.h"

#include "platform/ProgramPaths.h"
#include "platform/WideString.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kavro {
namespace {

constexpr int SourceNameWidth = 270;

QLineEdit* AddEdit(QFormLayout* form, const char* caption, const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  form->addRow(new QLabel(caption, parent), edit);
  return edit;
}

QLabel* AddValue(QGridLayout* grid, int row, const char* caption, const char* name, QWidget* parent) {
  auto* value = new QLabel(parent);
  value->setObjectName(name);
  grid->addWidget(new QLabel(caption, parent), row, 0);
  grid->addWidget(value, row, 1);
  return value;
}

} // namespace

TfrmFileInfo::TfrmFileInfo(QWidget* parent) : QDialog(parent) {
  setObjectName("frmFileInfo");
  setWindowTitle("File infomation");
  setModal(true);
  BuildLayout();
  resize(420, 460);
  connect(btn1, &QPushButton::clicked, this, &TfrmFileInfo::accept);
}

void TfrmFileInfo::BuildLayout() {
  auto* names = new QGridLayout;
  lblSourceName = AddValue(names, 0, "File Name:", "lblSourceName", this);
  lblSourceName->setMinimumWidth(SourceNameWidth);
  lblFileLength = AddValue(names, 1, "Duration:", "lblFileLength", this);
  names->setColumnStretch(1, 1);

  // The container's format sits at the head of the video group, as the window has always shown it,
  // though it describes the whole file.
  auto* video = new QGroupBox("Video ", this);
  auto* videoForm = new QFormLayout(video);
  edtFormat = AddEdit(videoForm, "Format:", "edtFormat", video);
  edtResloution = AddEdit(videoForm, "Resloution:", "edtResloution", video);
  edtFrameRate = AddEdit(videoForm, "Frame Rate:", "edtFrameRate", video);
  edtTotalFrame = AddEdit(videoForm, "Total Frame:", "edtTotalFrame", video);
  edtBitRate = AddEdit(videoForm, "Bit Rate:", "edtBitRate", video);

  auto* audio = new QGroupBox("Audio", this);
  auto* audioForm = new QFormLayout(audio);
  edtAudioForamt = AddEdit(audioForm, "Format:", "edtAudioForamt", audio);
  edtSampleRate = AddEdit(audioForm, "Sample Rate:", "edtSampleRate", audio);
  edtChannel = AddEdit(audioForm, "Channel:", "edtChannel", audio);
  edtAudioBitRate = AddEdit(audioForm, "Bit Rate:", "edtAudioBitRate", audio);

  btn1 = new QPushButton("&Ok", this);
  btn1->setObjectName("btn1");
  btn1->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btn1);

  // The two groups' edits line up under each other.
  int captionWidth = 0;
  for (QFormLayout* form : {videoForm, audioForm})
    for (int row = 0; row < form->rowCount(); ++row)
      captionWidth = std::max(captionWidth, form->itemAt(row, QFormLayout::LabelRole)->sizeHint().width());
  for (QFormLayout* form : {videoForm, audioForm})
    for (int row = 0; row < form->rowCount(); ++row)
      form->itemAt(row, QFormLayout::LabelRole)->widget()->setMinimumWidth(captionWidth);
  btn1->setFocus();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(names);
  layout->addWidget(video);
  layout->addWidget(audio);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

bool TfrmFileInfo::Load(const std::string& sourceFile) {
  ShowInfo(TFileInfo());
  FInfo = TFileInfo();
  FLastErrMsg.clear();
  if (!CCAVC.LoadAVLib(NarrowToWide(ProgramFolder() + "LibAV"))) {
    FLastErrMsg = CCAVC.LastErrMsg();
    return false;
  }
  FInfo = ProbeFileInfo(CCAVC, sourceFile, FLastErrMsg);
  if (!FInfo.Found) return false;
  ShowInfo(FInfo);
  lblSourceName->setToolTip(QString::fromStdString(sourceFile));
  return true;
}

int TfrmFileInfo::ShowFor(const std::string& sourceFile) {
  Load(sourceFile);
  return exec();
}

void TfrmFileInfo::ShowInfo(const TFileInfo& info) {
  lblSourceName->setText(QString::fromStdString(info.SourceName));
  lblSourceName->setToolTip(QString());
  lblFileLength->setText(QString::fromStdString(info.Duration));
  const std::pair<QLineEdit*, const std::string*> fields[] = {{edtFormat, &info.Format},
                                                              {edtResloution, &info.Resolution},
                                                              {edtFrameRate, &info.FrameRate},
                                                              {edtTotalFrame, &info.TotalFrame},
                                                              {edtBitRate, &info.BitRate},
                                                              {edtAudioForamt, &info.AudioFormat},
                                                              {edtSampleRate, &info.SampleRate},
                                                              {edtChannel, &info.Channel},
                                                              {edtAudioBitRate, &info.AudioBitRate}};
  for (const auto& [edit, text] : fields) {
    edit->setText(QString::fromStdString(*text));
    edit->setCursorPosition(0);
  }
}

void TfrmFileInfo::done(int result) {
  // The task holds the file open; it has no use once the window is closed.
  CCAVC.ClearTasks();
  QDialog::done(result);
}

} // namespace kavro
