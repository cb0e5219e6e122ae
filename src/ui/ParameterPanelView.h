// The parameter panel's widgets: the frames grpbxVideo and grpbxAudio with their ten combos and the
// Default button, bound to the panel model. The user's selections, typing and leaving of the frame
// size go to the model, which stores them and speaks through the dialogs; the widgets then show the
// model again without firing any handler. The main window binds it to its panel, the settings editor to
// its own model. GUI thread only; the model outlives the widget.
#pragma once

#include "ParameterPanel.h"

#include <QWidget>

#include <array>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QPushButton;

namespace kavro {

class TParameterPanelView : public QWidget {
  Q_OBJECT

public:
  explicit TParameterPanelView(TPanelModel& panel, QWidget* parent = nullptr);

  // panel.Load(code), then Refresh().
  void Load(int formatCode);
  // Every combo from the model: items, index or text, enabled, greyed, drop-down count.
  void Refresh();
  // As when the frame size is left (the model's check with its messages), then Refresh; the run
  // calls it at Start. False when the text is no size.
  bool ValidateFrameSize();

  // The row of btnDefault, for a host's own buttons.
  QHBoxLayout* ButtonRow() const { return FButtonRow; }

  QComboBox* Combo(TPanelCombo combo) const { return FCombos[static_cast<size_t>(combo)]; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QComboBox* AddCombo(TPanelCombo combo, QGroupBox* group, QGridLayout* grid, const QString& caption);
  void RefreshCombo(TPanelCombo combo);
  void Selected(TPanelCombo combo, int index);
  void Typed(TPanelCombo combo, const QString& text);
  void btnDefaultClick();
  // A free-text field left: the model's check, and the focus back when the model keeps it.
  bool LeaveField(TPanelCombo combo);
  // The combo a watched object belongs to; PanelComboCount for none.
  int ComboIndexOf(const QObject* watched) const;

  TPanelModel& FPanel;
  std::array<QComboBox*, PanelComboCount> FCombos{};
  QGroupBox* grpbxVideo = nullptr;
  QGroupBox* grpbxAudio = nullptr;
  QPushButton* btnDefault = nullptr;
  QHBoxLayout* FButtonRow = nullptr;
  // A field's check shows messages, which take the focus away once more.
  bool FValidating = false;
};

} // namespace kavro
