// The client's live grid against simulated cameras: every pane connects and
// shows moving pictures, and closing the window ends every player.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <functional>
#include <memory>
#include <set>

#include "DevSim.h"
#include "Main_Self.h"
#include "TestEnv.h"

namespace {

bool Spin(const std::function<bool()>& done, int limitMs = 30000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// How many distinct colours a coarse sample of the pane shows: a black or
// empty pane has one.
int Colours(QWidget* pane) {
  const QImage shot = pane->grab().toImage();
  std::set<QRgb> seen;
  for (int y = 0; y < shot.height(); y += 7) {
    for (int x = 0; x < shot.width(); x += 7) seen.insert(shot.pixel(x, y));
  }
  return static_cast<int>(seen.size());
}

TEST(LiveGrid, CameraTextsParse) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
    const char* user;
  } cases[] = {
      {"127.0.0.1:47100", true, "127.0.0.1", 47100, "admin"},
      {"cam.example.test:1:guest:guest", true, "cam.example.test", 1, "guest"},
      {"127.0.0.1", false, "", 0, ""},
      {"127.0.0.1:0", false, "", 0, ""},
      {"127.0.0.1:65536", false, "", 0, ""},
      {"127.0.0.1:12x", false, "", 0, ""},
      {":80", false, "", 0, ""},
      {"h:80:onlyuser", false, "", 0, ""},
      {"", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    TLiveCamera cam;
    EXPECT_EQ(ParseLiveCamera(c.text, cam), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(cam.Host, c.host) << c.text;
    EXPECT_EQ(cam.Port, c.port) << c.text;
    EXPECT_EQ(cam.User, c.user) << c.text;
  }
}

TEST(LiveGrid, EveryPaneShowsItsCamera) {
  vztest::TempDir dir;
  vzsim::SimOptions o;
  o.stateDir = dir.str();
  o.devices = 2;
  for (int codec : {2, 1}) {  // H.264 and Motion JPEG
    vzsim::SimCamera cam;
    cam.codec = codec;
    cam.width = 320;
    cam.height = 240;
    cam.fps = 10;
    cam.kbps = 512;
    cam.keyInterval = 10;
    o.cameras.push_back(cam);
  }
  vzsim::DevSim sim(o);
  ASSERT_TRUE(sim.Start()) << sim.Error();

  std::vector<TLiveCamera> cameras;
  for (int d = 0; d < 2; ++d) {
    TLiveCamera cam;
    cam.Host = "127.0.0.1";
    cam.Port = sim.Port(d);
    cameras.push_back(cam);
  }
  {
    TFMain window;
    window.ShowLive(cameras);
    window.show();
    TLiveGrid* grid = window.LiveGrid();
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(grid->PaneCount(), 2);
    for (int pane = 0; pane < 2; ++pane) {
      EXPECT_TRUE(Spin([&] { return grid->IsConnected(pane); })) << pane;
      // A picture with its pattern and OSD text has many colours.
      EXPECT_TRUE(Spin([&] { return Colours(grid->PaneWidget(pane)) > 8; })) << pane;
    }
    // Resizing moves the targets; pictures keep coming in the new size.
    window.resize(500, 300);
    EXPECT_TRUE(Spin([&] { return Colours(grid->PaneWidget(1)) > 8; }));
  }  // the window frees its players here
  sim.Stop();
}

}  // namespace
