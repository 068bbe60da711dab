#include "class_FileVideo.h"

#include <QImage>
#include <QPainter>
#include <mutex>

#include "DecoderLock.h"
#include "DspInfo.h"
#include "class_DRender.h"
#include "class_Decode.h"
#include "class_DspInfoLst.h"

namespace vz {

namespace {

TTextParam ToTextParam(const TFileText& t) {
  TTextParam p;
  p.Visible = t.Visible ? 1 : 0;
  p.X = t.X;
  p.Y = t.Y;
  p.Colour = t.Colour;
  p.Size = t.Size;
  p.Text = t.Text;
  return p;
}

// The decoder hands each new picture to the renderer while it still holds
// it; the renderer keeps the finished image for the GUI thread, which
// repaints uncovered targets from it by itself.
class TFileVideo final : public IFileVideo {
 public:
  bool Configure(int32_t codec, int32_t width, int32_t height, double crop, int32_t audioCodec) override {
    render_.SetPictureSize(width, height);
    render_.SetCropFactor(crop);
    decode_.SetCodec(codec);
    decode_.SetWidth(width);
    decode_.SetHeight(height);
    decode_.SetAudioCodec(audioCodec);
    std::lock_guard<std::mutex> g(DecoderLock());
    return decode_.Open();
  }
  void PassAudio(const uint8_t* data, uint32_t length) override {
    decode_.PassAudio(data, static_cast<int32_t>(length));
  }
  bool Decode(const uint8_t* payload, uint32_t length, uint64_t second, const TOverlayFn& overlays) override {
    if (!decode_.Decode(payload, static_cast<int32_t>(length), second)) return false;
    const std::string status = decode_.Stats().StatusLine();
    decode_.TakePicture([&](const TDecodedPicture& picture) {
      if (picture.Width != render_.PictureWidth() || picture.Height != render_.PictureHeight()) {
        render_.SetPictureSize(picture.Width, picture.Height);
      }
      const TFileTexts& texts = overlays(picture.Width, picture.Height, status);
      for (int i = 0; i < kFileTextCount; ++i) render_.SetTextItem(i, ToTextParam(texts[static_cast<size_t>(i)]));
      render_.Render(picture, 0, &list_);
    });
    return true;
  }
  void Redraw() override {}
  bool AddDspInfo(const void* info) override {
    return list_.Add(static_cast<TDspInfo*>(const_cast<void*>(info)));
  }
  bool DelDspInfo(const void* info) override {
    return list_.Remove(static_cast<TDspInfo*>(const_cast<void*>(info)));
  }
  void SetEqualScaling(bool on) override { render_.SetEqualScaling(on); }
  void SetDrawHook(TDrawHook hook) override {
    if (!hook) {
      render_.SetDrawHook(nullptr);
      return;
    }
    render_.SetDrawHook([hook](QPainter* dc, int32_t channel) { hook(dc, channel); });
  }
  bool Snapshot(QImage& picture) override {
    picture = render_.Capture();
    return !picture.isNull();
  }

 private:
  TDspInfoLst list_;
  TAVDecode decode_;
  TRender render_{&list_};
};

}  // namespace

std::unique_ptr<IFileVideo> MakeFileVideo() { return std::make_unique<TFileVideo>(); }

}  // namespace vz
