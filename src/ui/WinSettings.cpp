#include "WinSettings.h"

#include "FormatDropDown.h"
#include "ParameterPanelView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavro {

TfrmSettings::TfrmSettings(TEdition edition, TAppSettings& settings, const TIniFile& formats,
                           TAppDialogs& dialogs, QWidget* parent)
    : QDialog(parent), FEditor(edition, settings, formats, dialogs) {
  setObjectName(QStringLiteral("frmSettings"));
  setWindowTitle(QStringLiteral("Settings"));
  setModal(true);
  resize(475, 370);

  FEditor.Show();
  FPanel = new TParameterPanelView(FEditor, this);
  // The list lies over the panel, opening upwards from its field between the frames and the buttons.
  FDropDown = new TFormatDropDown(FEditor.Catalogue(), settings, this, this);
  FDropDown->Build();
  FDropDown->Field()->setText(QString::fromStdString(FEditor.FormatName()));
  FDropDown->Field()->setCursorPosition(0);
  connect(FDropDown, &TFormatDropDown::FormatChosen, this, &TfrmSettings::FormatChosen);
  if (auto* panelLayout = qobject_cast<QVBoxLayout*>(FPanel->layout())) {
    panelLayout->insertWidget(1, FDropDown);
    panelLayout->insertStretch(2);
  }
  // The form's width holds both frames side by side.
  for (int i = 0; i < PanelComboCount; ++i)
    FPanel->Combo(static_cast<TPanelCombo>(i))->setMinimumContentsLength(7);

  cbOutputFormat = new QComboBox(this);
  cbOutputFormat->setObjectName(QStringLiteral("cbOutputFormat"));
  cbOutputFormat->hide();

  btnOk = new QPushButton(QStringLiteral("&Ok"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  FPanel->ButtonRow()->addWidget(btnOk);
  FPanel->ButtonRow()->addWidget(btnCancel);
  connect(btnOk, &QPushButton::clicked, this, &TfrmSettings::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FPanel);
  FPanel->Refresh();
}

TfrmSettings::~TfrmSettings() {
  // The panel and the drop-down work on the editor's model, which goes before the dialog's children
  // would: focus leaving them while they are torn down must not reach a model that is gone.
  const QPointer<QWidget> dropDown(FDropDown);
  const QPointer<QWidget> panel(FPanel);
  delete dropDown.data();
  delete panel.data();
}

int TfrmSettings::ChosenCode() const {
  return FEditor.FormatCode();
}

std::string TfrmSettings::ChosenName() const {
  return FEditor.FormatName();
}

int TfrmSettings::OutputFormatIndex() const {
  return cbOutputFormat->currentIndex();
}

void TfrmSettings::FormatChosen(int code, const QString& name) {
  FEditor.ChooseFormat(code, name.toStdString());
  FPanel->Refresh();
}

void TfrmSettings::btnOkClick() {
  const bool stored = FEditor.Ok();
  FPanel->Refresh();
  if (stored) accept();
}

} // namespace kavro
