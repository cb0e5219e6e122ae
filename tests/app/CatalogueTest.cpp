#include "CatalogueList.h"

#include <gtest/gtest.h>

#include <set>

#include "AppTestSupport.h"
#include "FormatCatalogue.h"
#include "FormatProfile.h"

namespace kavro {
namespace {

using test::TScratchFolder;

// ---- The tables -----------------------------------------------------------------------------------

TEST(CatalogueTest, BothEditionsListTheirCategoriesWithCodesByPosition) {
  ASSERT_EQ(CategoryCount(TEdition::General), 28);
  ASSERT_EQ(CategoryCount(TEdition::Flv), 3);
  EXPECT_EQ(CatalogueFormats(TEdition::General).size(), 121u);
  EXPECT_EQ(CatalogueFormats(TEdition::Flv).size(), 19u);

  const auto psp = FindFormat(TEdition::General, "PSP Video (480P) (*.mp4)");
  ASSERT_TRUE(psp);
  EXPECT_EQ(psp->Code, 404);
  EXPECT_EQ(psp->Category, "Sony PSP");

  EXPECT_EQ(FormatNameOf(TEdition::Flv, 0), "Flash Video Format (*.flv)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 100), "MPEG-1 Video (*.mpg)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 206), "AC-3 Audio Codec (*.ac3)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 1900), "Flash Video Format (*.flv)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 2706), "AC-3 Audio Codec (*.ac3)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 1), "iPod Video H.264 (*.mp4)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 207), "");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 300), "");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, -1), "");

  // The FLV edition's categories are the general edition's 19, 26 and 27.
  const int shared[] = {19, 26, 27};
  for (int category = 0; category < 3; ++category) {
    EXPECT_EQ(CategoryCaption(TEdition::Flv, category), CategoryCaption(TEdition::General, shared[category]));
    EXPECT_EQ(CategoryNames(TEdition::Flv, category), CategoryNames(TEdition::General, shared[category]));
  }
  EXPECT_EQ(CategoryCaption(TEdition::Flv, 3), "");
  EXPECT_TRUE(CategoryNames(TEdition::General, 28).empty());
}

TEST(CatalogueTest, NamesKeepTheirOwnSpelling) {
  EXPECT_EQ(CategoryCaption(TEdition::General, 12), "Microsoft xbox 360");
  EXPECT_EQ(CategoryCaption(TEdition::General, 13), "Nitendeo WII");
  EXPECT_EQ(CategoryCaption(TEdition::General, 26), "General Video formates");
  EXPECT_EQ(FormatNameOf(TEdition::General, 2200), "DVD - NTSC MPEG-2 Moive (*.mpg)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 904), "Creative Zen Vison Video (*.avi)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 1400), "Mobile Phone 3GP h263 Video(*.3gp)");
  EXPECT_EQ(FormatNameOf(TEdition::General, 2), "iPod MPEG-4 Excellent (320 x 240)(*.mp4)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 201), "AAC Advenced Audio Codec (*.aac)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 203), "WMA - Windows Meida Audio (*.wma)");
  EXPECT_EQ(FormatNameOf(TEdition::Flv, 108), "DV - NTSC -Digital Video Format (*.dv)");

  // Every code appears once and leads back to its own entry.
  for (const TEdition edition : {TEdition::General, TEdition::Flv}) {
    std::set<int> codes;
    for (const auto& entry : CatalogueFormats(edition)) {
      EXPECT_TRUE(codes.insert(entry.Code).second) << entry.Code;
      EXPECT_EQ(CategoryCaption(edition, entry.Code / 100), entry.Category);
      EXPECT_EQ(FormatNameOf(edition, entry.Code), entry.Name);
    }
  }
}

