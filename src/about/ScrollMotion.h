// The arithmetic of the scrolling text control, apart from any drawing: where a
// line starts, which colour keys the text picture out, and how the scroll offset
// moves from tick to tick.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vornak::about {

// Horizontal placement of each line, in the order the window definitions number them.
enum class TAlign { alLeft, alCenter, alRight };

// The line count used for drawing is a signed 16-bit number: later lines are not drawn.
inline constexpr int kMaxDrawnLines = 32767;
int drawnLineCount(std::size_t lines);

// Left edge of a line of `textWidth` pixels in a picture `pictureWidth` wide.
// A centred line that cannot sit exactly in the middle goes to the even pixel,
// so a free width of 5 puts it at 2 and one of 7 at 4. A line wider than the
// picture starts left of it (negative) unless it is aligned left.
int lineLeft(TAlign alignment, int pictureWidth, int textWidth);

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// The colour the text picture is filled with and that is left out when it is
// drawn: pure blue, unless the text itself is pure blue, then dark green.
Rgb keyColourFor(Rgb fontColour);

// The vertical position of the text: the top of the first line relative to the
// top of the control. It starts just below the bottom edge and goes up one pixel
// per tick.
class ScrollMotion {
  public:
    int offset() const { return offset_; }
    int textHeight() const { return textHeight_; }
    // A re-layout measures the text again; the offset stays where it is.
    void setTextHeight(int height) { textHeight_ = height; }
    // Scrolling switched on: the text starts again from the bottom edge.
    void restart(int controlHeight) { offset_ = controlHeight; }

    // One tick. Once the last line has left the top edge completely, the text
    // starts again at the bottom edge (`repeat`) or the scrolling ends; either
    // way the text moves one pixel on this tick. Returns false when the
    // scrolling has ended and the timer is to stop.
    bool tick(int controlHeight, bool repeat);

  private:
    int offset_ = 0;
    int textHeight_ = 0;
};

}  // namespace vornak::about
