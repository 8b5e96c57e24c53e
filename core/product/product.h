#pragma once
// The product's own names and addresses: one place, so titles, links and tests agree.
#include <string_view>

#include "core/product/version.h"  // generated

namespace pv {

inline constexpr std::string_view kProductName = "Parcelvane";
inline constexpr std::string_view kProductVersion = kVersionLabel;
inline constexpr std::string_view kWebDomain = "parcelvane.com";
inline constexpr std::string_view kWebSite = "https://www.parcelvane.com";
inline constexpr std::string_view kWebConsole = "https://console.parcelvane.com";
// Built in at compile time (CMake cache variable PARCELVANE_API_BASE_URL).
inline constexpr std::string_view kApiBaseUrl = PARCELVANE_API_BASE_URL;

// Carried in the titles of both of the product's top-level windows: "Parcelvane（domain）".
inline constexpr std::string_view kWindowTitleMark = "Parcelvane（parcelvane.com）";

}  // namespace pv
