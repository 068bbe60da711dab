#pragma once
// The sound layer's own error prints go to our failure log instead of
// stderr. Installed once per process before the first sound call.
#include <string>

namespace vz {

// Installs the handler (idempotent, thread-safe). Every sound unit calls it
// before touching the sound layer.
void InstallAlsaLog();

// While one of these lives, the sound layer's prints on this thread are
// collected here instead of logged, so a failed open can be reported as one
// line. Text beyond a few hundred bytes is cut.
class TAlsaErrorCapture {
 public:
  TAlsaErrorCapture();
  ~TAlsaErrorCapture();
  TAlsaErrorCapture(const TAlsaErrorCapture&) = delete;
  TAlsaErrorCapture& operator=(const TAlsaErrorCapture&) = delete;
  const std::string& Text() const { return text_; }
  // Used by the handler: adds one print, bounded.
  void Append(const std::string& text);

 private:
  std::string text_;
  TAlsaErrorCapture* outer_;
};

}  // namespace vz
