#pragma once
// Editing the account list of a TUserCfg in place. The record comes from the
// device, so its count is not trusted; entries past the count stay zero and
// every other byte of the record is left as received.
#include <string_view>

#include "vz_records.h"

namespace vz {

enum class TUserEdit {
  Done,
  Full,  // already kMaxUsers accounts
  Exists,  // another account has that name (compared exactly)
  BadName,  // empty or longer than the field allows
  BadPassword,  // empty or longer than the field allows
  BadGroup,  // not 1 ... 3
  BadIndex  // no account at that index
};

// The count clamped to 0 ... kMaxUsers.
int UserCount(const TUserCfg& cfg);
// Index of the account with exactly that name, -1 when none.
int UserFind(const TUserCfg& cfg, std::string_view name);
// Appends an account; the group goes into both group fields.
TUserEdit UserAdd(TUserCfg& cfg, std::string_view name, std::string_view password, int group);
// Rewrites an account; its own unchanged name does not count as a duplicate.
TUserEdit UserUpdate(TUserCfg& cfg, int index, std::string_view name, std::string_view password,
                     int group);
// Removes an account: the following entries move up by one, the last entry
// is cleared and the count decreases.
TUserEdit UserDelete(TUserCfg& cfg, int index);

}  // namespace vz
