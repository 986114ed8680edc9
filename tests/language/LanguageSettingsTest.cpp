// The language kept under the settings key between runs.
#include <gtest/gtest.h>

#include "language/LanguageSettings.h"
#include "registry/RegistryAccess.h"
#include "support/RegistryFixture.h"

namespace vornak {
namespace {

using platform::RegRoot;

const std::string kSettings = "SOFTWARE\\Vornak\\Uninstaller";

class LanguageSettingsTest : public test::RegistryFixture {};

TEST_F(LanguageSettingsTest, FirstRunChoosesEnglishAndCreatesTheKey) {
    EXPECT_EQ(storedLanguage(), "English");
    EXPECT_TRUE(keyExists(RegRoot::LocalMachine, kSettings));
}

TEST_F(LanguageSettingsTest, EmptyValueChoosesEnglishToo) {
    setString(RegRoot::LocalMachine, kSettings, "lang", "");
    EXPECT_EQ(storedLanguage(), "English");
}

TEST_F(LanguageSettingsTest, SavedLanguageComesBackAsItWasWritten) {
    EXPECT_TRUE(saveLanguage("Danish"));
    EXPECT_EQ(storedLanguage(), "Danish");
    const auto value = this->value(RegRoot::LocalMachine, kSettings, "lang");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, platform::kRegSz);

    // ChangeLang never called: the empty text is written, English comes next time.
    EXPECT_TRUE(saveLanguage(""));
    EXPECT_EQ(storedLanguage(), "English");
}

TEST_F(LanguageSettingsTest, UnreadableValueAbortsSilently) {
    setValue(RegRoot::LocalMachine, kSettings, "lang", platform::kRegDword, std::string(4, '\1'));
    EXPECT_THROW(storedLanguage(), SilentAbort);
}

}  // namespace
}  // namespace vornak
