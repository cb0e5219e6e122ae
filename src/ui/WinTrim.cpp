#include "WinTrim.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "DialogPreview.h"
#include "PreviewTrackBar.h"
#include "RunText.h"
#include "WatermarkEditor.h"

namespace kavro {
namespace {

constexpr int StartWidth = 615;
constexpr int StartHeight = 435;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

} // namespace

TfrmTrim::TfrmTrim(TJobRow& row, const TWatermarkTools& tools, const std::wstring& libraryFolder,
                   QWidget* parent)
    : QDialog(parent), FRow(row), FLibraryFolder(libraryFolder), FCrop(row.Record) {
  setObjectName("frmTrim");
  setWindowTitle("Trim");
  resize(StartWidth, StartHeight);
  BuildLayout();
  FDrawing = TRowDrawing::ForPreview(row.Record, tools);
  FPreview->OnFrame = [this](TBitmap& frame, int64_t) {
    if (FEnded) return;
    FDrawing->Draw(frame);
    DrawCropRectangle(frame, FCrop.CropTop, FCrop.CropLeft, FCrop.CropBottom, FCrop.CropRight);
  };
}

TfrmTrim::~TfrmTrim() {
  FPreview->Stop(true);
}

bool TfrmTrim::Edit(QWidget* parent, TJobRow& row, const TWatermarkTools& tools,
                    const std::wstring& libraryFolder) {
  TfrmTrim dialog(row, tools, libraryFolder, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TfrmTrim::BuildLayout() {
  FPreview = new TDialogPreview("imgbtnPlay", "imgbtnpause", this);
  lblSourceName = new QLabel(this);
  lblSourceName->setObjectName("lblSourceName");
  const auto field = [this](const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setToolTip("(HH:MM:SS)");
    return edit;
  };
  const auto button = [this](const char* name, const char* caption) {
    auto* made = new QPushButton(caption, this);
    made->setObjectName(name);
    return made;
  };
  edtStart = field("edtStart");
  edtEnd = field("edtEnd");
  edtTrimLength = field("edtTrimLength");
  btnOk1 = button("btnOk1", "&Ok");
  btnOk2 = button("btnOk2", "&Ok");
  btnReset = button("btnReset", "&Reset");
  btnDefault = button("btnDefault", "&Default");
  btnOk = button("btnOk", "Ok");
  btnCancel = button("btnCancel", "Cancel");
  btnOk->setDefault(true);

  auto* marks = new QGridLayout;
  marks->addWidget(new QLabel("Set Start Time:", this), 0, 0);
  marks->addWidget(edtStart, 0, 1);
  marks->addWidget(new QLabel("(HH:MM:SS)", this), 0, 2);
  marks->addWidget(btnOk1, 0, 3);
  marks->addWidget(new QLabel("Set End Time:", this), 1, 0);
  marks->addWidget(edtEnd, 1, 1);
  marks->addWidget(new QLabel("(HH:MM:SS)", this), 1, 2);
  marks->addWidget(btnOk2, 1, 3);
  marks->addWidget(new QLabel("Trim Length:", this), 2, 0);
  marks->addWidget(edtTrimLength, 2, 1);
  marks->addWidget(new QLabel("(HH:MM:SS)", this), 2, 2);
  auto* source = new QHBoxLayout;
  source->addWidget(new QLabel("Source Name:", this));
  source->addWidget(lblSourceName, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnReset);
  buttons->addWidget(btnDefault);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FPreview, 1);
  layout->addLayout(source);
  layout->addLayout(marks);
  layout->addLayout(buttons);

  connect(btnOk1, &QPushButton::clicked, this, &TfrmTrim::btnOk1Click);
  connect(btnOk2, &QPushButton::clicked, this, &TfrmTrim::btnOk2Click);
  connect(btnReset, &QPushButton::clicked, this, &TfrmTrim::btnResetClick);
  connect(btnDefault, &QPushButton::clicked, this, &TfrmTrim::btnResetClick);
  connect(btnOk, &QPushButton::clicked, this, &TfrmTrim::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(FPreview, &TDialogPreview::Rewound, this, &TfrmTrim::FileEnded);
}

void TfrmTrim::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous() || FOpened) return;
  FOpened = true;
  OpenPreview();
}

void TfrmTrim::OpenPreview() {
  const std::string& source = FRow.Record.SourceFile;
  lblSourceName->setText(Text(ShortSourceLabel(source)));
  lblSourceName->setToolTip(Text(source));
  std::string error;
  if (!FPreview->Open(source, FLibraryFolder, error)) {
    lblSourceName->setText(Text(source + ": " + error));
    for (QPushButton* mark : {btnOk1, btnOk2})
      mark->setEnabled(false);
    return;
  }
  FEditor.Open(FRow.Record, FPreview->Duration());
  ShowMarks();
}

void TfrmTrim::ShowMarks() {
  edtStart->setText(Text(FEditor.StartText()));
  edtEnd->setText(Text(FEditor.EndText()));
  edtTrimLength->setText(Text(FEditor.LengthText()));
  TPreviewTrackBar& track = FPreview->TrackBar();
  const auto [start, end] = FEditor.Selection(track.maximum());
  track.SetSelection(start, end);
}

void TfrmTrim::FileEnded() {
  FEnded = true;
  FPreview->TrackBar().SetSelection(0, 0);
  for (const char* name : {"lblPTS", "lblLength"})
    if (auto* label = FPreview->findChild<QLabel*>(name)) label->setText("00:00:00");
}

void TfrmTrim::btnOk1Click() {
  if (FEditor.SetStart(FPreview->Player().CurrentPTS())) ShowMarks();
}

void TfrmTrim::btnOk2Click() {
  if (FEditor.SetEnd(FPreview->Player().CurrentPTS())) ShowMarks();
}

void TfrmTrim::btnResetClick() {
  FEditor.Reset();
  ShowMarks();
}

void TfrmTrim::btnOkClick() {
  const std::string column = FEditor.Store(FRow.Record);
  if (!column.empty()) FRow.TrimmedLength = column;
  accept();
}

void TfrmTrim::done(int result) {
  FPreview->Stop(true);
  QDialog::done(result);
}

} // namespace kavro
