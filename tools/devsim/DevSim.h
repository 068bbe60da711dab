#pragma once
// The device simulator: one object serves any number of simulated devices,
// each on its own loopback port, each with its configuration kept in a file
// of its own under the state folder. Tests use it in-process; the vzDevSim
// program wraps it for demos and outside checkers.
//
// Threads: one listener thread per device accepts connections on
// 127.0.0.1 only; every accepted connection is served by a thread of its own
// (a player keeps a stream connection open while it runs single command
// connections beside it). Every wait polls with a short time-out and checks
// the stop flag, so Stop() returns within a fraction of a second.
// All public functions may be called from any thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vz_records.h"

namespace vzsim {

// Misbehaviour switched on per device, to show that the client side fails
// cleanly. Unless a fault is aimed at one command code, it applies to every
// command answered after a successful login; RefuseLogin applies to logins.
enum class Fault {
  None,
  RefuseLogin,     // login answered with Result 0 and login id 0, then closed
  WrongCode,       // replies carry a command code other than the request's
  ResultZero,      // replies carry Result 0 (set commands store nothing and echo the stored record)
  Stall,           // wait `arg` ms before replying (the connection stays open)
  CloseMidPacket,  // send half of the reply, then close the connection
  ForeignHeads,    // code 28: `arg` (at least 1) foreign 8-byte heads before the block
  // Faults of the media a stream connection pushes (commands are answered
  // normally while one of these is on):
  StreamSilent,    // nothing more is sent; the connection stays open
  StreamGarbage,   // before every video frame `arg` bytes of noise (64 when 0); at every
                   // 8-byte step the noise starts with a word no unit uses, so a reader that
                   // drops unknown heads lands on the frame again (unless `arg` is no multiple of 8)
  StreamOverLong,  // once a second a video unit announcing 524296 bytes, followed by as many zeros
  StreamCut,       // the next video frame is sent half, then the connection is closed
  ClockBack,       // time stamps and alarm times run `arg` seconds (3600 when 0) behind the clock
  JpegInMpeg4,     // an MPEG-4 stream carries JPEG pictures of the same size instead
  StreamFlood,     // video frames go out unpaced, as fast as the connection takes them
                   // (audio, status and alarms as usual): a reader's whole throughput
};

// True for the faults that act on a stream connection's media.
bool IsStreamFault(Fault fault);

// The value the vzDevSim command line uses for each fault ("refuse-login" ...).
const char* FaultName(Fault fault);
// Parses a command-line name of a fault; false for an unknown one.
bool ParseFaultName(const std::string& name, Fault* fault);


// Picture settings a device starts with, written over every channel's video
// record whatever its state file says. Fields left at 0 (codec -1) keep the
// stored value.
struct SimCamera {
  std::string model;  // "ipc" or "dvr" for this device; empty: SimOptions::model
  int codec = -1;     // 0 MPEG-4, 1 MJPEG, 2 H.264
  int width = 0, height = 0;
  int fps = 0;
  int kbps = 0;
  int keyInterval = 0;
  bool busy = false;  // the busy scene (SimVideoFormat::busy) on every channel
};

// Reads "[ipc:|dvr:][busy:]CODEC[:SIZE[:FPS[:KBPS[:KEY]]]]" with CODEC h264, mpeg4 or
// mjpeg and SIZE WxH or one of qcif, cif, d1, vga, 720p, 1080p. False (with
// `error`) for anything else.
bool ParseCamera(const std::string& text, SimCamera* camera, std::string* error);

struct SimOptions {
  std::string stateDir;   // folder of the device files; created when missing; required
  std::string model = "ipc";  // "ipc" (1 channel) or "dvr" (4 channels)
  std::vector<SimCamera> cameras;  // device K takes cameras[K] when there is one
  int devices = 1;
  uint16_t basePort = 0;  // devices on basePort + K; 0: any free loopback ports
  bool verbose = false;   // log every command to stderr
  int rebootRefusalMs = 2000;  // how long connections are refused after a reboot
};

// One command packet or firmware chunk as the device received it.
struct JournalEntry {
  uint32_t cmd = 0;           // command code; kChunkEntry for a firmware data chunk head
  uint32_t loginId = 0;       // the login id the packet carried
  std::vector<uint8_t> packet;  // the whole 1460-byte packet; the 8-byte head for a chunk
  uint64_t connection = 0;    // which connection (numbered from 1 per device) sent it
};
constexpr uint32_t kChunkEntry = 0xEEEEEEEEu;

// What the device concluded about the last firmware upload.
enum class UploadState {
  None,          // no upload begun since the start
  Receiving,     // code 7 accepted, chunks arriving
  Complete,      // code 8 came after exactly the announced size with a matching CRC-32
  SizeMismatch,  // code 8 came after fewer or more bytes than announced
  CrcMismatch,   // the size matched, the CRC-32 did not
  Aborted,       // the connection ended before code 8
};

// A talk packet the device received on a stream connection.
struct TalkPacket {
  uint64_t connection = 0;
  std::string address;           // the address field up to its terminator
  uint32_t port = 0;
  std::vector<uint8_t> samples;  // the PCM bytes
  std::string problem;           // empty when every check passed, else what was wrong
};

// What the stream connections of a device have sent since the start.
struct StreamStats {
  uint64_t videoFrames = 0;
  uint64_t audioFrames = 0;
  uint64_t statusUnits = 0;
  uint64_t alarmPackets = 0;
  uint64_t bytes = 0;
  int streaming = 0;  // stream connections sending media now
};

class SimDevice;
class SimHttp;
class SimSearch;

class DevSim {
 public:
  explicit DevSim(SimOptions options);
  ~DevSim();  // stops
  DevSim(const DevSim&) = delete;
  DevSim& operator=(const DevSim&) = delete;

