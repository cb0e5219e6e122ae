// TCatalogueList: the model of the format drop-down list lst1 — category header rows that fold
// open and shut over their format rows, the 51 × 51 name table behind them, the fold state kept in
// section "lstformat" of the settings file, the choice of a format, and where the list is placed.
// The window draws the rows and forwards mouse presses; owner's (the main) thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "GlobalUnit.h"
#include "IniFile.h"

namespace kavro {

inline constexpr const char* FoldStateSection = "lstformat";

// The object of every row of lst1.
struct TItemInfo {
  bool IsFormat = false;
  bool IsCategory = false;
  std::string Caption; // the category's caption
  bool Collapsed = false;
  int Code = 0; // category number for a header, format code for a format row
};

struct TCatalogueRow {
  std::string Text;
  TItemInfo Info;
};

// A format picked from the list: already stored as "FormatName" and "FormatCode".
struct TCatalogueChoice {
  int Code = 0;
  std::string Name;
};

// What a mouse press did; the window hides the list and shows Choice.Name in edt1 after a choice.
struct TListPress {
  bool Toggled = false;
  std::optional<TCatalogueChoice> Choice;
};

// lst1's height and top.
struct TListPlacement {
  int Height = 0;
  int Top = 0;
};

class TCatalogueList {
public:
  static constexpr int NameTableSize = 51;
  static constexpr int RowHeight = 20;
  // A press left of this on a header row folds it open or shut.
  static constexpr int FoldHotWidth = 20;
  // Positions looked at when a category is shown open while the list is built.
  static constexpr int BuildPositions = 31;

  explicit TCatalogueList(TEdition edition) : FEdition(edition) {}

  TEdition Edition() const { return FEdition; }
  // "" for an unused slot or a position outside the table.
  const std::string& NameAt(int category, int position) const;

  // Clears and refills the name table and the rows, the fold state read from "lstformat" (default
  // collapsed), then selects the row of "FormatName"; returns that name for edt1. A stored name that
  // is no format of this edition gives way to the name of the stored "FormatCode".
  std::string Build(const TAppSettings& settings);

  int RowCount() const { return static_cast<int>(FRows.size()); }
  const TCatalogueRow& Row(int row) const { return FRows.at(static_cast<size_t>(row)); }
  const std::vector<TCatalogueRow>& Rows() const { return FRows; }

  // The selected row, -1 for none. Hovering selects the row under the pointer.
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int row);
  // Selects the row whose text equals the trimmed name (without regard to case when no row equals
  // it exactly); -1 and no selection when none does.
  int SelectName(const std::string& name);
  // Opening the list: selects the row of the stored "FormatName" (of the last choice when choices
  // are not stored) and returns it.
  int SelectStoredFormat(const TAppSettings& settings);

  // A list whose choices are not stored (the settings editor stores them on Ok) only reports them.
  void SetStoresChoice(bool stores) { FStoresChoice = stores; }
  bool StoresChoice() const { return FStoresChoice; }

  // Header rows only; false when the row is not a header or already in that state.
  bool Expand(int row);
  bool Collapse(int row);
  bool Toggle(int row);

  // A mouse press at x on a row (-1 or past the end: nothing): on a header left of FoldHotWidth it
  // folds; on a format row it reports the choice and, unless SetStoresChoice(false), stores it.
  TListPress MouseDown(int x, int row, TAppSettings& settings);
  // A double-click on a header folds it, wherever on the row.
  bool DoubleClick(int row);

  // Every header's Collapsed under "lstformat", key = category number.
  void SaveFoldState(TIniFile& settings) const;

  // Placement after building: (rows + 1) × 20 while rows × 20 is below 363, else 362; top = edt1's
  // top - height + 395.
  static TListPlacement BuildPlacement(int rows, int edt1Top);
  // Placement when opened or clicked: 386 when rows × 20 exceeds 386, else rows × 20 + 20; top =
  // edt1's top - height + 431.
  static TListPlacement OpenPlacement(int rows, int edt1Top);

private:
  // A name of the edition's catalogue, trimmed and without regard to case.
  bool IsFormatName(const std::string& name) const;
  void InsertFormatRows(int headerRow, int positions);

  TEdition FEdition;
  std::array<std::array<std::string, NameTableSize>, NameTableSize> FNames;
  std::vector<TCatalogueRow> FRows;
  int FItemIndex = -1;
  bool FStoresChoice = true;
  // The last choice not stored since the list was built.
  std::optional<std::string> FUnstoredChoice;
};

} // namespace kavro
