#include <gtest/gtest.h>

#include "inventory/Inventory.h"
#include "inventory/InventoryTestSupport.h"
#include "registry/RegistryAccess.h"

using namespace vornak;

namespace {

class FilterTest : public test::InventoryFixture {
protected:
    void SetUp() override {
        InventoryFixture::SetUp();
        const std::string live = uninstaller("live.exe");
        registration("LM", "1", "Gator eWallet", live);
        registration("LM", "2", "Bargain Finder", "C:\\gone\\x.exe");
        registration("LM", "3", "Acme Editor", live);
        registration("CU", "4", "Acme Viewer", "C:\\gone\\y.exe");
        registration("CU", "5", "Zip Tool", live);
        inv.setView(&view);
        inv.RefreshInventory();
        inv.setStartupDone();
    }
    // Types `text` key by key, as the filter box reports it.
    void type(const std::string& text) {
        std::string box = inv.filterText();
        for (char c : text) {
            box.push_back(c);
            inv.setFilterText(box);
        }
    }
    Inventory inv;
};

}  // namespace

TEST_F(FilterTest, TextFilterIgnoresCaseAndRestores) {
    type("acme");
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Editor", "Acme Viewer"}));
    EXPECT_EQ(view.status, "2 programs");
    type("Z");
    EXPECT_TRUE(inv.visible().empty());
    EXPECT_EQ(view.status, "0 programs");
    inv.FilterRydClick();
    EXPECT_EQ(inv.visible(), inv.master());
    EXPECT_EQ(view.status, "5 programs");
    EXPECT_EQ(view.filterShown, "");
}

TEST_F(FilterTest, MarkersPastedTypedAndInLowerCase) {
    type("acme");
    inv.setFilterText(kDeadMarker);  // pasted whole: the list stays as it was
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Editor", "Acme Viewer"}));

    inv.FilterRydClick();
    type("{!-DEAD-!");  // every partial text filters; none matches
    EXPECT_TRUE(inv.visible().empty());
    type("}");  // the completed marker leaves the list as the last partial text left it
    EXPECT_TRUE(inv.visible().empty());
    EXPECT_EQ(view.status, "0 programs");

    inv.FilterRydClick();
    inv.setFilterText("{!-dead-!}");
    EXPECT_TRUE(inv.visible().empty()) << "a lower-case marker is ordinary filter text";
}

TEST_F(FilterTest, DeadFilterComposesAndRepeats) {
    type("acme");
    inv.kundoedelinksClick();
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Viewer"}));
    EXPECT_EQ(view.filterShown, kDeadMarker);
    EXPECT_EQ(view.status, "1 programs");
    const int redraws = view.redraws;
    inv.kundoedelinksClick();
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Viewer"}));
    EXPECT_EQ(view.redraws, redraws + 1) << "no change handler ran the second time";

    inv.FilterRydClick();
    EXPECT_EQ(inv.visible().size(), 5u);
    EXPECT_EQ(view.status, "5 programs");
}

TEST_F(FilterTest, CrapwareAfterDeadAndEmptyListAborts) {
    inv.kundoedelinksClick();
    EXPECT_EQ(captions(inv.visible()),
              (std::vector<std::string>{"Acme Viewer", "Bargain Finder"}));
    inv.kuncrapClick();
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Bargain Finder"}))
        << "GAIN inside bargain counts";
    EXPECT_EQ(inv.filterText(), kCrapMarker);

    inv.FilterRydClick();
    inv.kuncrapClick();
    EXPECT_EQ(captions(inv.visible()),
              (std::vector<std::string>{"Bargain Finder", "Gator eWallet"}));

    inv.FilterRydClick();
    type("nothing matches");
    view.status = "unchanged";
    EXPECT_THROW(inv.kundoedelinksClick(), SilentAbort);
    EXPECT_EQ(view.status, "unchanged");
    EXPECT_EQ(inv.filterText(), kDeadMarker) << "the box keeps the marker";
}

TEST_F(FilterTest, CrapwareNamesInOrder) {
    const auto& names = CrapwareNames();
    ASSERT_EQ(names.size(), 27u);
    EXPECT_EQ(names.front(), "Alexa");
    EXPECT_EQ(names[6], "New.net");
    EXPECT_EQ(names[17], "GAIN");
    EXPECT_EQ(names.back(), "TIBS Dialer");
}

TEST_F(FilterTest, RefreshShowsEverythingAndKeepsTheBoxText) {
    type("acme");
    inv.RefreshInventory();
    EXPECT_EQ(inv.visible().size(), 5u);
    EXPECT_EQ(inv.filterText(), "acme");
    EXPECT_FALSE(inv.deadChecked());
    EXPECT_FALSE(inv.crapChecked());

    inv.RefreshAndRefilter();
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Editor", "Acme Viewer"}));
    EXPECT_EQ(view.status, "2 programs");
    EXPECT_EQ(view.filterShown, "acme");
}
