// TfrmWaterMark: the watermark dialog. Three pages set a row's watermark text with its font, its
// watermark image with its place and transparency, and the colour effects, while the row's file plays
// in "Source Preview" with everything drawn on it live. Ok stores the result into the row, Cancel and
// closing store nothing; the player stops before the dialog goes. The rules live in
// TWatermarkEditor; this class binds the controls to it. GUI thread only.
#pragma once

#include "AppDialogs.h"
#include "JobRecord.h"
#include "WatermarkEditor.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace kavro {

class TDialogPreview;

class TfrmWaterMark : public QDialog {
  Q_OBJECT

public:
  TfrmWaterMark(TlvFilesRecord& row, TAppDialogs& dialogs, const TWatermarkTools& tools,
                const std::wstring& libraryFolder, QWidget* parent = nullptr);
  ~TfrmWaterMark() override;

  // Shows the dialog modally for the row; true when Ok stored the edits into it.
  static bool Edit(QWidget* parent, TlvFilesRecord& row, TAppDialogs& dialogs, const TWatermarkTools& tools,
                   const std::wstring& libraryFolder);

  const TWatermarkEditor& Editor() const { return FEditor; }
  TDialogPreview& Preview() { return *FPreview; }

  // Ok, Cancel and closing all end here: the player stops, waiting, before the dialog closes.
  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildTextPage(QWidget* page);
  void BuildImagePage(QWidget* page);
  void BuildEffectPage(QWidget* page);
  void BuildLayout();
  void Connect();
  void ShowEditor();
  void ShowEnabling();
  void ShowFont();
  void SelectColour(uint32_t colour);
  uint32_t SelectedColour() const;
  void OpenPreview();

  void edtFontChange();
  void FontControlsChange(bool faceChanged);
  void suiColorBoxcmbChange(int index);
  void TextSliderChange();
  void ImageSliderChange();
  void EffectSliderChange();
  void btnBrowsClick();
  void btnClearTextClick();
  void btnClearImageClick();
  void btnResetClick();
  void btnOkClick();

  TlvFilesRecord& FRow;
  TAppDialogs& FDialogs;
  std::wstring FLibraryFolder;
  TWatermarkEditor FEditor;
  std::string FLoadError;
  // Set while the controls are filled from the editor, so their signals do not write back.
  bool FShowing = false;
  bool FOpened = false;
  int FColourIndex = 0;

  QTabWidget* pgcWaterMark = nullptr;
  // Add Text
  QLineEdit* edtFont = nullptr;
  QFontComboBox* suiFontCmb = nullptr;
  QComboBox* suiFontSizeCmb = nullptr;
  QComboBox* suiColorBoxcmb = nullptr;
  QCheckBox* suiChkBold = nullptr;
  QCheckBox* suiChkItalic = nullptr;
  QCheckBox* suiChkUnderline = nullptr;
  QCheckBox* suiChkStrikeOut = nullptr;
  QSlider* trcTextHoriz = nullptr;
  QSlider* trcTextVert = nullptr;
  QLineEdit* edtTextHoriz = nullptr;
  QLineEdit* edtTextVert = nullptr;
  QPushButton* btnClearText = nullptr;
  // Add Image
  QLineEdit* edtAddImage = nullptr;
  QPushButton* btnBrows = nullptr;
  QSlider* trcImageHoriz = nullptr;
  QSlider* trcImageVert = nullptr;
  QSlider* trcImageAlpha = nullptr;
  QLineEdit* edtImageHoriz = nullptr;
  QLineEdit* edtImageVert = nullptr;
  QLineEdit* edtImageAlpha = nullptr;
  QRadioButton* rbTransparent1 = nullptr;
  QRadioButton* rbTransparent2 = nullptr;
  QPushButton* btnClearImage = nullptr;
  // Effect
  QSlider* trcBrightness = nullptr;
  QSlider* trcContrast = nullptr;
  QSlider* trcSaturation = nullptr;
  QSlider* trcExposure = nullptr;
  QSpinBox* spedtBrightness = nullptr;
  QSpinBox* spedtContrast = nullptr;
  QSpinBox* spedtSaturation = nullptr;
  QSpinBox* spedtExposure = nullptr;
  QCheckBox* chkProcessText = nullptr;
  QCheckBox* chkProcessImage = nullptr;
  QPushButton* btnReset = nullptr;

  TDialogPreview* FPreview = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
};

} // namespace kavro
