// Decoding of the splash screen's picture with libjpeg. A damaged or truncated
// file is a failure with libjpeg's reason, never the end of the program (the
// library's own error handler would exit the process) and never a half-grey
// picture (libjpeg pads a short file and only warns).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::about {

struct JpegPicture {
    int width = 0;
    int height = 0;
    int components = 0;  // in the file: 3 for colour, 1 for grey
    bool progressive = false;
    std::vector<uint8_t> rgb;  // width * height pixels, red, green, blue, row by row
};

struct JpegResult {
    bool ok = false;
    std::string error;  // libjpeg's message when not ok
    JpegPicture picture;
};

// Pictures beyond this many pixels a side are refused before anything is allocated.
inline constexpr int kMaxJpegSide = 4096;

JpegResult decodeJpeg(std::string_view bytes);

}  // namespace vornak::about
