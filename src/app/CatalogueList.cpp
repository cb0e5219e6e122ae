#include "CatalogueList.h"

#include "FormatCatalogue.h"
#include "platform/Convert.h"

namespace kavro {

const std::string& TCatalogueList::NameAt(int category, int position) const {
  static const std::string None;
  if (category < 0 || category >= NameTableSize || position < 0 || position >= NameTableSize) return None;
  return FNames[category][position];
}

std::string TCatalogueList::Build(const TAppSettings& settings) {
  for (auto& names : FNames)
    names.fill("");
  FRows.clear();
  FItemIndex = -1;
  FUnstoredChoice.reset();
  const auto categories = CatalogueCategories(FEdition);
  for (int category = 0; category < static_cast<int>(categories.size()); ++category) {
    TCatalogueRow header;
    header.Text = std::string(categories[category].Caption);
    header.Info.IsCategory = true;
    header.Info.Caption = header.Text;
    header.Info.Code = category;
    header.Info.Collapsed = settings.Ini().ReadBool(FoldStateSection, std::to_string(category), true);
    FRows.push_back(header);
    const auto& names = categories[category].Names;
    for (size_t position = 0; position < names.size(); ++position)
      FNames[category][position] = std::string(names[position]);
    if (!header.Info.Collapsed) InsertFormatRows(RowCount() - 1, BuildPositions);
  }
  std::string name = settings.FormatNameForCatalogue();
  // A name the edition does not have (a fresh settings file names another edition's format) would
  // show one format while the stored code converts to another: the field shows the code's format.
  if (!IsFormatName(name)) {
    const std::string ofCode = FormatNameOf(FEdition, settings.FormatCode());
    if (!ofCode.empty()) name = ofCode;
  }
  SelectName(name);
  return name;
}

bool TCatalogueList::IsFormatName(const std::string& name) const {
  const std::string wanted = Trim(name);
  for (const auto& names : FNames)
    for (const std::string& known : names)
      if (!known.empty() && SameText(known, wanted)) return true;
  return false;
}

void TCatalogueList::InsertFormatRows(int headerRow, int positions) {
  const TItemInfo& header = FRows[headerRow].Info;
  const int category = header.Code;
  std::vector<TCatalogueRow> formats;
  for (int position = 0; position < positions && position < NameTableSize; ++position) {
    const std::string& name = FNames[category][position];
    if (name.empty()) continue;
    TCatalogueRow row;
    row.Text = name;
    row.Info.IsFormat = true;
    row.Info.Caption = header.Caption;
    row.Info.Code = MakeFormatCode(category, position);
    formats.push_back(row);
  }
  FRows.insert(FRows.begin() + headerRow + 1, formats.begin(), formats.end());
  if (FItemIndex > headerRow) FItemIndex += static_cast<int>(formats.size());
}

void TCatalogueList::SetItemIndex(int row) {
  FItemIndex = row >= 0 && row < RowCount() ? row : -1;
}

int TCatalogueList::SelectName(const std::string& name) {
  const std::string wanted = Trim(name);
  FItemIndex = -1;
  for (int row = 0; row < RowCount() && FItemIndex < 0; ++row)
    if (FRows[row].Text == wanted) FItemIndex = row;
  for (int row = 0; row < RowCount() && FItemIndex < 0; ++row)
    if (SameText(FRows[row].Text, wanted)) FItemIndex = row;
  return FItemIndex;
}

int TCatalogueList::SelectStoredFormat(const TAppSettings& settings) {
  if (FUnstoredChoice) return SelectName(*FUnstoredChoice);
  return SelectName(settings.FormatNameForCatalogue());
}

bool TCatalogueList::Expand(int row) {
  if (row < 0 || row >= RowCount() || !FRows[row].Info.IsCategory || !FRows[row].Info.Collapsed) return false;
  InsertFormatRows(row, NameTableSize);
  FRows[row].Info.Collapsed = false;
  return true;
}

bool TCatalogueList::Collapse(int row) {
  if (row < 0 || row >= RowCount() || !FRows[row].Info.IsCategory || FRows[row].Info.Collapsed) return false;
  int end = row + 1;
  while (end < RowCount() && FRows[end].Info.IsFormat)
    ++end;
  FRows.erase(FRows.begin() + row + 1, FRows.begin() + end);
  // A selection inside the folded rows moves to the header.
  if (FItemIndex >= end)
    FItemIndex -= end - row - 1;
  else if (FItemIndex > row)
    FItemIndex = row;
  FRows[row].Info.Collapsed = true;
  return true;
}

bool TCatalogueList::Toggle(int row) {
  if (row < 0 || row >= RowCount() || !FRows[row].Info.IsCategory) return false;
  return FRows[row].Info.Collapsed ? Expand(row) : Collapse(row);
}

TListPress TCatalogueList::MouseDown(int x, int row, TAppSettings& settings) {
  TListPress press;
  if (row < 0 || row >= RowCount()) return press;
  const TItemInfo& info = FRows[row].Info;
  if (info.IsCategory) {
    if (x < FoldHotWidth) press.Toggled = Toggle(row);
  } else if (info.IsFormat) {
    press.Choice = TCatalogueChoice{info.Code, FRows[row].Text};
    if (FStoresChoice)
      settings.SetFormat(info.Code, FRows[row].Text);
    else
      FUnstoredChoice = FRows[row].Text;
  }
  return press;
}

bool TCatalogueList::DoubleClick(int row) {
  return Toggle(row);
}

void TCatalogueList::SaveFoldState(TIniFile& settings) const {
  TIniBatch batch(settings);
  for (const auto& row : FRows)
    if (row.Info.IsCategory)
      settings.WriteBool(FoldStateSection, std::to_string(row.Info.Code), row.Info.Collapsed);
}

TListPlacement TCatalogueList::BuildPlacement(int rows, int edt1Top) {
  const int height = rows * RowHeight < 363 ? (rows + 1) * RowHeight : 362;
  return {height, edt1Top - height + 395};
}

TListPlacement TCatalogueList::OpenPlacement(int rows, int edt1Top) {
  const int height = rows * RowHeight > 386 ? 386 : rows * RowHeight + 20;
  return {height, edt1Top - height + 431};
}

} // namespace kavro
