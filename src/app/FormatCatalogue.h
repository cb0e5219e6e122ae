// The built-in format catalogue of both editions: the category captions and the format names under
// each, kept as data. A format's code is its category number × 100 + its position in the category,
// both counted from 0; the code names the "formatInfo" sections of the format and settings files.
// Constant tables; any thread.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "GlobalUnit.h"

namespace kavro {

struct TCatalogueCategory {
  std::string_view Caption;
  std::span<const std::string_view> Names;
};

struct TFormatEntry {
  int Code;
  std::string Category;
  std::string Name;
};

constexpr int MakeFormatCode(int category, int position) {
  return category * 100 + position;
}

// The categories of an edition in order; the index is the category number.
std::span<const TCatalogueCategory> CatalogueCategories(TEdition edition);
int CategoryCount(TEdition edition);
// Empty for a category number the edition does not have.
std::string CategoryCaption(TEdition edition, int category);
std::vector<std::string> CategoryNames(TEdition edition, int category);
// The name behind a code; empty when the edition has no such format.
std::string FormatNameOf(TEdition edition, int code);

// Every format of the edition in category and position order.
std::vector<TFormatEntry> CatalogueFormats(TEdition edition);
// A decimal code, or a name: the exact name first, else the first name equal without regard to case.
std::optional<TFormatEntry> FindFormat(TEdition edition, const std::string& codeOrName);

} // namespace kavro
