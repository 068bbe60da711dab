#include "LiveGrid.h"

#include <QResizeEvent>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kConnectTimeOutMs = 5000;

int ColumnsFor(int panes) {
  int columns = 1;
  while (columns * columns < panes) ++columns;
  return columns;
}

}  // namespace

bool ParseLiveCamera(const std::string& text, TLiveCamera& camera) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() != 2 && parts.size() != 4) return false;
  if (parts[0].empty() || parts[1].empty() || parts[1].size() > 5) return false;
  for (char c : parts[1]) {
    if (c < '0' || c > '9') return false;
  }
  const int port = std::atoi(parts[1].c_str());
  if (port < 1 || port > 65535) return false;
  TLiveCamera parsed;
  parsed.Host = parts[0];
  parsed.Port = port;
  if (parts.size() == 4) {
    parsed.User = parts[2];
    parsed.Password = parts[3];
  }
  camera = parsed;
  return true;
}

TLiveGrid::TLiveGrid(const std::vector<TLiveCamera>& cameras, QWidget* parent) : QWidget(parent) {
  setObjectName("LiveGrid");
  setAutoFillBackground(true);
  QPalette dark = palette();
  dark.setColor(QPalette::Window, Qt::black);
  setPalette(dark);
  for (const TLiveCamera& camera : cameras) {
    auto pane = std::make_unique<Pane>();
    pane->Camera = camera;
    pane->Widget = new QWidget(this);
    pane->Widget->setObjectName(QString("LivePane%1").arg(panes_.size()));
    pane->Widget->setAttribute(Qt::WA_NativeWindow);
    pane->Dsp.DspHandle = static_cast<uint64_t>(pane->Widget->winId());
    pane->Dsp.Channel = 0;
    if (vzNet_Init(&pane->Player, devX1, 0, 0, 0, 0) == 0) pane->Player = nullptr;
    panes_.push_back(std::move(pane));
  }
  LayoutPanes();
  for (auto& pane : panes_) {
    if (pane->Player == nullptr) continue;
    vzNet_ShowOSDState(pane->Player, 1);
    pane->Registered = vzNet_AddDspInfo(pane->Player, &pane->Dsp) != 0;
    Pane* raw = pane.get();
    pane->Connector = std::thread([raw] { ConnectAndPlay(raw); });
  }
}

TLiveGrid::~TLiveGrid() {
  for (auto& pane : panes_) {
    if (pane->Connector.joinable()) pane->Connector.join();
    if (pane->Player != nullptr) {
      if (pane->Registered) vzNet_DelDspInfo(pane->Player, &pane->Dsp);
      vzNet_Free(pane->Player);
      pane->Player = nullptr;
    }
  }
}

void TLiveGrid::ConnectAndPlay(Pane* pane) {
  const TLiveCamera& c = pane->Camera;
  if (vzNet_Connect(pane->Player, c.User.c_str(), c.Password.c_str(), c.Host.c_str(), c.Host.c_str(), c.Port,
                    kConnectTimeOutMs) != 0) {
    vzNet_Play(pane->Player, 1, 1, 0);
  }
}

QWidget* TLiveGrid::PaneWidget(int pane) const {
  return pane >= 0 && pane < PaneCount() ? panes_[static_cast<size_t>(pane)]->Widget : nullptr;
}

bool TLiveGrid::IsConnected(int pane) const {
  if (pane < 0 || pane >= PaneCount()) return false;
  const vzNetHandle player = panes_[static_cast<size_t>(pane)]->Player;
  return player != nullptr && vzNet_IsConnect(player) != 0;
}

void TLiveGrid::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutPanes();
}

void TLiveGrid::LayoutPanes() {
  const int count = PaneCount();
  if (count == 0) return;
  const int columns = ColumnsFor(count);
  const int rows = (count + columns - 1) / columns;
  const int gap = 2;
  const int w = std::max(1, (width() - gap * (columns + 1)) / columns);
  const int h = std::max(1, (height() - gap * (rows + 1)) / rows);
  for (int i = 0; i < count; ++i) {
    Pane& pane = *panes_[static_cast<size_t>(i)];
    const int x = gap + (i % columns) * (w + gap);
    const int y = gap + (i / columns) * (h + gap);
    pane.Widget->setGeometry(x, y, w, h);
    const vzRect rect{0, 0, w, h};
    if (std::memcmp(&rect, &pane.Dsp.DspRect, sizeof rect) == 0) continue;
    // The player reads the record from its decoding thread: take it off the
    // list while the rectangle changes rather than write under its feet.
    if (pane.Registered) vzNet_DelDspInfo(pane.Player, &pane.Dsp);
    pane.Dsp.DspRect = rect;
    if (pane.Registered) vzNet_AddDspInfo(pane.Player, &pane.Dsp);
  }
}
