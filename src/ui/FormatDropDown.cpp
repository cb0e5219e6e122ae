#include "FormatDropDown.h"

#include "CatalogueRowDelegate.h"
#include "CatalogueRowsModel.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

namespace kavro {
namespace {

// The field's and the list's background, 16316406 as a Windows colour (blue, green, red).
const QColor FieldGrey(0xF6, 0xF8, 0xF8);

} // namespace

TFormatDropDown::TFormatDropDown(TCatalogueList& catalogue, TAppSettings& settings, QWidget* host,
                                 QWidget* parent)
    : QWidget(parent), FCatalogue(catalogue), FSettings(settings) {
  edt1 = new QLineEdit(this);
  edt1->setObjectName(QStringLiteral("edt1"));
  edt1->setReadOnly(true);
  edt1->setTextMargins(4, 2, 0, 0);
  // A read-only field draws no caret; it only opens the list, so it takes no focus either.
  edt1->setFocusPolicy(Qt::NoFocus);
  edt1->setCursor(Qt::ArrowCursor);
  edt1->setContextMenuPolicy(Qt::NoContextMenu);
  edt1->installEventFilter(this);

  imgbtn1 = new QToolButton(this);
  imgbtn1->setObjectName(QStringLiteral("imgbtn1"));
  imgbtn1->setArrowType(Qt::DownArrow);
  imgbtn1->setFocusPolicy(Qt::NoFocus);
  connect(imgbtn1, &QToolButton::clicked, this, [this] { ToggleList(false); });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edt1, 1);
  layout->addWidget(imgbtn1);
  const int fieldHeight = edt1->sizeHint().height();
  imgbtn1->setFixedSize(fieldHeight, fieldHeight);

  // Without a host the list lies over this widget's window, found when it first opens.
  lst1 = new QListView(host ? host : this);
  FHostless = host == nullptr;
  lst1->setObjectName(QStringLiteral("lst1"));
  FRows = new TCatalogueRowsModel(FCatalogue, this);
  lst1->setModel(FRows);
  lst1->setItemDelegate(new TCatalogueRowDelegate(this));
  lst1->setUniformItemSizes(true);
  lst1->setSelectionMode(QAbstractItemView::NoSelection);
  lst1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lst1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lst1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  lst1->setMouseTracking(true);
  lst1->viewport()->setMouseTracking(true);
  lst1->viewport()->installEventFilter(this);
  lst1->installEventFilter(this);
  lst1->hide();
  ApplyFieldColour();
}

TFormatDropDown::~TFormatDropDown() {
  // The list belongs to the host but draws this widget's model.
  delete lst1.data();
}

void TFormatDropDown::Build() {
  const std::string name = FCatalogue.Build(FSettings);
  FCode = FSettings.FormatCode();
  edt1->setText(QString::fromStdString(name));
  edt1->setCursorPosition(0);
  HideList();
  FRows->Reset();
  if (lst1) PlaceList(TCatalogueList::BuildPlacement(FCatalogue.RowCount(), 0));
  ApplyFieldColour();
}

QString TFormatDropDown::FormatName() const {
  return edt1->text();
}

int TFormatDropDown::FormatCode() const {
  return FCode;
}

bool TFormatDropDown::ListVisible() const {
  return lst1 && lst1->isVisible();
}

void TFormatDropDown::ShowList() {
  if (!lst1) return;
  if (FHostless && lst1->parentWidget() != window()) lst1->setParent(window());
  FCatalogue.SelectStoredFormat(FSettings);
  FRows->Reset();
  PlaceList(TCatalogueList::OpenPlacement(FCatalogue.RowCount(), 0));
  lst1->show();
  lst1->raise();
  if (FCatalogue.ItemIndex() >= 0) lst1->scrollTo(FRows->index(FCatalogue.ItemIndex()));
  lst1->setFocus();
  // Any press elsewhere closes the list; watched only while it is open.
  qApp->installEventFilter(this);
}

void TFormatDropDown::HideList() {
  qApp->removeEventFilter(this);
  if (lst1) lst1->hide();
}

void TFormatDropDown::SaveFoldState() {
  FCatalogue.SaveFoldState(FSettings.Ini());
}

void TFormatDropDown::ToggleList(bool movePointer) {
  if (ListVisible()) {
    HideList();
    return;
  }
  ShowList();
  if (movePointer) MovePointerToSelection();
}

void TFormatDropDown::MovePointerToSelection() {
  const int row = FCatalogue.ItemIndex();
  if (row < 0) return;
  const QRect rect = lst1->visualRect(FRows->index(row));
  if (rect.isValid() && lst1->viewport()->rect().intersects(rect))
    QCursor::setPos(lst1->viewport()->mapToGlobal(rect.center()));
}

// The placement is given for edt1's top at 0; it moves with edt1's place in the host. A list that
// would reach past the host's bottom moves up, so that no row is cut away.
namespace {
constexpr int OpenBottomOffset = 431;
} // namespace

