#include "class_IPlay.h"

#include <algorithm>

namespace vz {

void IPlay::WndProc(const TWinMessage& message) { (void)message; }
void IPlay::SetDecodeStyle(uint8_t style) { decode_style_.store(style); }
void IPlay::SetActiveChannel(int32_t chl) { active_channel_.store(chl); }
bool IPlay::IsNmlRec(int32_t chl) {
  (void)chl;
  return false;
}
bool IPlay::IsAlmRec(int32_t chl) {
  (void)chl;
  return false;
}
int32_t IPlay::Reserved58() { return 0; }
int32_t IPlay::Reserved59() { return 0; }

bool IPlay::AddDspInfo(TDspInfo* info) { return dsp_list_.Add(info); }

bool IPlay::DelDspInfo(TDspInfo* info) { return dsp_list_.Remove(info); }

std::vector<TDspInfo*> IPlay::DspList() const { return dsp_list_.Items(); }

std::string IPlay::DevModel() const {
  std::lock_guard<std::mutex> g(settings_lock_);
  return dev_model_;
}

void IPlay::SetDevModel(const std::string& model) {
  std::lock_guard<std::mutex> g(settings_lock_);
  dev_model_ = model;
}

void IPlay::SetConnectArgs(const TConnectArgs& args) {
  {
    std::lock_guard<std::mutex> g(settings_lock_);
    connect_args_ = args;
  }
  conn_timeout_ms_.store(args.ConnTimeOutMs);
}

TConnectArgs IPlay::ConnectArgs() const {
  TConnectArgs a;
  {
    std::lock_guard<std::mutex> g(settings_lock_);
    a = connect_args_;
  }
  a.ConnTimeOutMs = conn_timeout_ms_.load();
  return a;
}

void IPlay::SetStreamMasks(uint32_t mainMask, uint32_t audioMask, uint32_t subMask) {
  main_mask_.store(mainMask);
  audio_mask_.store(audioMask);
  sub_mask_.store(subMask);
}

void IPlay::SetRecordSettings(const TRecordSettings& s) {
  std::lock_guard<std::mutex> g(settings_lock_);
  record_settings_ = s;
}

TRecordSettings IPlay::RecordSettings() const {
  std::lock_guard<std::mutex> g(settings_lock_);
  return record_settings_;
}

void IPlay::SetRecTimeLen(int32_t nmlTimeLen, int32_t almPrevTimeLen, int32_t almTimeLen) {
  std::lock_guard<std::mutex> g(settings_lock_);
  record_settings_.NmlTimeLen = nmlTimeLen;
  record_settings_.AlmPrevTimeLen = almPrevTimeLen;
  record_settings_.AlmTimeLen = almTimeLen;
}

void IPlay::SetRecPath(const std::string& nml, const std::string& alm, const std::string& snapshot) {
  std::lock_guard<std::mutex> g(settings_lock_);
  record_settings_.NmlRecPath = nml;
  record_settings_.AlmRecPath = alm;
  record_settings_.SnapshotPath = snapshot;
}

}  // namespace vz
