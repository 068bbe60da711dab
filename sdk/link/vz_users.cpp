#include "vz_users.h"

#include <cstring>

#include "vz_fields.h"
#include "vz_values.h"

namespace vz {

namespace {

TUserEdit CheckAccount(std::string_view name, std::string_view password, int group) {
  TUserEntry probe{};
  if (name.empty() || !SetStrField(probe.Name, name)) return TUserEdit::BadName;
  if (password.empty() || !SetStrField(probe.Password, password)) return TUserEdit::BadPassword;
  if (!IsUserLevel(group)) return TUserEdit::BadGroup;
  return TUserEdit::Done;
}

void WriteAccount(TUserEntry& e, std::string_view name, std::string_view password, int group) {
  SetStrField(e.Name, name);
  SetStrField(e.Password, password);
  e.Group = group;
  e.Group2 = group;
}

}  // namespace

int UserCount(const TUserCfg& cfg) {
  if (cfg.Count < 0) return 0;
  return cfg.Count > kMaxUsers ? kMaxUsers : cfg.Count;
}

int UserFind(const TUserCfg& cfg, std::string_view name) {
  const int count = UserCount(cfg);
  for (int i = 0; i < count; ++i)
    if (GetStrField(cfg.Users[i].Name) == name) return i;
  return -1;
}

TUserEdit UserAdd(TUserCfg& cfg, std::string_view name, std::string_view password, int group) {
  const TUserEdit check = CheckAccount(name, password, group);
  if (check != TUserEdit::Done) return check;
  const int count = UserCount(cfg);
  if (UserFind(cfg, name) >= 0) return TUserEdit::Exists;
  if (count >= kMaxUsers) return TUserEdit::Full;
  TUserEntry& e = cfg.Users[count];
  std::memset(&e, 0, sizeof e);
  WriteAccount(e, name, password, group);
  cfg.Count = count + 1;
  return TUserEdit::Done;
}

TUserEdit UserUpdate(TUserCfg& cfg, int index, std::string_view name, std::string_view password,
                     int group) {
  if (index < 0 || index >= UserCount(cfg)) return TUserEdit::BadIndex;
  const TUserEdit check = CheckAccount(name, password, group);
  if (check != TUserEdit::Done) return check;
  const int other = UserFind(cfg, name);
  if (other >= 0 && other != index) return TUserEdit::Exists;
  WriteAccount(cfg.Users[index], name, password, group);
  return TUserEdit::Done;
}

TUserEdit UserDelete(TUserCfg& cfg, int index) {
  const int count = UserCount(cfg);
  if (index < 0 || index >= count) return TUserEdit::BadIndex;
  std::memmove(&cfg.Users[index], &cfg.Users[index + 1],
               sizeof(TUserEntry) * static_cast<std::size_t>(kMaxUsers - 1 - index));
  std::memset(&cfg.Users[kMaxUsers - 1], 0, sizeof(TUserEntry));
  cfg.Count = count - 1;
  return TUserEdit::Done;
}

}  // namespace vz
