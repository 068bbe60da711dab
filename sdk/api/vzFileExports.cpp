// Exports of the record-file family: thin guards around TFilePlay.
#include <QCoreApplication>
#include <QImage>
#include <QThread>
#include <memory>
#include <string>

#include "AppPaths.h"
#include "FileUtils.h"
#include "LogWriter.h"
#include "RecFileCut.h"
#include "SnapshotFile.h"
#include "class_FilePlay.h"
#include "vzSDK.h"

// The handle the caller holds. The playback thread keeps its own reference
// to the player, so a thread that outlives Close never sees it freed.
struct vzFilePlayer {
  std::shared_ptr<vz::TFilePlay> play;
};

namespace {

vz::TFilePlay* Play(vzFileHandle h) { return h != nullptr ? h->play.get() : nullptr; }

void PumpIfGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr && QThread::currentThread() == app->thread()) QCoreApplication::processEvents();
}

std::string SnapshotTarget(const char* fileName, const std::string& folder, int32_t chl, const char* ext) {
  if (fileName != nullptr) return fileName;
  return vz::SnapshotFileName(folder, chl, ext);
}

}  // namespace

extern "C" {

VZSDK_API vzBool vzFile_Open(const char* FileName, vzFileHandle* Handle) {
  if (Handle == nullptr) return 0;
  *Handle = nullptr;
  if (FileName == nullptr) return 0;
  try {
    auto play = vz::TFilePlay::Open(FileName);
    if (!play) return 0;
    *Handle = new vzFilePlayer{std::move(play)};
    return 1;
  } catch (...) {
    vz::WriteLogF("vzFile_Open except:%s", FileName);
    return 0;
  }
}

VZSDK_API vzBool vzFile_SetCallBack(vzFileHandle Handle, vzFileDataCallback VideoCallback,
                                    vzFileDataCallback AudioCallback, vzFileDrawCallback DrawCallback,
                                    void* UserData, uintptr_t MsgWindow) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  p->SetCallbacks({VideoCallback, AudioCallback, DrawCallback, UserData, MsgWindow});
  return 1;
}

VZSDK_API vzBool vzFile_PlayCtrl(vzFileHandle Handle, int32_t PlayState, int32_t Speed, uint32_t DragPos) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  p->PlayCtrl(PlayState, Speed, DragPos);
  return 1;
}

VZSDK_API int32_t vzFile_GetPlayState(vzFileHandle Handle) {
  vz::TFilePlay* p = Play(Handle);
  return p != nullptr ? p->PlayState() : 0;
}

VZSDK_API vzBool vzFile_AddDspInfo(vzFileHandle Handle, const void* DspInfo) {
  vz::TFilePlay* p = Play(Handle);
  try {
    return p != nullptr && p->AddDspInfo(DspInfo) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzFile_DelDspInfo(vzFileHandle Handle, const void* DspInfo) {
  vz::TFilePlay* p = Play(Handle);
  try {
    return p != nullptr && p->DelDspInfo(DspInfo) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzFile_ImgEqualScaling(vzFileHandle Handle, vzBool Flag) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  p->SetEqualScaling(Flag != 0);
  return 1;
}

VZSDK_API vzBool vzFile_AudioMute(vzFileHandle Handle, vzBool Flag) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  p->SetAudioMute(Flag != 0);
  return 1;
}

VZSDK_API vzBool vzFile_Close(vzFileHandle Handle) {
  if (Handle == nullptr) return 0;
  try {
    Handle->play->Close();
  } catch (...) {
    vz::WriteLog("vzFile_Close except");
  }
  delete Handle;
  return 1;
}

VZSDK_API vzBool vzFile_SaveToJpg(vzFileHandle Handle, int32_t Chl, const char* FileName) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  try {
    QImage picture;
    if (!p->Snapshot(picture)) return 0;
    return vz::SaveJpegFile(picture, SnapshotTarget(FileName, vz::FolderOf(p->FileName()), Chl, "jpg")) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzFile_SaveToBmp(vzFileHandle Handle, int32_t Chl, const char* FileName) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr) return 0;
  try {
    QImage picture;
    if (!p->Snapshot(picture)) return 0;
    return vz::SaveBmp32File(picture, SnapshotTarget(FileName, vz::AppFolder() + "Snapshot/", Chl, "bmp")) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

VZSDK_API vzBool vzFile_SaveAs(vzFileHandle Handle, uint32_t From, uint32_t To, const char* DestName) {
  vz::TFilePlay* p = Play(Handle);
  if (p == nullptr || DestName == nullptr || From >= To) return 0;
  try {
    return vz::CutRecFile(p->FileName(), p->Header(), From, To, DestName, PumpIfGuiThread) ? 1 : 0;
  } catch (...) {
    vz::WriteLogF("vzFile_SaveAs except:%s", DestName);
    return 0;
  }
}

}  // extern "C"
