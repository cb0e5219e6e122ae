#include "WinWaterMark.h"

#include "ArrowSpinBox.h"
#include "DialogPreview.h"
#include "QtTextDrawer.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kavro {
namespace {

constexpr int StartWidth = 786;
constexpr int StartHeight = 605;

struct TNamedColour {
  const char* Name;
  uint32_t Colour; // 0x00BBGGRR
};

// The classic sixteen colours, in the order colour boxes have always listed them.
constexpr TNamedColour NamedColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};
constexpr const char* CustomColourItem = "Custom...";

QColor ToQColor(uint32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

uint32_t FromQColor(const QColor& colour) {
  return static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8 |
         static_cast<uint32_t>(colour.blue()) << 16;
}

QIcon Swatch(uint32_t colour) {
  QPixmap pixmap(16, 12);
  pixmap.fill(ToQColor(colour));
  return QIcon(pixmap);
}

template <typename TWidget> TWidget* Named(TWidget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QSlider* MakeSlider(QWidget* parent, const char* name, int minimum, int maximum) {
  auto* slider = Named(new QSlider(Qt::Horizontal, parent), name);
  slider->setRange(minimum, maximum);
  return slider;
}

QLineEdit* MakeMirror(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit("0", parent), name);
  edit->setReadOnly(true);
  edit->setFixedWidth(44);
  edit->setAlignment(Qt::AlignRight);
  return edit;
}

void AddSliderRow(QGridLayout* grid, int row, const char* caption, QSlider* slider, QWidget* mirror,
                  const char* unit) {
  grid->addWidget(new QLabel(caption, slider->parentWidget()), row, 0, 1, 3);
  grid->addWidget(slider, row + 1, 0);
  grid->addWidget(mirror, row + 1, 1);
  if (unit) grid->addWidget(new QLabel(unit, slider->parentWidget()), row + 1, 2);
}

} // namespace

TfrmWaterMark::TfrmWaterMark(TlvFilesRecord& row, TAppDialogs& dialogs, const TWatermarkTools& tools,
                             const std::wstring& libraryFolder, QWidget* parent)
    : QDialog(parent), FRow(row), FDialogs(dialogs), FLibraryFolder(libraryFolder), FEditor(tools) {
  setObjectName("frmWaterMark");
  setModal(true);
  BuildLayout();
  resize(StartWidth, StartHeight);
  // A row without text starts from the desktop's own sans-serif face rather than whatever face sorts
  // first in the list.
  FLoadError = FEditor.Load(row, TQtTextDrawer::FontFor(TMarkFont{}).family().toStdString());
  setWindowTitle(QString::fromStdString(WatermarkCaption(row.SourceFile)));
  ShowEditor();
  Connect();
  FPreview->OnFrame = [this](TBitmap& frame, int64_t) { FEditor.DrawFrame(frame); };
}

TfrmWaterMark::~TfrmWaterMark() {
  // The preview's hook draws with the editor, which goes before the preview's widget would.
  FPreview->Stop(true);
}

