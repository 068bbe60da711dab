#include "DevSim.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "SimDevice.h"
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
};

}  // namespace

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
  SimModel model = SimModel::Ipc;
  if (options_.model == "dvr") {
    model = SimModel::Dvr;
  } else if (options_.model != "ipc") {
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
    auto dev = std::make_unique<SimDevice>(k, model, path, options_.verbose);
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