void TFormatDropDown::PlaceList(const TListPlacement& placement) {
  QWidget* host = lst1->parentWidget();
  if (!host) return;
  const QPoint field = host->mapFromGlobal(edt1->mapToGlobal(QPoint(0, 0)));
  const int height = std::min(placement.Height, std::max(host->height(), TCatalogueList::RowHeight));
  // The placements keep the list's bottom fixed where the field sat in the form they were made for,
  // 431 pixels below the field's top in its own panel: here that bottom is the field's top, so the
  // list opens upwards from the field over the window.
  int top = field.y() + placement.Top - OpenBottomOffset;
  if (top + height > host->height()) top = host->height() - height;
  lst1->setGeometry(field.x(), std::max(top, 0), width(), height);
}

void TFormatDropDown::RowsChanged() {
  // A fold keeps the rows in view where they were.
  const int scroll = lst1->verticalScrollBar()->value();
  FRows->Reset();
  lst1->verticalScrollBar()->setValue(scroll);
}

bool TFormatDropDown::ListMouseEvent(QMouseEvent& event) {
  const QPoint position = event.position().toPoint();
  const int row = lst1->indexAt(position).row();
  switch (event.type()) {
  case QEvent::MouseMove: {
    const int before = FCatalogue.ItemIndex();
    FCatalogue.SetItemIndex(row);
    if (FCatalogue.ItemIndex() != before) FRows->SelectionMoved(before, FCatalogue.ItemIndex());
    return true;
  }
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick: {
    if (event.button() != Qt::LeftButton) return true;
    // The second press of a double-click arrives as the double-click itself: it is a press as
    // well, then the double-click, so a double-click anywhere on a header folds it once.
    TListPress press = FCatalogue.MouseDown(position.x(), row, FSettings);
    bool folded = press.Toggled;
    if (!press.Choice && event.type() == QEvent::MouseButtonDblClick)
      folded = FCatalogue.DoubleClick(row) || folded;
    if (press.Choice) {
      FCode = press.Choice->Code;
      const QString name = QString::fromStdString(press.Choice->Name);
      edt1->setText(name);
      edt1->setCursorPosition(0);
      HideList();
      emit FormatChosen(FCode, name);
      return true;
    }
    if (folded) RowsChanged();
    PlaceList(TCatalogueList::OpenPlacement(FCatalogue.RowCount(), 0));
    return true;
  }
  case QEvent::MouseButtonRelease:
    return true;
  default:
    return false;
  }
}

bool TFormatDropDown::IsOwnPart(const QWidget* widget) const {
  return widget == edt1 || widget == imgbtn1 || (lst1 && (widget == lst1 || lst1->isAncestorOf(widget)));
}

bool TFormatDropDown::eventFilter(QObject* watched, QEvent* event) {
  // Only input and the application's state are looked at: other events also come while the list is
  // being destroyed with its host, when it must not be touched.
  switch (event->type()) {
  case QEvent::KeyPress:
    if (lst1 && watched == lst1 && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      HideList();
      return true;
    }
    return false;
  case QEvent::MouseMove:
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseButtonRelease:
    return MouseFilter(watched, *static_cast<QMouseEvent*>(event));
  // The application's own events, watched while the list is open.
  case QEvent::ApplicationDeactivate:
    HideList();
    return false;
  case QEvent::ApplicationStateChange:
    if (QGuiApplication::applicationState() != Qt::ApplicationActive) HideList();
    return false;
  default:
    return false;
  }
}

bool TFormatDropDown::MouseFilter(QObject* watched, QMouseEvent& event) {
  if (lst1 && watched == lst1->viewport()) return ListMouseEvent(event);
  const bool press = event.type() == QEvent::MouseButtonPress || event.type() == QEvent::MouseButtonDblClick;
  if (watched == edt1) {
    // The field only opens the list: no selecting or dragging of its text.
    if (press && event.button() == Qt::LeftButton) ToggleList(event.type() == QEvent::MouseButtonPress);
    return true;
  }
  // Any other press, watched on the application while the list is open. Presses reach the window
  // before the widget; only the widget says where the press is.
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (press && widget && event.button() == Qt::LeftButton && !IsOwnPart(widget)) HideList();
  return false;
}

void TFormatDropDown::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) ApplyFieldColour();
  QWidget::changeEvent(event);
}

// The light grey of the field and the list only where the theme's text stays readable on it.
void TFormatDropDown::ApplyFieldColour() {
  QPalette field = palette();
  if (field.color(QPalette::Active, QPalette::Text).lightness() < 128) {
    field.setColor(QPalette::Active, QPalette::Base, FieldGrey);
    field.setColor(QPalette::Inactive, QPalette::Base, FieldGrey);
  }
  edt1->setPalette(field);
  if (lst1) lst1->setPalette(field);
}

} // namespace kavro
