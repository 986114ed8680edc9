// The splash picture as it ships, and files that libjpeg cannot read: each is a
// failure with a reason, and the test process goes on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "about/JpegPicture.h"

using namespace vornak::about;

namespace {

std::string shippedPicture() {
    std::ifstream in(VORNAK_SPLASH_PICTURE, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void expectRefused(const std::string& bytes, const char* what) {
    const JpegResult result = decodeJpeg(bytes);
    EXPECT_FALSE(result.ok) << what;
    EXPECT_FALSE(result.error.empty()) << what;
    EXPECT_TRUE(result.picture.rgb.empty()) << what;
}

}  // namespace

TEST(JpegPicture, ShippedSplashIsABaselineColourPictureOf500By300) {
    const std::string bytes = shippedPicture();
    ASSERT_FALSE(bytes.empty());
    // The first frame header is SOF0, the baseline one.
    const auto sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    const JpegResult result = decodeJpeg(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.picture.width, 500);
    EXPECT_EQ(result.picture.height, 300);
    EXPECT_EQ(result.picture.components, 3);
    EXPECT_FALSE(result.picture.progressive);
    ASSERT_EQ(result.picture.rgb.size(), 500u * 300u * 3u);
    // A green background (the top right corner) and pale letters somewhere.
    const uint8_t* corner = &result.picture.rgb[(5 * 500 + 495) * 3];
    EXPECT_GT(corner[1], corner[0] + 30);
    EXPECT_GT(corner[1], corner[2] + 30);
    bool pale = false;
    for (size_t i = 0; i + 2 < result.picture.rgb.size(); i += 3)
        pale = pale || (result.picture.rgb[i] > 210 && result.picture.rgb[i + 2] > 200);
    EXPECT_TRUE(pale);
}

TEST(JpegPicture, DamagedFilesAreRefused) {
    const std::string good = shippedPicture();
    ASSERT_GT(good.size(), 2000u);
    expectRefused("", "empty");
    expectRefused("not a picture at all", "not a JPEG");

    // Truncated: libjpeg would pad the rest with grey and only warn.
    expectRefused(good.substr(0, good.size() / 2), "truncated in the scan");
    expectRefused(good.substr(0, 120), "truncated in the header");

    // A frame header claiming a picture of no height.
    std::string noHeight = good;
    const auto sof = noHeight.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    noHeight[sof + 5] = 0;
    noHeight[sof + 6] = 0;
    expectRefused(noHeight, "no height");

    // Scan data overwritten with a marker where none may be.
    std::string marked = good;
    marked[good.size() / 2] = '\xFF';
    marked[good.size() / 2 + 1] = '\xD3';
    expectRefused(marked, "stray restart marker");
}