  // Loads or creates each device's file, binds 127.0.0.1 and starts serving.
  // False (nothing left running) when a file cannot be written or a port
  // cannot be bound; Error() says why.
  bool Start();
  void Stop();
  const std::string& Error() const { return error_; }

  int DeviceCount() const;
  uint16_t Port(int device) const;  // 0 for an unknown device or before Start()

  // Answers LAN searches for all devices on UDP localIP:2000 and applies
  // set-time broadcasts to every device. False when the port cannot be
  // bound (Error() says why). Stop() ends it too.
  bool StartSearch(const std::string& localIP = "0.0.0.0");
  void StopSearch();

  // Serves each device's web interface (SimHttp.h) on a loopback port of its
  // own and writes that port into the device's network record as its web
  // port, where clients look for it. The files below FileFolder(device) are
  // its recordings. False (nothing left running) when a port cannot be
  // bound (Error() says why). Stop() ends it too.
  bool StartHttp();
  void StopHttp();
  uint16_t HttpPort(int device) const;   // 0 when not serving
  SimHttp* Http(int device) const;       // test hooks; nullptr when not serving
  std::string FileFolder(int device) const;

  // Switches a fault on (Fault::None switches it off). `arg`: milliseconds for
  // Stall, the number of heads for ForeignHeads. `onlyCmd` 0 aims at every
  // command after login (RefuseLogin: at logins); a code aims at that command
  // only (1: the login itself).
  void SetFault(int device, Fault fault, int arg = 0, uint32_t onlyCmd = 0);
  void SetRebootRefusal(int device, int ms);

  std::vector<JournalEntry> Journal(int device) const;
  void ClearJournal(int device);

  vz::TDevCfg Config(int device) const;  // the stored configuration (copy)
  vz::TRfCfg RfConfig(int device) const;
  // The same as raw bytes (5216 and 648), independent of the record headers.
  std::vector<uint8_t> ConfigBytes(int device) const;
  std::vector<uint8_t> RfConfigBytes(int device) const;
  // A channel's own video (148 bytes) or audio (48 bytes) record; empty for
  // a channel the device does not have.
  std::vector<uint8_t> VideoConfigBytes(int device, int channel) const;
  std::vector<uint8_t> AudioConfigBytes(int device, int channel) const;

  std::vector<uint8_t> LastUpload(int device) const;  // firmware bytes received
  UploadState LastUploadState(int device) const;
  int RebootCount(int device) const;
  int64_t DeviceTime(int device) const;  // device-local seconds, 0 for an unknown device
  int OpenConnections(int device) const;
  // The masks of the last start-stream packet {main, audio, sub}.
  std::vector<uint32_t> StreamMasks(int device) const;

  // Alarm packets on every stream connection of the device: code 14 (raised)
  // or 15 (cleared) with the alarm kind, channel and flag given.
  void RaiseAlarm(int device, int32_t channel, int32_t type = 1, int32_t flag = 1);
  void ClearAlarm(int device, int32_t channel, int32_t type = 1, int32_t flag = 0);
  // Raises an alarm on `channel` every `everyMs` and clears it `holdMs`
  // later; everyMs 0 stops the schedule.
  void SetAlarmSchedule(int device, int everyMs, int holdMs, int32_t channel = 0, int32_t type = 1);

  std::vector<TalkPacket> TalkPackets(int device) const;  // oldest first, the last 1024
  void ClearTalkPackets(int device);
  StreamStats Stats(int device) const;

 private:
  SimDevice* Dev(int device) const;

  SimOptions options_;
  std::string error_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  std::unique_ptr<SimSearch> search_;
  std::vector<std::unique_ptr<SimHttp>> http_;
};

}  // namespace vzsim
