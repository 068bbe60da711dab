// Progress of a played file reaches the window named by its native id as
// message events, on the GUI thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "RecFileBytes.h"
#include "TestEnv.h"
#include "VzMessageEvent.h"
#include "vzSDK.h"

namespace {

struct TMsg {
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
};

class TProgressWindow : public QWidget {
 public:
  std::vector<TMsg> got;
  bool event(QEvent* e) override {
    if (e->type() == vz::TVzMessageEvent::Type()) {
      auto* m = static_cast<vz::TVzMessageEvent*>(e);
      got.push_back({m->Msg(), m->WParam(), m->LParam()});
      return true;
    }
    return QWidget::event(e);
  }
  bool Saw(uint32_t msg) const {
    return std::any_of(got.begin(), got.end(), [&](const TMsg& m) { return m.msg == msg; });
  }
};

TEST(FileWindowTest, ProgressAndEndReachTheWindow) {
  vztest::TempDir dir;
  const auto rec = fptest::BuildRecFile(fptest::Gops(5, 5, false));
  const auto path = dir / "w.av";
  vztest::WriteFileBytes(path, rec.bytes);
  TProgressWindow window;
  vzFileHandle h = nullptr;
  ASSERT_EQ(vzFile_Open(path.c_str(), &h), 1);
  ASSERT_EQ(vzFile_SetCallBack(h, nullptr, nullptr, nullptr, nullptr, static_cast<uintptr_t>(window.winId())), 1);
  vzFile_PlayCtrl(h, PS_Stop, 0, 0);  // from the start, now that the window is known
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 20000) {
    QApplication::processEvents();
    // After the rewind: the whole file to its end.
    const auto stops = std::count_if(window.got.begin(), window.got.end(), [](const TMsg& m) { return m.msg == 11123; });
    if (stops >= 1 && window.got.back().msg == 11123 && window.got.size() > 1 &&
        static_cast<uint64_t>(window.got[window.got.size() - 2].lParam) == rec.bytes.size()) {
      break;
    }
    if (stops == 1 && vzFile_GetPlayState(h) == PS_Pause && window.got.back().msg == 11123) {
      vzFile_PlayCtrl(h, PS_Play, 0, 0);
    }
  }
  EXPECT_EQ(vzFile_Close(h), 1);
  ASSERT_TRUE(window.Saw(11123));
  ASSERT_TRUE(window.Saw(11122));
  for (const TMsg& m : window.got) {
    EXPECT_EQ(m.wParam, m.msg == 11122 ? rec.bytes.size() : 0u) << m.msg;
  }
  EXPECT_EQ(static_cast<uint64_t>(window.got[window.got.size() - 2].lParam), rec.bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
