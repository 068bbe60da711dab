#include "DevSim.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "SimDevice.h"
#include "SimHttp.h"
#include "SimLayout.h"
#include "SimSearch.h"

static_assert(sizeof(vz::TDevCfg) == vzsim::layout::kDevCfgSize);
static_assert(sizeof(vz::TRfCfg) == vzsim::layout::kRfCfgSize);

namespace vzsim {
namespace {

struct FaultNameEntry {
  Fault fault;
  const char* name;
};

constexpr FaultNameEntry kFaultNames[] = {
    {Fault::None, "none"},
    {Fault::RefuseLogin, "refuse-login"},
    {Fault::WrongCode, "wrong-code"},
    {Fault::ResultZero, "result-zero"},
    {Fault::Stall, "stall"},
    {Fault::CloseMidPacket, "close-mid-packet"},
    {Fault::ForeignHeads, "foreign-heads"},
    {Fault::StreamSilent, "silent"},
    {Fault::StreamGarbage, "garbage"},
    {Fault::StreamOverLong, "over-long"},
    {Fault::StreamCut, "cut-mid-frame"},
    {Fault::ClockBack, "clock-back"},
    {Fault::JpegInMpeg4, "jpeg-in-mpeg4"},
    {Fault::StreamFlood, "flood"},
};

struct SizeName {
  const char* name;
  int width, height;
};
constexpr SizeName kSizeNames[] = {
    {"qcif", 176, 144}, {"cif", 352, 288}, {"d1", 704, 576}, {"vga", 640, 480}, {"720p", 1280, 720}, {"1080p", 1920, 1080},
};

std::vector<std::string> SplitColons(const std::string& text) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(':', from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

bool WholeNumber(const std::string& text, int lo, int hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int v = std::stoi(text);
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

bool IsStreamFault(Fault fault) {
  switch (fault) {
    case Fault::StreamSilent:
    case Fault::StreamGarbage:
    case Fault::StreamOverLong:
    case Fault::StreamCut:
    case Fault::ClockBack:
    case Fault::JpegInMpeg4:
    case Fault::StreamFlood: return true;
    default: return false;
  }
}

bool ParseCamera(const std::string& text, SimCamera* camera, std::string* error) {
  SimCamera cam;
  std::vector<std::string> parts = SplitColons(text);
  size_t i = 0;
  if (parts[0] == "ipc" || parts[0] == "dvr") cam.model = parts[i++];
  if (i < parts.size() && parts[i] == "busy") {
    cam.busy = true;
    ++i;
  }
  if (i >= parts.size()) {
    *error = "\"" + text + "\" names no codec";
    return false;
  }
  const std::string& codec = parts[i++];
  if (codec == "mpeg4") {
    cam.codec = 0;
  } else if (codec == "mjpeg") {
    cam.codec = 1;
  } else if (codec == "h264") {
    cam.codec = 2;
  } else {
    *error = "\"" + codec + "\" is no codec (h264, mpeg4, mjpeg)";
    return false;
  }
  if (i < parts.size()) {
    const std::string& size = parts[i++];
    bool known = false;
    for (const SizeName& n : kSizeNames) {
      if (size == n.name) {
        cam.width = n.width;
        cam.height = n.height;
        known = true;
      }
    }
    const size_t x = size.find('x');
    if (!known && (x == std::string::npos || !WholeNumber(size.substr(0, x), 16, 4096, &cam.width) ||
                   !WholeNumber(size.substr(x + 1), 16, 4096, &cam.height))) {
      *error = "\"" + size + "\" is no picture size (WxH, qcif, cif, d1, vga, 720p, 1080p)";
      return false;
    }
  }
  struct {
    int* field;
    int lo, hi;
    const char* what;
  } numbers[] = {{&cam.fps, 1, 60, "frame rate"}, {&cam.kbps, 16, 40960, "bit rate in kbit/s"},
                 {&cam.keyInterval, 1, 1000, "key-frame interval"}};
  for (const auto& n : numbers) {
    if (i >= parts.size()) break;
    const std::string& value = parts[i++];
    if (!WholeNumber(value, n.lo, n.hi, n.field)) {
      *error = "\"" + value + "\" is no " + n.what + " (" + std::to_string(n.lo) + " ... " + std::to_string(n.hi) + ")";
      return false;
    }
  }
  if (i < parts.size()) {
    *error = "\"" + text + "\" has more fields than model:codec:size:fps:kbps:key";
    return false;
  }
  *camera = cam;
  return true;
}

const char* FaultName(Fault fault) {
  for (const FaultNameEntry& e : kFaultNames) {
    if (e.fault == fault) return e.name;
  }
  return "none";
}

bool ParseFaultName(const std::string& name, Fault* fault) {
  for (const FaultNameEntry& e : kFaultNames) {
    if (name == e.name) {
      *fault = e.fault;
      return true;
    }
  }
  return false;
}

DevSim::DevSim(SimOptions options) : options_(std::move(options)) {}

DevSim::~DevSim() { Stop(); }

bool DevSim::Start() {
  Stop();
  error_.clear();
  const auto modelOf = [](const std::string& name, SimModel* model) {
    if (name == "ipc" || name == "dvr") {
      *model = name == "dvr" ? SimModel::Dvr : SimModel::Ipc;
      return true;
    }
    return false;
  };
  SimModel model = SimModel::Ipc;
  if (!modelOf(options_.model, &model)) {
    error_ = "unknown model \"" + options_.model + "\" (ipc or dvr)";
    return false;
  }
  if (options_.devices < 1 || options_.devices > 1000) {
    error_ = "the number of devices must be 1 ... 1000";
    return false;
  }
  if (options_.basePort != 0 && options_.basePort + options_.devices - 1 > 65535) {
    error_ = "the ports run past 65535";
    return false;
  }
  std::error_code ec;
  if (options_.stateDir.empty()) {
    error_ = "no state folder given";
    return false;
  }
  std::filesystem::create_directories(options_.stateDir, ec);
  if (!std::filesystem::is_directory(options_.stateDir, ec)) {
    error_ = "cannot create the state folder " + options_.stateDir;
    return false;
  }
  for (int k = 0; k < options_.devices; ++k) {
    const std::string path =
        (std::filesystem::path(options_.stateDir) / ("device" + std::to_string(k) + ".cfg")).string();
    const SimCamera camera = static_cast<size_t>(k) < options_.cameras.size()
                                 ? options_.cameras[static_cast<size_t>(k)]
                                 : SimCamera{};
    SimModel own = model;
    if (!camera.model.empty() && !modelOf(camera.model, &own)) {
      error_ = "unknown model \"" + camera.model + "\" for device " + std::to_string(k);
      devices_.clear();
      return false;
    }
    auto dev = std::make_unique<SimDevice>(k, own, path, options_.verbose, camera);
    dev->SetRebootRefusal(options_.rebootRefusalMs);
    const uint16_t port = options_.basePort == 0 ? 0 : static_cast<uint16_t>(options_.basePort + k);
    if (!dev->Open(port, &error_)) {
      devices_.clear();
      return false;
    }
    devices_.push_back(std::move(dev));
  }
  for (auto& dev : devices_) dev->StartServing();
  return true;
}

void DevSim::Stop() {
  StopSearch();
  StopHttp();
  for (auto& dev : devices_) dev->Stop();
  devices_.clear();
}

bool DevSim::StartSearch(const std::string& localIP) {
  StopSearch();
  auto search = std::make_unique<SimSearch>(
      [this] {
        std::vector<SimSearchAnswer> answers;
        for (int i = 0; i < DeviceCount(); ++i) {
          const vz::TDevCfg cfg = Config(i);
          answers.push_back(SimSearchAnswer{cfg.DevInfo, cfg.Net});
        }
        return answers;
      },
      [this](int64_t seconds) {
        for (const auto& dev : devices_) dev->SetDeviceTime(seconds);
      });
  if (!search->Start(localIP, 2000, &error_)) return false;
  search_ = std::move(search);
  return true;
}

void DevSim::StopSearch() { search_.reset(); }

bool DevSim::StartHttp() {
  StopHttp();
  std::vector<std::unique_ptr<SimHttp>> servers;
  for (int k = 0; k < DeviceCount(); ++k) {
    SimDevice* dev = Dev(k);
    auto http = std::make_unique<SimHttp>(
        [dev](const std::string& user, const std::string& password) { return dev->Authenticate(user, password); },
        FileFolder(k));
    if (!http->Start(0, &error_)) return false;
    const uint32_t port = http->Port();
    dev->Modify([port](SimState& s) {
      for (size_t i = 0; i < 4; ++i) s.cfg[layout::kNetAt + 8 + i] = static_cast<uint8_t>(port >> (8 * i));
      return true;
    });
    servers.push_back(std::move(http));
  }
  http_ = std::move(servers);
  return true;
}

void DevSim::StopHttp() { http_.clear(); }

uint16_t DevSim::HttpPort(int device) const {
  SimHttp* h = Http(device);
  return h ? h->Port() : 0;
}

SimHttp* DevSim::Http(int device) const {
  if (device < 0 || device >= static_cast<int>(http_.size())) return nullptr;
  return http_[static_cast<size_t>(device)].get();
}

std::string DevSim::FileFolder(int device) const {
  return (std::filesystem::path(options_.stateDir) / ("device" + std::to_string(device) + ".files")).string();
}

int64_t DevSim::DeviceTime(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->DeviceTime() : 0;
}

int DevSim::DeviceCount() const { return static_cast<int>(devices_.size()); }

SimDevice* DevSim::Dev(int device) const {
  if (device < 0 || device >= static_cast<int>(devices_.size())) return nullptr;
  return devices_[static_cast<size_t>(device)].get();
}

uint16_t DevSim::Port(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->Port() : 0;
}

void DevSim::SetFault(int device, Fault fault, int arg, uint32_t onlyCmd) {
  if (SimDevice* d = Dev(device)) d->SetFault(FaultSpec{fault, arg, onlyCmd});
}

void DevSim::SetRebootRefusal(int device, int ms) {
  if (SimDevice* d = Dev(device)) d->SetRebootRefusal(ms);
}

std::vector<JournalEntry> DevSim::Journal(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->Journal() : std::vector<JournalEntry>{};
}

void DevSim::ClearJournal(int device) {
  if (SimDevice* d = Dev(device)) d->ClearJournal();
}

std::vector<uint8_t> DevSim::ConfigBytes(int device) const {
  SimDevice* d = Dev(device);
  if (!d) return {};
  const SimState s = d->State();
  return std::vector<uint8_t>(s.cfg.begin(), s.cfg.end());
}

vz::TDevCfg DevSim::Config(int device) const {
  vz::TDevCfg cfg{};
  const std::vector<uint8_t> bytes = ConfigBytes(device);
  if (bytes.size() == sizeof cfg) std::memcpy(&cfg, bytes.data(), sizeof cfg);
  return cfg;
}

vz::TRfCfg DevSim::RfConfig(int device) const {
  vz::TRfCfg rf{};
  const std::vector<uint8_t> bytes = RfConfigBytes(device);
  if (bytes.size() == sizeof rf) std::memcpy(&rf, bytes.data(), sizeof rf);
  return rf;
}

std::vector<uint8_t> DevSim::RfConfigBytes(int device) const {
  SimDevice* d = Dev(device);
  if (!d) return {};
  const SimState s = d->State();
  return std::vector<uint8_t>(s.rf.begin(), s.rf.end());
}

std::vector<uint8_t> DevSim::VideoConfigBytes(int device, int channel) const {
  SimDevice* d = Dev(device);
  if (!d) return {};
  const SimState s = d->State();
  if (channel < 0 || channel >= s.Channels()) return {};
  const auto& v = s.video[static_cast<size_t>(channel)];
  return std::vector<uint8_t>(v.begin(), v.end());
}

std::vector<uint8_t> DevSim::AudioConfigBytes(int device, int channel) const {
  SimDevice* d = Dev(device);
  if (!d) return {};
  const SimState s = d->State();
  if (channel < 0 || channel >= s.Channels()) return {};
  const auto& a = s.audio[static_cast<size_t>(channel)];
  return std::vector<uint8_t>(a.begin(), a.end());
}

std::vector<uint8_t> DevSim::LastUpload(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->LastUpload() : std::vector<uint8_t>{};
}

UploadState DevSim::LastUploadState(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->LastUploadState() : UploadState::None;
}

int DevSim::RebootCount(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->RebootCount() : 0;
}

int DevSim::OpenConnections(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->OpenConnections() : 0;
}

std::vector<uint32_t> DevSim::StreamMasks(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->StreamMasks() : std::vector<uint32_t>{};
}

}  // namespace vzsim

namespace vzsim {

void DevSim::RaiseAlarm(int device, int32_t channel, int32_t type, int32_t flag) {
  if (SimDevice* d = Dev(device)) d->Alarms().Raise(channel, type, flag);
}

void DevSim::ClearAlarm(int device, int32_t channel, int32_t type, int32_t flag) {
  if (SimDevice* d = Dev(device)) d->Alarms().Clear(channel, type, flag);
}

void DevSim::SetAlarmSchedule(int device, int everyMs, int holdMs, int32_t channel, int32_t type) {
  if (SimDevice* d = Dev(device)) d->Alarms().SetSchedule(SimAlarmSchedule{everyMs, holdMs, channel, type});
}

std::vector<TalkPacket> DevSim::TalkPackets(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->Talk() : std::vector<TalkPacket>{};
}

void DevSim::ClearTalkPackets(int device) {
  if (SimDevice* d = Dev(device)) d->ClearTalk();
}

StreamStats DevSim::Stats(int device) const {
  SimDevice* d = Dev(device);
  return d ? d->Stats() : StreamStats{};
}

}  // namespace vzsim
