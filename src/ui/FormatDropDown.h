// The format drop-down: the read-only field edt1 with the current format's name, the arrow button
// imgbtn1, and the catalogue list lst1 that opens over the other controls of the host widget. It
// binds the catalogue model (rows, folding, the choice) to the widgets; a choice is stored in the
// settings file by the model and then announced. GUI thread only.
#pragma once

#include "AppSettings.h"
#include "CatalogueList.h"

#include <QListView>
#include <QPointer>
#include <QWidget>

class QLineEdit;
class QMouseEvent;
class QToolButton;

namespace kavro {

class TCatalogueRowsModel;

class TFormatDropDown : public QWidget {
  Q_OBJECT

public:
  // host: the widget lst1 is made a child of, so the list can lie over the other controls (the main
  // window's central widget). settings/catalogue outlive the widget.
  TFormatDropDown(TCatalogueList& catalogue, TAppSettings& settings, QWidget* host,
                  QWidget* parent = nullptr);
  ~TFormatDropDown() override;

  // Builds the catalogue from the settings file: edt1 shows the stored name, lst1 is filled, placed
  // and hidden. Announces nothing: the owner loads the panel for FormatCode() itself.
  void Build();
  // edt1's text.
  QString FormatName() const;
  // The current code: the settings file's after Build, the chosen one after a choice.
  int FormatCode() const;

  bool ListVisible() const;
  // Selects the stored format's row, places lst1 and shows it with the focus. Escape or a left press
  // anywhere else closes it again, and so does leaving the application.
  void ShowList();
  void HideList();
  // The categories' fold state into the settings file.
  void SaveFoldState();

  QListView* List() const { return lst1; }
  QLineEdit* Field() const { return edt1; }
  QToolButton* Button() const { return imgbtn1; }

signals:
  // After a choice, already stored; the panel reloads.
  void FormatChosen(int code, const QString& name);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  // A click or double-click on edt1 or a click on imgbtn1.
  void ToggleList(bool movePointer);
  void PlaceList(const TListPlacement& placement);
  void RowsChanged();
  void MovePointerToSelection();
  bool MouseFilter(QObject* watched, QMouseEvent& event);
  bool ListMouseEvent(QMouseEvent& event);
  bool IsOwnPart(const QWidget* widget) const;
  void ApplyFieldColour();

  TCatalogueList& FCatalogue;
  TAppSettings& FSettings;
  TCatalogueRowsModel* FRows = nullptr;
  int FCode = 0;
  bool FHostless = false;
  QLineEdit* edt1 = nullptr;
  QToolButton* imgbtn1 = nullptr;
  // Owned by the host, which may go first.
  QPointer<QListView> lst1;
};

} // namespace kavro
