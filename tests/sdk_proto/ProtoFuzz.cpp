// Feeds arbitrary bytes to every parser of the command protocol and the
// configuration records: as a reply packet, as a sequence of stream-unit
// heads, as a login reply, as a whole configuration block and as the
// wireless-sensor record; then runs the record helpers over what came in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "vz_fieldrules.h"
#include "vz_fields.h"
#include "vz_protocol.h"
#include "vz_users.h"
#include "vz_values.h"

namespace {

template <typename T>
T FromBytes(const uint8_t* data, size_t size) {
  T v;
  std::memset(&v, 0, sizeof v);
  if (data != nullptr) std::memcpy(&v, data, size < sizeof v ? size : sizeof v);
  return v;
}

size_t Sink(const std::string& s) { return s.size(); }

void PacketParsers(const uint8_t* data, size_t size) {
  vz::TCmdPkt p;
  if (!vz::PktFromBytes(data, size, p)) p = FromBytes<vz::TCmdPkt>(data, size);
  (void)vz::PktHeadValid(p);
  const uint32_t cmd = p.Head.Cmd;
  (void)vz::ReplySucceeded(cmd, p);
  (void)vz::ReplySucceeded(cmd ^ 1u, p);
  vz::TLoginReply login;
  if (vz::ParseLoginReply(p, login)) {
    vz::TDevCfg cfg{};
    vz::StoreLoginReply(login, cfg);
    Sink(vz::GetStrField(cfg.DevInfo.SoftVer));
  }
  vz::TLoginRequest req;
  if (vz::ParseLoginRequest(p, req)) Sink(req.UserName + req.Password + req.SvrAddr);
  vz::TPtzRequest ptz;
  if (vz::ParsePtz(p, ptz)) Sink(ptz.Data);
  vz::TFirmwareBegin fw;
  if (vz::ParseFirmwareBegin(p, fw)) Sink(fw.LocalPath + fw.RemoteName);
  vz::TColours colours;
  (void)vz::ParseColours(p, colours);
  vz::TStreamMasks masks;
  (void)vz::ParseStartStream(p, masks);
  vz::TAlarmEvent ev;
  (void)vz::ParseAlarmEvent(p, ev);
  vz::TSiteSurveyEntry survey[vz::pkt::kSiteSurveyEntries];
  if (vz::ParseSiteSurvey(p, survey))
    for (const auto& e : survey) Sink(vz::GetStrField(e.Ssid));
  if (const vz::TRecordInfo* info = vz::RecordInfoByCmd(cmd)) {
    uint8_t rec[vz::kPktPayloadSize];
    (void)vz::ReadRecord(p, info->Kind, rec, info->Size);
  }
  // Offsets taken from the input: the helpers must refuse what lies outside.
  const size_t off = vz::PktGetU32(p, 24);
  const size_t len = vz::PktGetU32(p, 28);
  Sink(vz::PktGetStr(p, off, len));
  uint8_t out[64];
  (void)vz::PktGetBytes(p, off, out, len < sizeof out ? len : sizeof out);
}

void UnitHeads(const uint8_t* data, size_t size) {
  int attempt = 0;
  for (size_t at = 0; data != nullptr && at + vz::kUnitHeadSize <= size; at += vz::kUnitHeadSize) {
    vz::TUnitHead h;
    if (!vz::ParseUnitHead(data + at, size - at, h)) break;
    (void)vz::ClassifyUnit(h);
    if (vz::CheckCfgBlockHead(h, attempt) != vz::TCfgHeadVerdict::Foreign) attempt = 0;
    else ++attempt;
    int channel = 0;
    int value = 0;
    (void)vz::ParseStatusSample(data + at, size - at, channel, value);
  }
}

void ConfigurationBlock(const uint8_t* data, size_t size) {
  vz::TDevCfg cfg = FromBytes<vz::TDevCfg>(data, size);
  size_t n = 0;
  n += Sink(vz::GetStrField(cfg.Net.IP)) + Sink(vz::GetStrField(cfg.Net.PppoePassword));
  n += Sink(vz::GetStrField(cfg.WiFi.StaKey)) + Sink(vz::GetStrField(cfg.DevInfo.Model));
  n += Sink(vz::GetStrField(cfg.Video.OsdTitle)) + Sink(vz::GetStrField(cfg.Disk.DiskName));
  n += Sink(vz::GetStrField(cfg.FTP.Path)) + Sink(vz::GetStrField(cfg.P2P.Uid));
  n += Sink(vz::GetStrField(cfg.Email.Recipients));
  for (const auto& name : cfg.Rs485.ProtocolNames) n += Sink(vz::GetStrField(name));
  for (int i = 0; i < vz::UserCount(cfg.User); ++i) n += Sink(vz::GetStrField(cfg.User.Users[i].Name));
  int w = 0;
  int h = 0;
  (void)vz::StandardExToSize(cfg.Video.SubResolution, w, h);
  (void)vz::StandardExToSize(cfg.MD.Resolution, w, h);
  (void)vz::StandardExFromSize(cfg.Video.Width, cfg.Video.Height);
  (void)vz::AlmTypeName(cfg.Alm.Actions[0].Type);
  (void)vz::DaySetKey(cfg.DevInfo.RebootDays);
  (void)vz::DaySetHasWeekday(cfg.MD.Days, cfg.Alm.Schedules[0].Days);
  const std::string name = vz::GetStrField(cfg.User.Users[0].Name);
  (void)vz::UserFind(cfg.User, name);
  (void)vz::UserUpdate(cfg.User, cfg.User.Users[1].Group, name, "pw", cfg.User.Users[0].Group);
  (void)vz::UserDelete(cfg.User, cfg.User.Users[0].Group2);
  (void)vz::UserAdd(cfg.User, "fuzz", "pw", 3);
  const vz::TPixelRect rect{cfg.HideArea.Left, cfg.HideArea.Top, cfg.HideArea.Right, cfg.HideArea.Bottom};
  vz::WriteHideArea(cfg.HideArea, cfg.DevInfo, true, rect, cfg.Video.Width, cfg.Video.Height);
  vz::WriteMDArea(cfg.MD, cfg.DevInfo, cfg.MD.Active != 0, rect, cfg.Video.Width, cfg.Video.Height);
  vz::OrderPeriod(cfg.MD.StartHour, cfg.MD.StartMinute, cfg.MD.EndHour, cfg.MD.EndMinute);
  (void)n;

  const vz::TRfCfg rf = FromBytes<vz::TRfCfg>(data, size);
  (void)vz::ArmModeKey(rf.ArmMode);
  for (const auto& s : rf.Sensors) Sink(vz::GetStrField(s.Name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PacketParsers(data, size);
  UnitHeads(data, size);
  ConfigurationBlock(data, size);
  return 0;
}
