// TSplashScreen: the borderless picture window shown while the program starts
// and the main window first fills its list. Its progress bar follows that fill.
// The picture is Splash.jpg beside the program; without a readable picture the
// window shows only its background and the bar.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <string>

class QLabel;
class QProgressBar;

namespace vornak::about {

inline constexpr const char* kSplashPictureName = "Splash.jpg";

class TSplashScreen : public QWidget {
  public:
    // `pictureBytes` is the content of the picture file; empty when it is missing.
    explicit TSplashScreen(const std::string& pictureBytes, QWidget* parent = nullptr);
    // Reads the picture from beside the program.
    static std::string readPicture();

    // The inventory fill: the number of registrations to read, then one step
    // for each one listed.
    void setMaximum(int maximum);
    void step();
    int maximum() const { return maximum_; }
    int position() const { return position_; }

    bool hasPicture() const { return hasPicture_; }
    // libjpeg's reason when the picture could not be shown.
    const std::string& pictureError() const { return pictureError_; }

    // Waits (a bounded while) until the window system shows the window, then
    // draws it: the message loop does not run while the list is filled.
    void paintAtOnce();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Moves the bar to the position when that moves it by a pixel, and draws
    // it a few tens of times a second at most.
    void showPosition(bool always);

    QLabel* picture_ = nullptr;
    QProgressBar* bar_ = nullptr;
    int maximum_ = 100;
    int position_ = 0;
    int shownPixels_ = -1;
    QElapsedTimer sincePainted_;
    bool hasPicture_ = false;
    std::string pictureError_;
};

}  // namespace vornak::about
