// The text an empty list shows in its own place, over the rows it would have:
// where a user looks first when nothing is listed.
#pragma once

#include <QLabel>

class QAbstractScrollArea;

namespace vornak::app {

class EmptyListHint : public QLabel {
  public:
    // Lies over `list`'s viewport and follows its size.
    explicit EmptyListHint(QAbstractScrollArea* list);

    // Shows `text`, or nothing when it is empty.
    void say(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fit();
};

}  // namespace vornak::app
