#pragma once
// The live view of the client until the full main window exists: one pane per
// camera, each pane a native child window into which that camera's player
// draws. Players are connected on threads of their own, because a connect
// blocks for up to its time-out; a player that cannot connect keeps retrying
// on its own (automatic reconnection).
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "vzSDK.h"

// One camera of the grid and how to log in to it.
struct TLiveCamera {
  std::string Host;
  int Port = 0;
  std::string User = "admin";
  std::string Password = "admin";
};

// Parses "HOST:PORT[:USER:PASSWORD]"; false on anything else.
bool ParseLiveCamera(const std::string& text, TLiveCamera& camera);

class TLiveGrid : public QWidget {
  Q_OBJECT
 public:
  explicit TLiveGrid(const std::vector<TLiveCamera>& cameras, QWidget* parent = nullptr);
  ~TLiveGrid() override;
  TLiveGrid(const TLiveGrid&) = delete;
  TLiveGrid& operator=(const TLiveGrid&) = delete;

  int PaneCount() const { return static_cast<int>(panes_.size()); }
  QWidget* PaneWidget(int pane) const;
  bool IsConnected(int pane) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Pane {
    TLiveCamera Camera;
    QWidget* Widget = nullptr;   // owned by the grid's widget tree
    vzNetHandle Player = nullptr;
    vzDspInfo Dsp{};             // read by the player's decoding thread while registered:
                                 // changed only while off the player's list
    bool Registered = false;     // GUI thread only
    std::thread Connector;       // the first Connect + Play; joined before the player is freed
  };
  void LayoutPanes();
  static void ConnectAndPlay(Pane* pane);

  std::vector<std::unique_ptr<Pane>> panes_;
};
