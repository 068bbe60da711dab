// Two split windows side by side, a 16-pane and a 13-pane grid, with titles,
// state icons and the message of panes without video. Used for screenshots
// under a real X server: `split_demo [seconds] [shot.png]` quits after the
// given number of seconds (default 5) and, with a file name, saves the whole
// screen as the server shows it one second after start.
#include <QApplication>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "ImageList.h"
#include "SplitWindowEx.h"

namespace {

// Icons for slots 1..3 (recording, talking, alarm); lit or dimmed.
TImageList* MakeIcons(QObject* owner, bool lit) {
  auto* list = new TImageList(12, 12, owner);
  const QColor colours[] = {lit ? QColor(230, 30, 30) : QColor(90, 90, 90),
                            lit ? QColor(40, 200, 60) : QColor(90, 90, 90),
                            lit ? QColor(250, 180, 0) : QColor(90, 90, 90)};
  for (const QColor& c : colours) {
    QImage icon(12, 12, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 10, 10);
    p.end();
    list->Add(icon);
  }
  return list;
}

void Populate(TSplitWindowEx* sw, int panes, TImageList* on, TImageList* off) {
  static int devices[64];
  sw->SetSplitNum(panes);
  sw->SetText(QStringLiteral("No Signal"));
  sw->SetTitleStateImgLst(on);
  sw->SetTitleStateDisImgLst(off);
  for (int i = 1; i <= panes; ++i) {
    TDspItem* item = sw->Items(i);
    item->Title = QStringLiteral("Camera %1").arg(i, 2, 10, QLatin1Char('0'));
    if (i % 3 == 0) continue;  // every third pane stays empty
    item->SetData(&devices[i - 1]);
    item->SetState(1, i % 2 == 0);  // video on even panes
    item->SetState(2, i % 4 == 1);
    item->SetState(3, i % 5 == 0);
  }
  sw->Select(panes == 16 ? 6 : 1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("split windows"));
  auto* layout = new QHBoxLayout(&window);
  layout->setContentsMargins(4, 4, 4, 4);
  TImageList* on = MakeIcons(&window, true);
  TImageList* off = MakeIcons(&window, false);
  auto* sixteen = new TSplitWindowEx(&window);
  auto* thirteen = new TSplitWindowEx(&window);
  layout->addWidget(sixteen);
  layout->addWidget(thirteen);
  Populate(sixteen, 16, on, off);
  Populate(thirteen, 13, on, off);
  window.resize(1240, 500);
  window.move(0, 0);
  window.show();
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  if (argc > 2) {
    const QString file = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(1000, &app, [file] {
      QScreen* screen = QGuiApplication::primaryScreen();
      if (screen != nullptr) screen->grabWindow(0).save(file);
    });
  }
  QTimer::singleShot(std::max(2, seconds) * 1000, &app, &QCoreApplication::quit);
  return QApplication::exec();
}
