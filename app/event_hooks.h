#pragma once
// Small pieces of event handling that a window attaches to its controls: one hook object
// per job, and the rule for which key releases count.

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QSet>
#include <functional>
#include <utility>

namespace kormoszi {

// Watches the events of the objects it is installed on for one job; handle returns true
// to take an event from its object.
class EventHook : public QObject {
  public:
    EventHook(QObject* parent, std::function<bool(QObject*, QEvent*)> handle)
        : QObject(parent), FHandle(std::move(handle)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return FHandle(watched, event); }

  private:
    std::function<bool(QObject*, QEvent*)> FHandle;
};

// Keys pressed on one control and not released yet. Only the release of a key pressed
// there counts: the press of the Enter or Esc that closed a dialog went to the dialog, and
// its release must not act again on the control that has the focus afterwards.
class PressedKeys {
  public:
    void Press(const QKeyEvent& key) { FKeys.insert(key.key()); }
    // True for the release of a key pressed here (an auto-repeated one never counts).
    bool Release(const QKeyEvent& key) { return !key.isAutoRepeat() && FKeys.remove(key.key()); }

  private:
    QSet<int> FKeys;
};

}  // namespace kormoszi
