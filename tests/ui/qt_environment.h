// One QApplication on the offscreen platform for every test of the executable, and helpers that
// act on the boxes and dialogs a test opens, from within their modal loops.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tarnwick::testing {

// Polls every few milliseconds, up to about five seconds, for a visible top-level widget of the
// given type and hands it to act once. After that it stops polling either way.
template <typename Widget>
void when_shown(std::function<void(Widget*)> act, int attempts = 500) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto left = std::make_shared<int>(attempts);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act, left] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* found = qobject_cast<Widget*>(widget);
      if (found != nullptr && found->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(found);
        return;
      }
    }
    if (--*left <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace tarnwick::testing
