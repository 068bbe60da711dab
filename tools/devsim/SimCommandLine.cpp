#include "SimCommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vzsim {
namespace {

// A whole decimal number within [lo, hi]; nothing else is accepted.
bool ParseNumber(const std::string& text, long lo, long hi, long* out) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  errno = 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

std::string SimCommandLine::Usage() {
  return "usage: vzDevSim --port P [--devices N] [--state DIR] [--model ipc|dvr]\n"
         "                [--device SPEC]... [--alarm-every S]\n"
         "                [--fault NAME [--fault-arg N] [--fault-cmd CODE]]\n"
         "                [--reboot-refusal MS] [--http] [--verbose] [--help]\n"
         "\n"
         "Serves N simulated devices on 127.0.0.1 ports P ... P+N-1 and prints\n"
         "\"device K listening on 127.0.0.1:PORT\" for each once it accepts connections.\n"
         "Stops on SIGTERM or SIGINT.\n"
         "\n"
         "  --port P             first port, 1 ... 65535 (0: any free ports)\n"
         "  --devices N          number of devices, 1 ... 1000 (default 1)\n"
         "  --state DIR          folder of the device configuration files\n"
         "                       (default " + DefaultStateDir() + ")\n"
         "  --model ipc|dvr      ipc: one channel; dvr: four channels and a disk (default ipc)\n"
         "  --device SPEC        what the next device films, once per device in order:\n"
         "                       [ipc:|dvr:][busy:]CODEC[:SIZE[:FPS[:KBPS[:KEY]]]] with CODEC\n"
         "                       h264, mpeg4 or mjpeg, SIZE WxH or qcif, cif, d1, vga, 720p,\n"
         "                       1080p, KEY the key-frame interval in frames; busy films a\n"
         "                       textured, moving scene with sensor noise, which costs a\n"
         "                       decoder what a real camera's pictures do; every channel of the\n"
         "                       device takes it. Without --devices there are as many devices\n"
         "                       as --device options. Four cameras, for example:\n"
         "                         --device h264:d1 --device h264:720p --device mpeg4:cif\n"
         "                         --device mjpeg:vga:15:2048\n"
         "  --alarm-every S      raise an alarm on channel 0 every S seconds, clear it S/2 later\n"
         "  --fault NAME         misbehave on every device: none, refuse-login, wrong-code,\n"
         "                       result-zero, stall, close-mid-packet, foreign-heads;\n"
         "                       on stream connections: silent, garbage, over-long,\n"
         "                       cut-mid-frame, clock-back, jpeg-in-mpeg4, flood\n"
         "  --fault-arg N        stall: milliseconds; foreign-heads: number of heads;\n"
         "                       garbage: bytes before each frame (64); clock-back: seconds (3600)\n"
         "  --fault-cmd CODE     aim the fault at one command code only (1: the login)\n"
         "  --reboot-refusal MS  how long connections are refused after a reboot (default 2000)\n"
         "  --http               also serve each device's web interface on a loopback port\n"
         "                       of its own, printed as \"device K web on 127.0.0.1:PORT\"\n"
         "  --verbose            log every connection and command to stderr\n"
         "  --help               show this text\n"
         "\n"
         "Accounts: admin/admin (level 3), operator/operator (level 2), guest/guest (level 1).\n";
}

std::string SimCommandLine::DefaultStateDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/vzDevSim";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/vzDevSim";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/vzDevSim";
}

bool SimCommandLine::Parse(int argc, const char* const* argv) {
  options = SimOptions{};
  options.stateDir = DefaultStateDir();
  bool havePort = false;
  bool haveDevices = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
    }
    auto flag = [&](bool* target) {
      if (inlineValue) {
        error = arg + " takes no value";
        return false;
      }
      *target = true;
      return true;
    };
    auto take = [&](std::string* out) {
      if (inlineValue) {
        *out = value;
        return true;
      }
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    auto number = [&](long lo, long hi, long* out) {
      std::string text;
      if (!take(&text)) return false;
      if (!ParseNumber(text, lo, hi, out)) {
        error = arg + ": \"" + text + "\" is not a number in " + std::to_string(lo) + " ... " + std::to_string(hi);
        return false;
      }
      return true;
    };
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      if (!flag(&help)) return false;
    } else if (arg == "--verbose") {
      if (!flag(&options.verbose)) return false;
    } else if (arg == "--http") {
      if (!flag(&http)) return false;
    } else if (arg == "--port") {
      if (!number(0, 65535, &n)) return false;
      options.basePort = static_cast<uint16_t>(n);
      havePort = true;
    } else if (arg == "--devices") {
      if (!number(1, 1000, &n)) return false;
      options.devices = static_cast<int>(n);
      haveDevices = true;
    } else if (arg == "--device") {
      std::string text;
      if (!take(&text)) return false;
      SimCamera camera;
      std::string why;
      if (!ParseCamera(text, &camera, &why)) {
        error = "--device: " + why;
        return false;
      }
      options.cameras.push_back(camera);
    } else if (arg == "--alarm-every") {
      if (!number(1, 86400, &n)) return false;
      alarmEvery_s = static_cast<int>(n);
    } else if (arg == "--state") {
      if (!take(&options.stateDir)) return false;
      if (options.stateDir.empty()) {
        error = "--state needs a folder";
        return false;
      }
    } else if (arg == "--model") {
      if (!take(&options.model)) return false;
      if (options.model != "ipc" && options.model != "dvr") {
        error = "--model: \"" + options.model + "\" is neither ipc nor dvr";
        return false;
      }
    } else if (arg == "--fault") {
      std::string name;
      if (!take(&name)) return false;
      if (!ParseFaultName(name, &fault)) {
        error = "--fault: unknown fault \"" + name + "\"";
        return false;
      }
    } else if (arg == "--fault-arg") {
      if (!number(0, 600000, &n)) return false;
      faultArg = static_cast<int>(n);
    } else if (arg == "--fault-cmd") {
      if (!number(0, 0x7FFFFFFF, &n)) return false;
      faultCmd = static_cast<uint32_t>(n);
    } else if (arg == "--reboot-refusal") {
      if (!number(0, 600000, &n)) return false;
      options.rebootRefusalMs = static_cast<int>(n);
    } else {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (help) return true;
  if (!haveDevices && !options.cameras.empty()) options.devices = static_cast<int>(options.cameras.size());
  if (!havePort) {
    error = "--port is required";
    return false;
  }
  if (options.basePort != 0 && options.basePort + options.devices - 1 > 65535) {
    error = "--port " + std::to_string(options.basePort) + " with " + std::to_string(options.devices) +
            " devices runs past port 65535";
    return false;
  }
  return true;
}

}  // namespace vzsim
