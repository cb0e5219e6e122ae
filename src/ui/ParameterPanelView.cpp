#include "ParameterPanelView.h"

#include "PanelInput.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace kavro {
namespace {

struct TComboCaption {
  TPanelCombo Combo;
  const char* Caption;
};

constexpr TComboCaption VideoCombos[] = {
    {TPanelCombo::VideoSize, "Size:"},
    {TPanelCombo::VideoBitRate, "Bit Rate:"},
    {TPanelCombo::FrameRate, "Frame Rate:"},
    {TPanelCombo::VideoEncoder, "Encoder:"},
    {TPanelCombo::Zoom, "Zoom:"},
};
constexpr TComboCaption AudioCombos[] = {
    {TPanelCombo::AudioEncoder, "Encoder:"},   {TPanelCombo::AudioBitRate, "Bit Rate:"},
    {TPanelCombo::SampleRate, "Sample Rate:"}, {TPanelCombo::Channel, "Channel:"},
    {TPanelCombo::Volume, "Volume:"},
};

// The key a filter judges: a character or backspace. Keys that type nothing (movement, deletion
// forward, shortcuts, Enter) are the field's own business.
std::optional<char32_t> TypedKey(const QKeyEvent& event) {
  if (event.key() == Qt::Key_Backspace) return KeyBackspace;
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return std::nullopt;
  const QList<uint> text = event.text().toUcs4();
  if (text.isEmpty() || text.front() < 0x20 || text.front() == 0x7f) return std::nullopt;
  return static_cast<char32_t>(text.front());
}

// Across windows too: a combo's list is a window of its own.
bool IsWithin(const QWidget* widget, const QWidget* ancestor) {
  for (; widget; widget = widget->parentWidget())
    if (widget == ancestor) return true;
  return false;
}

QStringList ItemsOf(const std::vector<std::string>& items) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const auto& item : items)
    list << QString::fromStdString(item);
  return list;
}

QStringList ItemsOf(const QComboBox& box) {
  QStringList list;
  for (int i = 0; i < box.count(); ++i)
    list << box.itemText(i);
  return list;
}

// Greyed text in the palette's own disabled colour; otherwise the inherited colours.
void ApplyGreyed(QComboBox& box, bool greyed, const QPalette& inherited) {
  if (!greyed) {
    box.setPalette(QPalette());
    return;
  }
  QPalette grey = inherited;
  const QColor text = inherited.color(QPalette::Disabled, QPalette::Text);
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (const auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
      grey.setColor(group, role, text);
  box.setPalette(grey);
}

} // namespace

TParameterPanelView::TParameterPanelView(TPanelModel& panel, QWidget* parent)
    : QWidget(parent), FPanel(panel) {
  grpbxVideo = new QGroupBox(QStringLiteral("Video Options"), this);
  grpbxVideo->setObjectName(QStringLiteral("grpbxVideo"));
  grpbxAudio = new QGroupBox(QStringLiteral("Audio Options"), this);
  grpbxAudio->setObjectName(QStringLiteral("grpbxAudio"));
  auto* videoGrid = new QGridLayout(grpbxVideo);
  for (const auto& entry : VideoCombos)
    AddCombo(entry.Combo, grpbxVideo, videoGrid, QString::fromLatin1(entry.Caption));
  auto* audioGrid = new QGridLayout(grpbxAudio);
  for (const auto& entry : AudioCombos)
    AddCombo(entry.Combo, grpbxAudio, audioGrid, QString::fromLatin1(entry.Caption));

  btnDefault = new QPushButton(QStringLiteral("&Default"), this);
  btnDefault->setObjectName(QStringLiteral("btnDefault"));
  connect(btnDefault, &QPushButton::clicked, this, [this] { btnDefaultClick(); });

  auto* groups = new QHBoxLayout;
  groups->addWidget(grpbxVideo);
  groups->addWidget(grpbxAudio);
  auto* buttons = new QHBoxLayout;
  FButtonRow = buttons;
  buttons->addStretch();
  buttons->addWidget(btnDefault);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  Refresh();
}

QComboBox* TParameterPanelView::AddCombo(TPanelCombo combo, QGroupBox* group, QGridLayout* grid,
                                         const QString& caption) {
  const TComboModel& model = FPanel.Combo(combo);
  auto* box = new QComboBox(group);
  box->setObjectName(QString::fromStdString(model.Name));
  box->setEditable(model.FreeText);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(10);
  const int row = grid->rowCount();
  grid->addWidget(new QLabel(caption, group), row, 0);
  grid->addWidget(box, row, 1);
  FCombos[static_cast<size_t>(combo)] = box;

  // activated comes from the user alone (the list, the keyboard, the wheel), never from Refresh.
  connect(box, &QComboBox::activated, this, [this, combo](int index) { Selected(combo, index); });
  if (box->lineEdit()) {
    // Typed text stays the user's: the field keeps no list of its own.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    connect(box->lineEdit(), &QLineEdit::textEdited, this,
            [this, combo](const QString& text) { Typed(combo, text); });
    box->lineEdit()->installEventFilter(this);
  }
  box->installEventFilter(this);
  return box;
}