TEST(CatalogueTest, FindFormatTakesCodesAndNames) {
  EXPECT_EQ(FindFormat(TEdition::Flv, "206")->Name, "AC-3 Audio Codec (*.ac3)");
  EXPECT_EQ(FindFormat(TEdition::Flv, "0")->Name, "Flash Video Format (*.flv)");
  EXPECT_FALSE(FindFormat(TEdition::Flv, "207"));
  EXPECT_FALSE(FindFormat(TEdition::Flv, "-100"));
  EXPECT_EQ(FindFormat(TEdition::Flv, "mpeg-1 video (*.MPG)")->Code, 100);
  EXPECT_FALSE(FindFormat(TEdition::Flv, "PSP Video (480P) (*.mp4)"));
  EXPECT_FALSE(FindFormat(TEdition::General, ""));
  // Names that differ by one space stay apart.
  EXPECT_EQ(FindFormat(TEdition::General, "Nokia N Series MPEG-4 Video(*.mp4)")->Code, 1405);
  EXPECT_EQ(FindFormat(TEdition::General, "Nokia N Series MPEG-4 Video (*.mp4)")->Code, 1600);
}

// ---- The drop-down list ---------------------------------------------------------------------------

struct TListFixture : ::testing::Test {
  TScratchFolder Folder{"catalogue-list"};
  TAppSettings Settings{Folder.File("settings.ini")};

  static int HeaderRow(const TCatalogueList& list, int category) {
    for (int row = 0; row < list.RowCount(); ++row)
      if (list.Row(row).Info.IsCategory && list.Row(row).Info.Code == category) return row;
    return -1;
  }
};

TEST_F(TListFixture, TheFieldShowsTheStoredCodesFormatWhenTheStoredNameIsNoneOfTheEditions) {
  TCatalogueList flv(TEdition::Flv);
  EXPECT_EQ(flv.Build(Settings), "Flash SWF Format (*.swf)");
  Settings.Ini().WriteString(SettingsSection, "FormatCode", "206");
  EXPECT_EQ(flv.Build(Settings), "AC-3 Audio Codec (*.ac3)");
  // A name of the catalogue stays, even one written in other letters.
  Settings.Ini().WriteString(SettingsSection, "FormatName", "mpeg-1 video (*.mpg)");
  EXPECT_EQ(flv.Build(Settings), "mpeg-1 video (*.mpg)");
  // A code without a format leaves the stored name.
  Settings.Ini().WriteString(SettingsSection, "FormatName", "Old Name");
  Settings.Ini().WriteString(SettingsSection, "FormatCode", "999");
  EXPECT_EQ(flv.Build(Settings), "Old Name");
}

TEST_F(TListFixture, AMissingFoldStateStartsCollapsed) {
  TCatalogueList list(TEdition::General);
  // The default name is no format of either catalogue: the field shows what the default code 1
  // converts to.
  EXPECT_EQ(list.Build(Settings), "iPod Video H.264 (*.mp4)");
  ASSERT_EQ(list.RowCount(), 28);
  for (int row = 0; row < list.RowCount(); ++row) {
    const TItemInfo& info = list.Row(row).Info;
    EXPECT_TRUE(info.IsCategory && !info.IsFormat && info.Collapsed);
    EXPECT_EQ(info.Code, row);
    EXPECT_EQ(list.Row(row).Text, CategoryCaption(TEdition::General, row));
    EXPECT_EQ(info.Caption, list.Row(row).Text);
  }
  // Its category is folded: nothing is selected.
  EXPECT_EQ(list.ItemIndex(), -1);
  // The name table is filled whatever the fold state.
  EXPECT_EQ(list.NameAt(4, 4), "PSP Video (480P) (*.mp4)");
  EXPECT_EQ(list.NameAt(4, 5), "");
  EXPECT_EQ(list.NameAt(51, 0), "");
}

TEST_F(TListFixture, TheStoredFoldStateOpensCategoriesAtBuildAndSelectsTheStoredName) {
  Settings.Ini().WriteBool(FoldStateSection, "4", false);
  Settings.Ini().WriteBool(FoldStateSection, "1", true);
  Settings.SetFormat(404, "PSP Video (480P) (*.mp4)");
  TCatalogueList list(TEdition::General);
  list.Build(Settings);
  ASSERT_EQ(list.RowCount(), 28 + 5);
  EXPECT_FALSE(list.Row(4).Info.Collapsed);
  for (int position = 0; position < 5; ++position) {
    const TCatalogueRow& row = list.Row(5 + position);
    EXPECT_TRUE(row.Info.IsFormat && !row.Info.IsCategory);
    EXPECT_EQ(row.Info.Code, 400 + position);
    EXPECT_EQ(row.Text, list.NameAt(4, position));
    EXPECT_EQ(row.Info.Caption, "Sony PSP");
  }
  EXPECT_EQ(list.ItemIndex(), 9);
}

