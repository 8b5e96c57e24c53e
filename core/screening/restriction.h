#pragma once
// The kinds of restriction a verdict carries. The service names them by number (a policy's
// "type"); the numbers stay where a verdict is read or written, the kinds everywhere else.
namespace pv {

enum class RestrictionKind { BlindArea, Surcharge, FalseAddress, Other, Unknown };

// The kind of the service's number; Unknown for a number it has not defined to us.
constexpr RestrictionKind restrictionKindOf(int type) noexcept {
  switch (type) {
    case 1: return RestrictionKind::BlindArea;
    case 2: return RestrictionKind::Surcharge;
    case 3: return RestrictionKind::FalseAddress;
    case 99: return RestrictionKind::Other;
    default: return RestrictionKind::Unknown;
  }
}

// The service's number of a kind (Unknown has none and writes as Other's).
constexpr int restrictionTypeNumber(RestrictionKind kind) noexcept {
  switch (kind) {
    case RestrictionKind::BlindArea: return 1;
    case RestrictionKind::Surcharge: return 2;
    case RestrictionKind::FalseAddress: return 3;
    case RestrictionKind::Other:
    case RestrictionKind::Unknown: break;
  }
  return 99;
}

}  // namespace pv
