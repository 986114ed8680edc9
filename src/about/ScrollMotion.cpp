#include "about/ScrollMotion.h"

namespace vornak::about {

int drawnLineCount(std::size_t lines) {
    return lines > static_cast<std::size_t>(kMaxDrawnLines) ? kMaxDrawnLines
                                                            : static_cast<int>(lines);
}

int lineLeft(TAlign alignment, int pictureWidth, int textWidth) {
    const int free = pictureWidth - textWidth;
    switch (alignment) {
        case TAlign::alLeft:
            return 0;
        case TAlign::alRight:
            return free;
        case TAlign::alCenter: {
            // Floor division, then a half goes to the even neighbour.
            int half = free / 2;
            if (free % 2 != 0) {
                if (free < 0)
                    --half;
                if (half % 2 != 0)
                    ++half;
            }
            return half;
        }
    }
    return 0;
}

Rgb keyColourFor(Rgb fontColour) {
    constexpr Rgb kBlue{0, 0, 255};
    constexpr Rgb kDarkGreen{0, 128, 0};
    return fontColour == kBlue ? kDarkGreen : kBlue;
}

bool ScrollMotion::tick(int controlHeight, bool repeat) {
    bool running = true;
    if (offset_ + textHeight_ < 0) {
        if (repeat)
            offset_ = controlHeight;
        else
            running = false;
    }
    --offset_;
    return running;
}

}  // namespace vornak::about