TEST_F(TListFixture, APressLeftOfTwentyPixelsFoldsAHeaderAndADoubleClickAnywhere) {
  TCatalogueList list(TEdition::Flv);
  list.Build(Settings);
  ASSERT_EQ(list.RowCount(), 3);

  EXPECT_FALSE(list.MouseDown(20, 1, Settings).Toggled);
  EXPECT_EQ(list.RowCount(), 3);
  EXPECT_TRUE(list.MouseDown(19, 1, Settings).Toggled);
  ASSERT_EQ(list.RowCount(), 13);
  EXPECT_FALSE(list.Row(1).Info.Collapsed);
  EXPECT_EQ(list.Row(2).Info.Code, 100);
  EXPECT_EQ(list.Row(11).Info.Code, 109);
  EXPECT_TRUE(list.Row(12).Info.IsCategory);

  EXPECT_TRUE(list.DoubleClick(1));
  EXPECT_EQ(list.RowCount(), 3);
  EXPECT_TRUE(list.Row(1).Info.Collapsed);
  EXPECT_TRUE(list.DoubleClick(1));
  EXPECT_EQ(list.RowCount(), 13);

  // Folding a category leaves its neighbours alone.
  EXPECT_TRUE(list.MouseDown(0, 12, Settings).Toggled);
  EXPECT_EQ(list.RowCount(), 20);
  EXPECT_TRUE(list.MouseDown(0, 1, Settings).Toggled);
  ASSERT_EQ(list.RowCount(), 10);
  EXPECT_TRUE(list.Row(2).Info.IsCategory);
  EXPECT_EQ(list.Row(3).Info.Code, 200);

  // Presses outside the rows and double-clicks on format rows do nothing.
  EXPECT_FALSE(list.MouseDown(0, 10, Settings).Toggled);
  EXPECT_FALSE(list.MouseDown(0, -1, Settings).Toggled);
  EXPECT_FALSE(list.DoubleClick(3));
  EXPECT_EQ(list.RowCount(), 10);
  EXPECT_FALSE(Settings.Ini().SectionExists(SettingsSection));
}

TEST_F(TListFixture, PressingAFormatRowStoresAndReportsTheChoice) {
  TCatalogueList list(TEdition::General);
  list.Build(Settings);
  list.Expand(4);
  const int row = list.SelectName("  PSP Video (480P) (*.mp4) ");
  ASSERT_EQ(row, 9);
  const TListPress press = list.MouseDown(150, row, Settings);
  EXPECT_FALSE(press.Toggled);
  ASSERT_TRUE(press.Choice);
  EXPECT_EQ(press.Choice->Code, 404);
  EXPECT_EQ(press.Choice->Name, "PSP Video (480P) (*.mp4)");
  EXPECT_EQ(Settings.FormatCode(), 404);
  EXPECT_EQ(Settings.FormatNameForCatalogue(), "PSP Video (480P) (*.mp4)");
  // A press left of 20 pixels on a format row chooses it too.
  EXPECT_EQ(list.MouseDown(0, 5, Settings).Choice->Code, 400);
  EXPECT_EQ(Settings.FormatCode(), 400);
}

TEST_F(TListFixture, TheFoldStateIsSavedPerCategoryAndReadBack) {
  TCatalogueList list(TEdition::Flv);
  list.Build(Settings);
  list.Expand(HeaderRow(list, 2));
  list.SaveFoldState(Settings.Ini());
  EXPECT_TRUE(Settings.Ini().ReadBool(FoldStateSection, "0", false));
  EXPECT_TRUE(Settings.Ini().ReadBool(FoldStateSection, "1", false));
  EXPECT_EQ(Settings.Ini().ReadString(FoldStateSection, "2", ""), "0");

  TCatalogueList again(TEdition::Flv);
  again.Build(Settings);
  EXPECT_EQ(again.RowCount(), 3 + 7);
  EXPECT_FALSE(again.Row(2).Info.Collapsed);
}

