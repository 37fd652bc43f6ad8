// The main window at scale on Qt (offscreen unless a platform is chosen):
// the path check against a plain listing, and typing a path key by key
// with the window repainting after each keystroke.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Installation.h"
#include "toolkits/qt/QtApplication.h"

namespace {

ui::qt::QtApplication& App() {
  static ui::qt::QtApplication app;
  return app;
}

void BM_VerifyPath_Qt(benchmark::State& state) {
  App();
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  bench::Window window(inst.Base());
  TForm1& f = window.Show();
  QCoreApplication::processEvents();
  bench::TimeVerifyPath(state, f, inst);
}
BENCHMARK(BM_VerifyPath_Qt)->Arg(100)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// Key presses into the path box's editor; each is handled (path check) and
// the window repainted before the next.
void BM_TypePath_Qt(benchmark::State& state) {
  App();
  const bench::Installation& inst = bench::Installation::Of(static_cast<int>(state.range(0)));
  bench::Window window(inst.Base());
  const std::string path = bench::FortyCharacterLink(state, window, inst);
  if (path.empty()) return;
  TForm1& f = window.Show();
  auto* combo = qobject_cast<QComboBox*>(ui::qt::WidgetOf(*f.ComboBoxPath));
  QLineEdit* line = combo ? combo->lineEdit() : nullptr;
  if (line == nullptr) {
    state.SkipWithError("no path editor");
    return;
  }
  QCoreApplication::processEvents();
  double worst = 0;
  for (auto _ : state) {
    line->setFocus();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    QCoreApplication::processEvents();
    line->setText(QString());
    for (char c : path) {
      const auto t0 = std::chrono::steady_clock::now();
      QTest::keyClick(line, c);
      QCoreApplication::processEvents();
      worst = std::max(worst, bench::Seconds(t0));
    }
    if (f.CheckListBoxSnapins->Count() != inst.Count()) state.SkipWithError("wrong count");
  }
  state.counters["worst_key_ms"] = worst * 1e3;
}
BENCHMARK(BM_TypePath_Qt)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform cannot raise windows and says so at every focus change.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && !text.contains(QLatin1String("does not support raise"))) {
      std::fprintf(stderr, "%s\n", qPrintable(text));
    }
  });
  QApplication qt(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
