#include "core/import/erp_profiles.h"

namespace pv {

int runErpImportProfile(ImportContext& context, RunContext& run, const ErpImportProfile& client,
                        ScreeningTotals& totals) {
  const auto box = [&](std::string_view text) {
    (void)context.dialogs.show({std::string(text), std::string(kRunMessageTitle), DialogButtons::Ok,
                                DialogIcon::None, Window::Main});
  };
  box(client.instruction);
  ImportProfile profile;
  profile.regionPattern = client.region;
  profile.cityPattern = client.city;
  profile.districtPattern = client.district;
  profile.streetPattern = client.street;
  profile.addressPattern = client.address;
  profile.orderNoPattern = client.orderNo;
  ImportOptional optional;
  for (int slot = 1; slot <= kImportSlots; ++slot) optional.flags[slot - 1] = (client.optionalSlots >> (slot - 1) & 1u) ? 1 : 0;
  if (!screenImportedOrders(context, run, totals, profile, optional)) return 0;
  box(client.completion);
  return 1;
}

}  // namespace pv