TEST_F(TListFixture, TheSelectionFollowsItsRowThroughFolding) {
  TCatalogueList list(TEdition::Flv);
  list.Build(Settings);
  list.Expand(2);
  list.Expand(1);
  const int ac3 = list.SelectName("AC-3 Audio Codec (*.ac3)");
  ASSERT_EQ(ac3, 2 + 10 + 7);
  list.Collapse(1);
  EXPECT_EQ(list.ItemIndex(), ac3 - 10);
  EXPECT_EQ(list.Row(list.ItemIndex()).Text, "AC-3 Audio Codec (*.ac3)");
  list.Expand(1);
  EXPECT_EQ(list.Row(list.ItemIndex()).Text, "AC-3 Audio Codec (*.ac3)");
  // Folding away the selected row leaves its header selected.
  list.Collapse(12);
  EXPECT_EQ(list.ItemIndex(), 12);
  // A name that is folded away, or unknown, selects nothing.
  EXPECT_EQ(list.SelectName("AC-3 Audio Codec (*.ac3)"), -1);
  EXPECT_EQ(list.SelectName("mpeg-2 video (*.mpg)"), 3);
  list.SetItemIndex(99);
  EXPECT_EQ(list.ItemIndex(), -1);
}

TEST(CatalogueListTest, ListPlacementOfBothPlaces) {
  // After building: (rows + 1) × 20 below 363 pixels of rows, else 362.
  EXPECT_EQ(TCatalogueList::BuildPlacement(3, 100).Height, 80);
  EXPECT_EQ(TCatalogueList::BuildPlacement(3, 100).Top, 100 - 80 + 395);
  EXPECT_EQ(TCatalogueList::BuildPlacement(18, 0).Height, 380);
  EXPECT_EQ(TCatalogueList::BuildPlacement(19, 0).Height, 362);
  EXPECT_EQ(TCatalogueList::BuildPlacement(19, 50).Top, 50 - 362 + 395);
  // Opened or clicked: rows × 20 + 20 up to 386 pixels of rows, else 386.
  EXPECT_EQ(TCatalogueList::OpenPlacement(3, 100).Height, 80);
  EXPECT_EQ(TCatalogueList::OpenPlacement(3, 100).Top, 100 - 80 + 431);
  EXPECT_EQ(TCatalogueList::OpenPlacement(19, 0).Height, 400);
  EXPECT_EQ(TCatalogueList::OpenPlacement(20, 0).Height, 386);
  EXPECT_EQ(TCatalogueList::OpenPlacement(20, 10).Top, 10 - 386 + 431);
}

// ---- The format file ------------------------------------------------------------------------------

