#include "class_WaveOut.h"

#include <cstring>
#include <string>

#include "LogWriter.h"
#include "class_AlsaOut.h"

namespace {

// One line per process: a machine without sound fails the same way for every
// player and every connect.
std::atomic<bool> g_openFailLogged{false};

TWaveOutDeviceFactory DefaultFactory() {
  return [] { return std::unique_ptr<TWaveOutDevice>(new TAlsaOut()); };
}

}  // namespace

TWaveOut::TWaveOut(TWaveOutDeviceFactory factory)
    : factory_(factory ? std::move(factory) : DefaultFactory()) {}

TWaveOut::~TWaveOut() { SetActive(false); }

void TWaveOut::SetActive(bool on) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  if (on == active_) return;
  active_ = on;
  if (on)
    OpenDevice();
  else
    CloseDevice();
}

bool TWaveOut::Active() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return active_;
}

bool TWaveOut::IsOpen() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return device_ != nullptr;
}

void TWaveOut::SetFormat(const TWaveFormat& format) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  if (active_) CloseDevice();
  format_ = format;
  if (active_) OpenDevice();
}

TWaveFormat TWaveOut::Format() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return format_;
}

void TWaveOut::SetCallbackMode(TCallbackMode mode) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  callbackMode_ = mode;
}

TWaveOut::TCallbackMode TWaveOut::CallbackMode() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return callbackMode_;
}

void TWaveOut::OpenDevice() {
  if (device_) return;
  next_ = 0;
  std::unique_ptr<TWaveOutDevice> device;
  std::string error;
  bool opened = false;
  try {
    device = factory_();
    opened = device && device->Open(format_, [this](int index) { BufferDone(index); }, error);
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "unknown";
  }
  if (!opened) {
    if (!g_openFailLogged.exchange(true)) vz::WriteLog("WaveOut open fail: " + error);
    return;
  }
  device_ = std::move(device);
}

void TWaveOut::CloseDevice() {
  if (!device_) return;
  device_->Close();  // no done report after this
  device_.reset();
  for (THeader& header : headers_) header.flags.store(0, std::memory_order_release);
}

void TWaveOut::BufferDone(int index) {
  if (index < 0 || index >= kBufferCount) return;
  headers_[static_cast<std::size_t>(index)].flags.store(0, std::memory_order_release);
}

bool TWaveOut::Write(const void* data, std::size_t length) {
  std::lock_guard<std::mutex> guard(ctlLock_);
  if (!device_ || !data || length == 0 || length > kBufferBytes) return false;
  const uint32_t index = next_;
  THeader& header = headers_[index];
  if (header.flags.load(std::memory_order_acquire) != 0) return false;  // all 16 playing
  std::memcpy(buffers_[index].data(), data, length);
  header.length = static_cast<uint32_t>(length);
  // Marked before the device sees it: its done report may come at once.
  header.flags.store(kPrepared | kQueued, std::memory_order_release);
  if (!device_->Write(static_cast<int>(index), buffers_[index].data(), header.length)) {
    header.flags.store(0, std::memory_order_release);
    return false;
  }
  next_ = (index + 1) % kBufferCount;
  return true;
}

uint32_t TWaveOut::NextBuffer() const {
  std::lock_guard<std::mutex> guard(ctlLock_);
  return next_;
}

int TWaveOut::BusyBuffers() const {
  int busy = 0;
  for (const THeader& header : headers_)
    if (header.flags.load(std::memory_order_acquire) != 0) ++busy;
  return busy;
}
