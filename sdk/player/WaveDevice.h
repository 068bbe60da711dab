#pragma once
// The sound device under TWaveOut: takes filled buffers by index and reports
// each one back when it has been handed to the sound layer. TWaveOut owns the
// buffers; a device only reads them between Write and the done report.
// Tests put a device of their own here to hold buffers back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "WaveFormat.h"

class TWaveOutDevice {
 public:
  // Called once per written buffer, on the device's own thread or inside
  // Write; never after Close has returned. Must not call back into the
  // device.
  using TDoneFn = std::function<void(int index)>;

  virtual ~TWaveOutDevice() = default;
  // False (with a reason in error) leaves the device unusable.
  virtual bool Open(const TWaveFormat& format, TDoneFn done, std::string& error) = 0;
  // Queues one buffer; false when it was not queued (no done report follows).
  virtual bool Write(int index, const uint8_t* data, uint32_t length) = 0;
  // Stops at once; buffers not yet played are dropped without a done report.
  virtual void Close() = 0;
};

using TWaveOutDeviceFactory = std::function<std::unique_ptr<TWaveOutDevice>()>;
