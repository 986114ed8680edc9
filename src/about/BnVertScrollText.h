// TBnVertScrollText: text lines moving upwards through the control, one pixel
// per tick. The text is drawn only when the control is laid out again, into a
// picture keyed by a colour that is left out; each tick composes background and
// text in a frame picture and copies that frame onto the control in one go, so
// the moving text does not flicker.
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

#include "about/ScrollMotion.h"

class QTimer;

namespace vornak::about {

class TBnVertScrollText : public QWidget {
  public:
    explicit TBnVertScrollText(QWidget* owner = nullptr);
    ~TBnVertScrollText() override;

    // ---- Published properties ----
    const QStringList& lines() const { return lines_; }
    void setLines(const QStringList& lines);
    int interval() const { return interval_; }
    void setInterval(int milliseconds);
    const QImage& bkgrndBitmap() const { return background_; }
    void setBkgrndBitmap(const QImage& picture);
    // Font is the widget's own; the text colour is its palette's window text.
    bool parentFont() const { return !testAttribute(Qt::WA_SetFont); }
    void setParentFont(bool on);
    QColor fontColor() const;
    void setFontColor(const QColor& colour);
    bool repeatScroll() const { return repeatScroll_; }
    void setRepeatScroll(bool on) { repeatScroll_ = on; }
    // Whether the text scrolls. Hides QWidget's flag on purpose: a scrolling
    // text that is switched off still shows its frame, and switching it on
    // starts the text again from the bottom edge.
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    TAlign alignment() const { return alignment_; }
    void setAlignment(TAlign alignment);
    bool stretch() const { return stretch_; }
    void setStretch(bool on);

    // After the window that holds the control has set its properties.
    void Loaded();
    // What a language change does: the whole text replaced, then laid out as
    // after a resize. The offset goes on from where it was.
    void replaceText(const QStringList& lines);

    void Tick();
    void Paint();

    // ---- State, for the window tests ----
    int scrollOffset() const { return motion_.offset(); }
    int textHeight() const { return motion_.textHeight(); }
    int lineHeight() const { return lineHeight_; }
    bool timerRunning() const;
    QColor keyColor() const { return keyColour_; }
    const QImage& textPicture() const { return textPicture_; }
    const QImage& backgroundPicture() const { return backgroundPicture_; }
    const QImage& framePicture() const { return frame_; }

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void relayout();
    // The timer's own switch; an interval of 0 or less keeps it from ticking.
    void updateTimer();

    QStringList lines_;
    int interval_ = 50;
    QImage background_;  // the owned copy of BkgrndBitmap
    bool repeatScroll_ = true;
    bool enabled_ = true;
    TAlign alignment_ = TAlign::alLeft;
    bool stretch_ = true;

    ScrollMotion motion_;
    int lineHeight_ = 0;
    QColor keyColour_;
    QImage textPicture_;        // filled with the key colour, the lines drawn on it
    QImage keyedText_;          // the same with the key colour left out
    QImage backgroundPicture_;  // white, with the background copy on it
    QImage frame_;              // what the control shows
    QTimer* timer_ = nullptr;
    bool timerOn_ = true;
};

}  // namespace vornak::about
