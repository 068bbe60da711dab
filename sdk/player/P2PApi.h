#pragma once
// The entry points of the two tunnel libraries as this system calls them:
// "libIOTCAPIs.so" (tunnel connections) and "libAVApis.so" (the video
// channel and its control messages over a tunnel connection). Both lie
// outside the system and are bound by name at run time (class_P2PLib.h);
// only the calls below, their arguments and the results relied on are ours
// to fix.
#include <cstdint>

namespace vz::p2p {

extern "C" {
// tunnel library
using TIOTC_Get_Version = void (*)(unsigned int* version);
using TIOTC_Get_Login_Info = int (*)(unsigned int* info);
using TIOTC_Initialize = int (*)(unsigned short udp_port, const char* master1, const char* master2,
                                 const char* master3, const char* master4);
using TIOTC_DeInitialize = int (*)();
using TIOTC_Device_Login = int (*)(const char* uid, const char* name, const char* password);
// >= 0: the tunnel connection id; negative: failure.
using TIOTC_Connect_ByUID = int (*)(const char* uid);
using TIOTC_Connect_Stop = void (*)();
using TIOTC_Session_Close = void (*)(int sid);

// channel library
using TavGetAVApiVer = int (*)();
using TavInitialize = int (*)(int max_channels);
using TavSendIOCtrl = int (*)(int av_index, unsigned int type, const char* data, int size);
// >= 0: a message arrived, its type in *type.
using TavRecvIOCtrl = int (*)(int av_index, unsigned int* type, char* buf, int max_size,
                              unsigned int timeout_ms);
using TavSendIOCtrlExit = int (*)(int av_index);
// >= 0: the channel; negative: refused.
using TavClientStart = int (*)(int sid, const char* user, const char* password, unsigned int timeout_s,
                               unsigned int* service_type, unsigned char channel);
using TavClientStop = void (*)(int av_index);
using TavRecvFrameData2 = int (*)(int av_index, char* buf, int buf_size, int* actual_size,
                                  int* expected_size, char* frame_info, int info_size, int* info_used,
                                  unsigned int* frame_index);
// > 0: the frame's size in bytes; <= 0: a status code.
using TavRecvFrameData = int (*)(int av_index, char* buf, int buf_size, char* frame_info, int info_size,
                                 unsigned int* frame_index);
using TavRecvAudioData = int (*)(int av_index, char* buf, int buf_size, char* frame_info, int info_size,
                                 unsigned int* frame_index);
}

// Control message types on the channel.
constexpr unsigned int kIOCtrlStart = 0x1FF;     // 8 zero bytes: start sending video
constexpr unsigned int kIOCtrlStop = 0x2FF;      // 8 zero bytes: stop sending
constexpr unsigned int kIOCtrlNameAsk = 0x330;   // 4 zero bytes
constexpr unsigned int kIOCtrlNameAnswer = 0x331;  // 56 bytes, the name at 16 ... 31
constexpr unsigned int kIOCtrlPtz = 0x1001;      // 8 bytes: the control code, then zeros

constexpr int kNameAnswerBytes = 56;
constexpr int kNameAt = 16;
constexpr int kNameBytes = 16;
constexpr int kFrameInfoBytes = 16;
constexpr int kKeyFlagAt = 2;  // in the frame information; 1 = key frame
constexpr int kFrameBufferBytes = 99976;

// Status codes of avRecvFrameData that the reading thread tells apart.
constexpr int kReadRetryNow[] = {-18, -19, -2};
constexpr int kReadEnd[] = {-11, -13, -22, -23};

}  // namespace vz::p2p
