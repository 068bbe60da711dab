#include "DspItem.h"

TDspItem::TDspItem(int index) : Title(QString::number(index)), FIndex(index) {}

void TDspItem::SetData(void* data) {
  if (data == FData) return;
  FData = data;
  if (data == nullptr) FStates.fill(false);
}

bool TDspItem::GetState(int slot) const {
  if (slot < 1 || slot > kStateCount) return false;
  return FStates[static_cast<size_t>(slot - 1)];
}

void TDspItem::SetState(int slot, bool value) {
  if (slot < 1 || slot > kStateCount) return;
  FStates[static_cast<size_t>(slot - 1)] = value;
}
