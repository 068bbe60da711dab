#pragma once
// What the file player drives besides the file: the picture path (decoder
// and renderer together) and the window that follows the progress. Both are
// called only on the player's playback thread, except where a method says
// otherwise.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QImage;

namespace vz {

// One overlay text item as the file player fills it; the renderer draws it
// outlined (colour 0x00BBGGRR, size 0 = 20).
struct TFileText {
  bool Visible = false;
  int16_t X = 0;
  int16_t Y = 0;
  uint32_t Colour = 0;
  int32_t Size = 0;
  std::string Text;
};
constexpr int kFileTextCount = 4;  // time, title, statistics, speed
using TFileTexts = std::array<TFileText, kFileTextCount>;

// The decoder and renderer of one file player.
class IFileVideo {
 public:
  // The draw callback as the renderer calls it after the overlays: the
  // surface's painting context and the channel.
  using TDrawHook = std::function<void(void* dc, int32_t channel)>;

  virtual ~IFileVideo() = default;

  // Set up at open from the file header: picture size and crop factor of
  // the renderer, codec kind and size of the decoder, then the decoder is
  // opened (false when it could not be). audioCodec is only stored.
  virtual bool Configure(int32_t codec, int32_t width, int32_t height, double crop,
                         int32_t audioCodec) = 0;
  // Audio is handed through undecoded.
  virtual void PassAudio(const uint8_t* data, uint32_t length) = 0;

  // The overlays for a picture about to be drawn: its size and the
  // decoder's "%2d fps ,  %3d Kbps" line in, the four texts out. Called on
  // the playback thread inside Decode; must not call back into the video.
  using TOverlayFn =
      std::function<const TFileTexts&(int32_t width, int32_t height, const std::string& statusLine)>;
  // Decodes one video payload. When a new picture comes out, a changed
  // picture size goes to the renderer (with the crop factor of its width)
  // and the picture is drawn with the overlays to the display targets of
  // channel 0. True when the payload was decoded.
  virtual bool Decode(const uint8_t* payload, uint32_t length, uint64_t second, const TOverlayFn& overlays) = 0;
  // Draws the last picture again (paused players keep windows painted).
  virtual void Redraw() = 0;

  // Display targets and presentation; called from API threads.
  virtual bool AddDspInfo(const void* dspInfo) = 0;
  virtual bool DelDspInfo(const void* dspInfo) = 0;
  virtual void SetEqualScaling(bool on) = 0;
  virtual void SetDrawHook(TDrawHook hook) = 0;

  // The shown picture with its overlays, crop margins removed and enlarged
  // to the picture size; false when there is none. Called from API threads
  // while the playback thread may be drawing.
  virtual bool Snapshot(QImage& picture) = 0;
};

using TFileVideoFactory = std::function<std::unique_ptr<IFileVideo>()>;

// The progress window: message number, wParam, lParam. Delivered before the
// call returns; a sink must give up when stopRequested turns true so that a
// closing player is never held by a window that does not answer.
using TFileMessageSink =
    std::function<void(uint32_t msg, uint32_t wParam, uint32_t lParam,
                       const std::function<bool()>& stopRequested)>;

}  // namespace vz
