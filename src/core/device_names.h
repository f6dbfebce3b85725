#pragma once

// How the texts of every dialog name the devices, kept in one place.
namespace device_names {
// The module, in the update's messages and in captions.
constexpr const char kModule[] = "Korvane Quorvanta Module";
constexpr const char kBaseStation[] = "Korvane Tessalink";
}  // namespace device_names