bool TfrmWaterMark::Edit(QWidget* parent, TlvFilesRecord& row, TAppDialogs& dialogs,
                         const TWatermarkTools& tools, const std::wstring& libraryFolder) {
  TfrmWaterMark dialog(row, dialogs, tools, libraryFolder, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TfrmWaterMark::BuildTextPage(QWidget* page) {
  edtFont = Named(new QLineEdit(page), "edtFont");
  suiFontCmb = Named(new QFontComboBox(page), "suiFontCmb");
  suiFontSizeCmb = Named(new QComboBox(page), "suiFontSizeCmb");
  for (int size = FirstFontSize; size <= LastFontSize; ++size)
    suiFontSizeCmb->addItem(QString::number(size));
  suiColorBoxcmb = Named(new QComboBox(page), "suiColorBoxcmb");
  for (const TNamedColour& named : NamedColours)
    suiColorBoxcmb->addItem(Swatch(named.Colour), named.Name, named.Colour);
  suiColorBoxcmb->addItem(CustomColourItem);
  suiChkBold = Named(new QCheckBox("Bold", page), "suiChkBold");
  suiChkItalic = Named(new QCheckBox("Italic", page), "suiChkItalic");
  suiChkUnderline = Named(new QCheckBox("Underline", page), "suiChkUnderline");
  suiChkStrikeOut = Named(new QCheckBox("StrikeOut", page), "suiChkStrikeOut");
  trcTextHoriz = MakeSlider(page, "trcTextHoriz", 0, 100);
  trcTextVert = MakeSlider(page, "trcTextVert", 0, 100);
  edtTextHoriz = MakeMirror(page, "edtTextHoriz");
  edtTextVert = MakeMirror(page, "edtTextVert");
  btnClearText = Named(new QPushButton("Clear Text", page), "btnClearText");

  auto* font = new QGridLayout;
  font->addWidget(new QLabel("Font:", page), 0, 0);
  font->addWidget(suiFontCmb, 0, 1, 1, 3);
  font->addWidget(new QLabel("Size:", page), 1, 0);
  font->addWidget(suiFontSizeCmb, 1, 1);
  font->addWidget(new QLabel("Color:", page), 1, 2);
  font->addWidget(suiColorBoxcmb, 1, 3);
  font->setColumnStretch(3, 1);
  auto* styles = new QGridLayout;
  styles->addWidget(suiChkBold, 0, 0);
  styles->addWidget(suiChkItalic, 0, 1);
  styles->addWidget(suiChkUnderline, 1, 0);
  styles->addWidget(suiChkStrikeOut, 1, 1);
  auto* positions = new QGridLayout;
  AddSliderRow(positions, 0, "Horizontal Position:", trcTextHoriz, edtTextHoriz, "%");
  AddSliderRow(positions, 2, "Vertical Position:", trcTextVert, edtTextVert, "%");
  auto* clear = new QHBoxLayout;
  clear->addStretch(1);
  clear->addWidget(btnClearText);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel("Text:", page));
  layout->addWidget(edtFont);
  layout->addLayout(font);
  layout->addLayout(styles);
  layout->addLayout(positions);
  layout->addStretch(1);
  layout->addLayout(clear);
}

void TfrmWaterMark::BuildImagePage(QWidget* page) {
  edtAddImage = Named(new QLineEdit(page), "edtAddImage");
  // The picture is read when it is chosen, so the path comes from Brows only.
  edtAddImage->setReadOnly(true);
  btnBrows = Named(new QPushButton("&Brows", page), "btnBrows");
  trcImageHoriz = MakeSlider(page, "trcImageHoriz", 0, 100);
  trcImageVert = MakeSlider(page, "trcImageVert", 0, 100);
  trcImageAlpha = MakeSlider(page, "trcImageAlpha", 0, 255);
  edtImageHoriz = MakeMirror(page, "edtImageHoriz");
  edtImageVert = MakeMirror(page, "edtImageVert");
  edtImageAlpha = MakeMirror(page, "edtImageAlpha");
  rbTransparent1 = Named(new QRadioButton("Transparent style 1", page), "rbTransparent1");
  rbTransparent2 = Named(new QRadioButton("Transparent style 2", page), "rbTransparent2");
  btnClearImage = Named(new QPushButton("Clear Image", page), "btnClearImage");

  auto* path = new QHBoxLayout;
  path->addWidget(edtAddImage, 1);
  path->addWidget(btnBrows);
  auto* sliders = new QGridLayout;
  AddSliderRow(sliders, 0, "Horizontal Position:", trcImageHoriz, edtImageHoriz, "%");
  AddSliderRow(sliders, 2, "Vertical Position:", trcImageVert, edtImageVert, "%");
  AddSliderRow(sliders, 4, "Transparency:", trcImageAlpha, edtImageAlpha, nullptr);
  auto* clear = new QHBoxLayout;
  clear->addStretch(1);
  clear->addWidget(btnClearImage);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel("Image:", page));
  layout->addLayout(path);
  layout->addLayout(sliders);
  layout->addWidget(rbTransparent1);
  layout->addWidget(rbTransparent2);
  layout->addStretch(1);
  layout->addLayout(clear);
}

void TfrmWaterMark::BuildEffectPage(QWidget* page) {
  trcBrightness = MakeSlider(page, "trcBrightness", 0, 512);
  trcContrast = MakeSlider(page, "trcContrast", -100, 100);
  trcSaturation = MakeSlider(page, "trcSaturation", 0, 512);
  trcExposure = MakeSlider(page, "trcExposure", -255, 512);
  spedtBrightness = MakeArrowSpinBox(page, "spedtBrightness", 0, 512);
  spedtContrast = MakeArrowSpinBox(page, "spedtContrast", -100, 100);
  spedtSaturation = MakeArrowSpinBox(page, "spedtSaturation", 0, 512);
  spedtExposure = MakeArrowSpinBox(page, "spedtExposure", -255, 512);
  chkProcessText = Named(new QCheckBox("Process  Added Text", page), "chkProcessText");
  chkProcessImage = Named(new QCheckBox("Process  Added Image", page), "chkProcessImage");
  btnReset = Named(new QPushButton("Reset", page), "btnReset");

  auto* sliders = new QGridLayout;
  AddSliderRow(sliders, 0, "Brightness:", trcBrightness, spedtBrightness, nullptr);
  AddSliderRow(sliders, 2, "Contrast:", trcContrast, spedtContrast, nullptr);
  AddSliderRow(sliders, 4, "Saturation:", trcSaturation, spedtSaturation, nullptr);
  AddSliderRow(sliders, 6, "Exposure:", trcExposure, spedtExposure, nullptr);
  auto* reset = new QHBoxLayout;
  reset->addStretch(1);
  reset->addWidget(btnReset);

  auto* layout = new QVBoxLayout(page);
  layout->addLayout(sliders);
  layout->addWidget(chkProcessText);
  layout->addWidget(chkProcessImage);
  layout->addStretch(1);
  layout->addLayout(reset);
}

