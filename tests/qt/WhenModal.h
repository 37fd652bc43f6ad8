// Modal dialogs run their own event loop; a test reaches them from a timer.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

// Runs `act` once the next modal widget of type W is up (waits up to 3 s).
template <class W>
void WhenModal(std::function<void(W*)> act) {
  QTimer::singleShot(0, [act] {
    for (int i = 0; i < 300; ++i) {
      if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
        act(w);
        return;
      }
      QTest::qWait(10);
    }
  });
}