TEST(FormatProfileTest, CommaListsKeepEmptyAndUntrimmedItems) {
  EXPECT_EQ(SplitCommaList("320x240,640x480,"), (std::vector<std::string>{"320x240", "640x480", ""}));
  EXPECT_EQ(SplitCommaList("a, b"), (std::vector<std::string>{"a", " b"}));
  EXPECT_EQ(SplitCommaList("a,,b"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitCommaList(","), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitCommaList("one"), (std::vector<std::string>{"one"}));
  EXPECT_TRUE(SplitCommaList("").empty());
}

TEST(FormatProfileTest, NullAndEmptyValuesFollowEachListsRule) {
  for (const TFormatList list : {TFormatList::VideoSize, TFormatList::VideoBitRate, TFormatList::FrameRate}) {
    EXPECT_FALSE(ParseChoiceList(list, "null").Applies);
    const TChoiceList empty = ParseChoiceList(list, "");
    EXPECT_TRUE(empty.Applies);
    EXPECT_TRUE(empty.Items.empty());
  }
  for (const TFormatList list :
       {TFormatList::VideoEncoder, TFormatList::AudioBitRate, TFormatList::SampleRate,
        TFormatList::AudioEncoder, TFormatList::Channel, TFormatList::Volume}) {
    EXPECT_FALSE(ParseChoiceList(list, "null").Applies);
    EXPECT_FALSE(ParseChoiceList(list, "").Applies);
  }
  // Only the word itself is "null".
  EXPECT_TRUE(ParseChoiceList(TFormatList::Channel, "NULL").Applies);
  EXPECT_EQ(ParseChoiceList(TFormatList::Channel, "null,mono 1 channel").Items.size(), 2u);
}

TEST(FormatProfileTest, ASectionIsReadWithTheTablesDefaults) {
  TScratchFolder folder("format-profile");
  const TIniFile formats(folder.Write("formats.ini", "[formatInfo404]\n"
                                                     "Format=psp\n"
                                                     "VideoSize=320x240,368x208,\n"
                                                     "VideoBitRate=\n"
                                                     "AudioEncoder=\n"
                                                     "Channel=as source,mono 1 channel\n"
                                                     "iVideoSize=1\n"
                                                     "iChannel=x\n"
                                                     "paraBitExact=True\n"
                                                     "paraMaxBitrate=0\n"
                                                     "paraBufferSize=2000\n"
                                                     "paraLevel=-1\n"
                                                     "paraQscale=abc\n"
                                                     "paraCoder=0\n"));
  const TFormatProfile profile = ReadFormatProfile(formats, 404);
  EXPECT_EQ(profile.Format, "psp");
  EXPECT_EQ(profile.FileExt, "mp4");
  EXPECT_EQ(profile.List(TFormatList::VideoSize).Items, (std::vector<std::string>{"320x240", "368x208", ""}));
  EXPECT_TRUE(profile.List(TFormatList::VideoBitRate).Applies);
  EXPECT_FALSE(profile.List(TFormatList::AudioEncoder).Applies);
  EXPECT_FALSE(profile.List(TFormatList::FrameRate).Applies);
  EXPECT_EQ(profile.List(TFormatList::Channel).Items.size(), 2u);
  EXPECT_EQ(profile.DefaultIndex(TFormatList::VideoSize), 1);
  EXPECT_EQ(profile.DefaultIndex(TFormatList::Channel), 0);
  EXPECT_EQ(profile.DefaultIndex(TFormatList::Volume), 0);
  EXPECT_EQ(
      profile.H264Extras,
      (std::vector<TFormatExtra>{{"paraBitExact", "True"}, {"paraBufferSize", "2000"}, {"paraCoder", "0"}}));

  EXPECT_EQ(FormatWordOf(formats, 404), "psp");
  EXPECT_EQ(FileExtOf(formats, 404), "mp4");
  EXPECT_EQ(FormatWordOf(formats, 405), "null");
  const TFormatProfile missing = ReadFormatProfile(TIniFile(folder.File("none.ini")), 0);
  EXPECT_EQ(missing.Format, "null");
  EXPECT_EQ(missing.FileExt, "mp4");
  for (const auto& list : missing.Lists)
    EXPECT_FALSE(list.Applies);
  EXPECT_TRUE(missing.H264Extras.empty());
}

TEST(FormatProfileTest, H264ExtraTests) {
  EXPECT_TRUE(H264ExtraPasses("parabitexact", "TRUE"));
  EXPECT_FALSE(H264ExtraPasses("paraBitExact", "1"));
  EXPECT_TRUE(H264ExtraPasses("paraGop", "250"));
  EXPECT_FALSE(H264ExtraPasses("paraGop", "0"));
  EXPECT_FALSE(H264ExtraPasses("paraGop", ""));
  EXPECT_TRUE(H264ExtraPasses("paraCoder", "0"));
  EXPECT_FALSE(H264ExtraPasses("paraCoder", "-1"));
  EXPECT_FALSE(H264ExtraPasses("paraCoder", ""));
  EXPECT_FALSE(H264ExtraPasses("paraOther", "5"));
}

} // namespace
} // namespace kavro