void TParameterPanelView::Load(int formatCode) {
  FPanel.Load(formatCode);
  Refresh();
}

void TParameterPanelView::Refresh() {
  for (int i = 0; i < PanelComboCount; ++i)
    RefreshCombo(static_cast<TPanelCombo>(i));
}

void TParameterPanelView::RefreshCombo(TPanelCombo combo) {
  const TComboModel& model = FPanel.Combo(combo);
  QComboBox& box = *Combo(combo);
  const QSignalBlocker blockBox(&box);
  const QSignalBlocker blockField(box.lineEdit());
  const QStringList items = ItemsOf(model.Items);
  if (ItemsOf(box) != items) {
    box.clear();
    box.addItems(items);
  }
  if (box.isEditable()) {
    // What the user is typing stays as it is (with the caret where it is) while it is the model's text.
    const QString text = QString::fromStdString(model.Text);
    if (model.ItemIndex >= 0 && box.currentIndex() != model.ItemIndex)
      box.setCurrentIndex(model.ItemIndex);
    else if (model.ItemIndex < 0 && box.currentText() != text)
      box.setCurrentIndex(-1);
    if (box.currentText() != text) box.setEditText(text);
  } else {
    box.setCurrentIndex(model.ItemIndex);
  }
  box.setMaxVisibleItems(std::max(model.DropDownCount, 1));
  box.setEnabled(model.Enabled);
  ApplyGreyed(box, model.Greyed, palette());
}

void TParameterPanelView::Selected(TPanelCombo combo, int index) {
  FPanel.SelectItem(combo, index);
  Refresh();
}

void TParameterPanelView::Typed(TPanelCombo combo, const QString& text) {
  FPanel.TypeText(combo, text.toStdString());
  Refresh();
}

bool TParameterPanelView::ValidateFrameSize() {
  return LeaveField(TPanelCombo::VideoSize);
}

bool TParameterPanelView::LeaveField(TPanelCombo combo) {
  if (FValidating) return true;
  FValidating = true;
  const TFieldExit exit = FPanel.LeaveField(combo);
  Refresh();
  FValidating = false;
  if (exit.KeepFocus) {
    // After the focus change that left the field has finished.
    QTimer::singleShot(0, Combo(combo), [box = Combo(combo)] { box->setFocus(Qt::OtherFocusReason); });
  }
  return exit.Valid;
}

void TParameterPanelView::btnDefaultClick() {
  FPanel.btnDefaultClick();
  Refresh();
}

int TParameterPanelView::ComboIndexOf(const QObject* watched) const {
  for (int i = 0; i < PanelComboCount; ++i)
    if (watched == FCombos[i] || (FCombos[i] && watched == FCombos[i]->lineEdit())) return i;
  return PanelComboCount;
}

bool TParameterPanelView::eventFilter(QObject* watched, QEvent* event) {
  const int index = ComboIndexOf(watched);
  if (index == PanelComboCount) return QWidget::eventFilter(watched, event);
  const auto combo = static_cast<TPanelCombo>(index);
  if (event->type() == QEvent::KeyPress && FPanel.Combo(combo).FreeText) {
    const auto key = TypedKey(*static_cast<QKeyEvent*>(event));
    // A refused key never reaches the field; the model has beeped and said why.
    if (key && !FPanel.KeyPress(combo, *key)) return true;
  }
  if (event->type() == QEvent::FocusOut && FPanel.Combo(combo).FreeText && watched == Combo(combo)) {
    // Opening its own list or another window is no leaving of the field.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        !IsWithin(QApplication::focusWidget(), Combo(combo)))
      LeaveField(combo);
  }
  return QWidget::eventFilter(watched, event);
}

void TParameterPanelView::changeEvent(QEvent* event) {
  // The greyed colour follows the theme.
  if (event->type() == QEvent::PaletteChange)
    for (int i = 0; i < PanelComboCount; ++i)
      ApplyGreyed(*FCombos[i], FPanel.Combo(static_cast<TPanelCombo>(i)).Greyed, palette());
  QWidget::changeEvent(event);
}

} // namespace kavro