void TfrmWaterMark::BuildLayout() {
  pgcWaterMark = Named(new QTabWidget(this), "pgcWaterMark");
  auto* textPage = Named(new QWidget(pgcWaterMark), "tsAddText");
  auto* imagePage = Named(new QWidget(pgcWaterMark), "tsAddImage");
  auto* effectPage = Named(new QWidget(pgcWaterMark), "tsEffect");
  BuildTextPage(textPage);
  BuildImagePage(imagePage);
  BuildEffectPage(effectPage);
  pgcWaterMark->addTab(textPage, "Add Text");
  pgcWaterMark->addTab(imagePage, "Add Image");
  pgcWaterMark->addTab(effectPage, "Effect");
  pgcWaterMark->setCurrentWidget(imagePage);
  pgcWaterMark->setFixedWidth(320);

  auto* group = Named(new QGroupBox("Source Preview", this), "grpSourcePreview");
  FPreview = Named(new TDialogPreview("spdBtnPlay", "spdBtnPause", group), "FPreview");
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(FPreview);

  btnOk = Named(new QPushButton("&Ok", this), "btnOk");
  btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel");
  btnOk->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);

  auto* top = new QHBoxLayout;
  top->addWidget(pgcWaterMark);
  top->addWidget(group, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
}

void TfrmWaterMark::Connect() {
  connect(edtFont, &QLineEdit::textChanged, this, [this] { edtFontChange(); });
  connect(suiFontCmb, &QFontComboBox::currentFontChanged, this, [this] { FontControlsChange(true); });
  connect(suiFontSizeCmb, &QComboBox::currentIndexChanged, this, [this] { FontControlsChange(false); });
  connect(suiColorBoxcmb, &QComboBox::activated, this, [this](int index) { suiColorBoxcmbChange(index); });
  for (QCheckBox* style : {suiChkBold, suiChkItalic, suiChkUnderline, suiChkStrikeOut})
    connect(style, &QCheckBox::toggled, this, [this] { FontControlsChange(false); });

  const auto mirror = [this](QSlider* slider, QLineEdit* edit, void (TfrmWaterMark::*change)()) {
    connect(slider, &QSlider::valueChanged, this, [this, edit, change](int value) {
      edit->setText(QString::number(value));
      (this->*change)();
    });
  };
  mirror(trcTextHoriz, edtTextHoriz, &TfrmWaterMark::TextSliderChange);
  mirror(trcTextVert, edtTextVert, &TfrmWaterMark::TextSliderChange);
  mirror(trcImageHoriz, edtImageHoriz, &TfrmWaterMark::ImageSliderChange);
  mirror(trcImageVert, edtImageVert, &TfrmWaterMark::ImageSliderChange);
  mirror(trcImageAlpha, edtImageAlpha, &TfrmWaterMark::ImageSliderChange);
  connect(rbTransparent1, &QRadioButton::toggled, this, [this] { ImageSliderChange(); });

  for (auto [slider, spin] :
       {std::pair{trcBrightness, spedtBrightness}, std::pair{trcContrast, spedtContrast},
        std::pair{trcSaturation, spedtSaturation}, std::pair{trcExposure, spedtExposure}}) {
    connect(spin, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
    connect(slider, &QSlider::valueChanged, this, [this] { EffectSliderChange(); });
  }
  connect(chkProcessText, &QCheckBox::toggled, this, [this] { EffectSliderChange(); });
  connect(chkProcessImage, &QCheckBox::toggled, this, [this] { EffectSliderChange(); });

  // The edit is narrow: the whole path shows as its hint.
  connect(edtAddImage, &QLineEdit::textChanged, edtAddImage, &QLineEdit::setToolTip);
  connect(btnBrows, &QPushButton::clicked, this, &TfrmWaterMark::btnBrowsClick);
  connect(btnClearText, &QPushButton::clicked, this, &TfrmWaterMark::btnClearTextClick);
  connect(btnClearImage, &QPushButton::clicked, this, &TfrmWaterMark::btnClearImageClick);
  connect(btnReset, &QPushButton::clicked, this, &TfrmWaterMark::btnResetClick);
  connect(btnOk, &QPushButton::clicked, this, &TfrmWaterMark::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmWaterMark::reject);
}

void TfrmWaterMark::ShowEditor() {
  FShowing = true;
  const TMarkFont& font = FEditor.Font();
  edtFont->setText(QString::fromStdString(FEditor.Text()));
  suiFontCmb->setCurrentFont(QFont(QString::fromStdString(font.Name)));
  suiFontSizeCmb->setCurrentText(QString::number(font.Size));
  SelectColour(font.Color);
  suiChkBold->setChecked(font.Bold);
  suiChkItalic->setChecked(font.Italic);
  suiChkUnderline->setChecked(font.Underline);
  suiChkStrikeOut->setChecked(font.StrikeOut);
  const auto setSlider = [](QSlider* slider, QLineEdit* edit, int value) {
    slider->setValue(value);
    edit->setText(QString::number(value));
  };
  setSlider(trcTextHoriz, edtTextHoriz, FEditor.TextHorz());
  setSlider(trcTextVert, edtTextVert, FEditor.TextVert());
  edtAddImage->setText(QString::fromStdString(FEditor.ImagePath()));
  edtAddImage->setToolTip(edtAddImage->text());
  setSlider(trcImageHoriz, edtImageHoriz, FEditor.ImageHorz());
  setSlider(trcImageVert, edtImageVert, FEditor.ImageVert());
  setSlider(trcImageAlpha, edtImageAlpha, FEditor.ImageAlpha());
  rbTransparent1->setChecked(FEditor.TransparentStyle() == 1);
  rbTransparent2->setChecked(FEditor.TransparentStyle() != 1);
  const TEffectValues& effects = FEditor.Effects();
  trcBrightness->setValue(effects.Brightness);
  trcContrast->setValue(effects.Contrast);
  trcSaturation->setValue(effects.Saturation);
  trcExposure->setValue(effects.Exposure);
  spedtBrightness->setValue(effects.Brightness);
  spedtContrast->setValue(effects.Contrast);
  spedtSaturation->setValue(effects.Saturation);
  spedtExposure->setValue(effects.Exposure);
  chkProcessText->setChecked(FEditor.ProcessText());
  chkProcessImage->setChecked(FEditor.ProcessImage());
  FShowing = false;
  ShowFont();
  ShowEnabling();
}

void TfrmWaterMark::ShowEnabling() {
  const bool text = FEditor.TextSlidersEnabled();
  for (QWidget* widget : {static_cast<QWidget*>(trcTextHoriz), static_cast<QWidget*>(trcTextVert)})
    widget->setEnabled(text);
  const bool image = FEditor.ImageSlidersEnabled();
  for (QWidget* widget : {trcImageHoriz, trcImageVert, trcImageAlpha})
    widget->setEnabled(image);
}

// The text shows in its face, style and colour; its size stays the edit's, so large sizes fit.
void TfrmWaterMark::ShowFont() {
  const TMarkFont& font = FEditor.Font();
  QFont shown = edtFont->font();
  shown.setFamily(QString::fromStdString(font.Name));
  shown.setBold(font.Bold);
  shown.setItalic(font.Italic);
  shown.setUnderline(font.Underline);
  shown.setStrikeOut(font.StrikeOut);
  edtFont->setFont(shown);
  QPalette palette = edtFont->palette();
  palette.setColor(QPalette::Text, ToQColor(font.Color));
  edtFont->setPalette(palette);
}

void TfrmWaterMark::SelectColour(uint32_t colour) {
  for (int index = 0; index < suiColorBoxcmb->count(); ++index) {
    const QVariant data = suiColorBoxcmb->itemData(index);
    if (data.isValid() && data.toUInt() == colour) {
      suiColorBoxcmb->setCurrentIndex(index);
      FColourIndex = index;
      return;
    }
  }
  // A colour of its own gets an entry of its own, just before "Custom...".
  const int index = suiColorBoxcmb->count() - 1;
  const QString name = ToQColor(colour).name().toUpper();
  suiColorBoxcmb->insertItem(index, Swatch(colour), name, colour);
  suiColorBoxcmb->setCurrentIndex(index);
  FColourIndex = index;
}

uint32_t TfrmWaterMark::SelectedColour() const {
  return suiColorBoxcmb->itemData(FColourIndex).toUInt();
}

void TfrmWaterMark::edtFontChange() {
  if (FShowing) return;
  FEditor.SetText(edtFont->text().toStdString());
  ShowEnabling();
}

void TfrmWaterMark::FontControlsChange(bool faceChanged) {
  if (FShowing) return;
  TMarkFont font = FEditor.Font();
  // Only a face the user picks replaces the row's, which may name a font this system lacks.
  if (faceChanged) font.Name = suiFontCmb->currentFont().family().toStdString();
  font.Size = suiFontSizeCmb->currentText().toInt();
  if (font.Size <= 0) font.Size = FirstFontSize;
  font.Color = SelectedColour();
  font.Bold = suiChkBold->isChecked();
  font.Italic = suiChkItalic->isChecked();
  font.Underline = suiChkUnderline->isChecked();
  font.StrikeOut = suiChkStrikeOut->isChecked();
  FEditor.SetFont(font);
  ShowFont();
}

void TfrmWaterMark::suiColorBoxcmbChange(int index) {
  if (!suiColorBoxcmb->itemData(index).isValid()) {
    const QColor chosen = QColorDialog::getColor(ToQColor(SelectedColour()), this, "Color");
    if (!chosen.isValid()) {
      suiColorBoxcmb->setCurrentIndex(FColourIndex);
      return;
    }
    SelectColour(FromQColor(chosen));
  } else {
    FColourIndex = index;
  }
  FontControlsChange(false);
}

void TfrmWaterMark::TextSliderChange() {
  if (FShowing) return;
  FEditor.SetTextPosition(trcTextHoriz->value(), trcTextVert->value());
}

void TfrmWaterMark::ImageSliderChange() {
  if (FShowing) return;
  FEditor.SetImagePosition(trcImageHoriz->value(), trcImageVert->value());
  FEditor.SetImageAlpha(trcImageAlpha->value());
  FEditor.SetTransparentStyle(rbTransparent1->isChecked() ? 1 : 2);
}

void TfrmWaterMark::EffectSliderChange() {
  if (FShowing) return;
  FEditor.SetEffects(
      {trcBrightness->value(), trcContrast->value(), trcSaturation->value(), trcExposure->value()});
  FEditor.SetProcess(chkProcessText->isChecked(), chkProcessImage->isChecked());
}

void TfrmWaterMark::btnBrowsClick() {
  const std::vector<std::string> files = FDialogs.AskOpenFiles(
      {{"Bitmap files (*.bmp)", "*.bmp;*.BMP"},
       {"Pictures (*.bmp *.png *.jpg *.jpeg)", "*.bmp;*.png;*.jpg;*.jpeg;*.BMP;*.PNG;*.JPG;*.JPEG"}});
  if (files.empty()) return;
  std::string error;
  if (!FEditor.SetImage(files.front(), error)) {
    FDialogs.ShowMessage(error, CaptionWarning);
    return;
  }
  edtAddImage->setText(QString::fromStdString(FEditor.ImagePath()));
  ShowEnabling();
}

void TfrmWaterMark::btnClearTextClick() {
  FEditor.ClearText();
  ShowEditor();
}

void TfrmWaterMark::btnClearImageClick() {
  FEditor.ClearImage();
  ShowEditor();
}

void TfrmWaterMark::btnResetClick() {
  FEditor.ResetEffects();
  ShowEditor();
}

void TfrmWaterMark::btnOkClick() {
  // The hook stops first: the positions stored are those of the last picture drawn.
  FPreview->Stop(true);
  FEditor.Store(FRow);
  accept();
}

void TfrmWaterMark::done(int result) {
  FPreview->Stop(true);
  QDialog::done(result);
}

void TfrmWaterMark::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (FOpened) return;
  FOpened = true;
  // Once the window is laid out, so the picture area has its size when the file opens.
  QTimer::singleShot(0, this, [this] { OpenPreview(); });
}

void TfrmWaterMark::OpenPreview() {
  if (!isVisible()) return;
  if (!FLoadError.empty()) FDialogs.ShowMessage(FLoadError, CaptionWarning);
  std::string error;
  if (!FRow.SourceFile.empty() && !FPreview->Open(FRow.SourceFile, FLibraryFolder, error))
    FDialogs.ShowMessage("Cannot play " + FRow.SourceFile + ": " + error, CaptionWarning);
}

} // namespace kavro
