// The hidden-filter editor's working copy and what closing the editor does.
#include <gtest/gtest.h>

#include "inventory/HiddenFilterEditorModel.h"
#include "inventory/Inventory.h"
#include "inventory/InventoryTestSupport.h"
#include "platform/Collation.h"

using namespace vornak;

namespace {

using Lines = std::vector<std::string>;

class HiddenFilterEditorModelTest : public test::InventoryFixture {
protected:
    void SetUp() override {
        InventoryFixture::SetUp();
        const std::string live = uninstaller("live.exe");
        registration("LM", "1", "Acme Editor", live);
        registration("LM", "2", "Zip Tool", live);
        registration("CU", "3", "Beta", live);
        inv.setView(&view);
        inv.RefreshInventory();
    }
    Inventory inv;
};

TEST(SortedUniqueLines, SortsCaselessAndKeepsTheFirstMet) {
    const auto collation = platform::makeCollation("en_US");
    EXPECT_EQ(sortedUniqueLines({"zeta", "Alpha", "ALPHA", "beta", "alpha", "Beta"}, *collation),
              (Lines{"Alpha", "beta", "zeta"}));
    EXPECT_EQ(sortedUniqueLines({"ALPHA", "Alpha"}, *collation), (Lines{"ALPHA"}));
    // Accents are not letter case: both stay, in the locale's order.
    EXPECT_EQ(sortedUniqueLines({"resume", "résumé", "Resume"}, *collation),
              (Lines{"resume", "résumé"}));
    EXPECT_EQ(sortedUniqueLines({"", "b", "", "a"}, *collation), (Lines{"", "a", "b"}));
    EXPECT_TRUE(sortedUniqueLines({}, *collation).empty());
}

TEST_F(HiddenFilterEditorModelTest, CloseWithoutDeletingChangesNothing) {
    inv.setHiddenList({"Zip Tool", "Acme Editor", "Zip Tool"});
    HiddenFilterEditorModel model;
    model.load(inv.hiddenList());
    EXPECT_EQ(model.lines(), (Lines{"Acme Editor", "Zip Tool"}));
    EXPECT_FALSE(model.modified());
    model.apply(inv);
    EXPECT_EQ(inv.hiddenList(), (Lines{"Zip Tool", "Acme Editor", "Zip Tool"}));
}

TEST_F(HiddenFilterEditorModelTest, DeleteWithNothingSelectedStillSortsAndDeduplicates) {
    inv.setHiddenList({"Zip Tool", "Acme Editor", "zip tool"});
    HiddenFilterEditorModel model;
    model.load(inv.hiddenList());
    model.deleteLine(-1);
    model.deleteLine(7);
    EXPECT_TRUE(model.modified());
    EXPECT_EQ(model.lines().size(), 2u);
    model.apply(inv);
    EXPECT_EQ(inv.hiddenList(), (Lines{"Acme Editor", "Zip Tool"}));
}

TEST_F(HiddenFilterEditorModelTest, DeletedLineReappearsWhileTheFilterIsOn) {
    inv.setHiddenList({"Zip Tool", "Acme Editor"});
    inv.VisIkkeSkjulteClick();  // on
    ASSERT_EQ(captions(inv.visible()), (Lines{"Beta"}));
    HiddenFilterEditorModel model;
    model.load(inv.hiddenList());
    model.deleteLine(1);  // "Zip Tool"
    model.apply(inv);
    EXPECT_TRUE(inv.hiddenFilterOn());
    EXPECT_EQ(inv.hiddenList(), (Lines{"Acme Editor"}));
    EXPECT_EQ(captions(inv.visible()), (Lines{"Beta", "Zip Tool"}));
    EXPECT_EQ(view.status, "2 programs");
}

TEST_F(HiddenFilterEditorModelTest, FilterOffOnlyReplacesTheList) {
    inv.setHiddenList({"Zip Tool", "Acme Editor"});
    HiddenFilterEditorModel model;
    model.load(inv.hiddenList());
    model.deleteLine(0);
    const int redrawsBefore = view.redraws;
    model.apply(inv);
    EXPECT_FALSE(inv.hiddenFilterOn());
    EXPECT_EQ(inv.hiddenList(), (Lines{"Zip Tool"}));
    EXPECT_EQ(view.redraws, redrawsBefore) << "no refresh while the filter is off";
}

}  // namespace
