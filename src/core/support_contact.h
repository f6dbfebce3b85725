#pragma once

// The maker's support contacts. The About box and the update failure report show the same
// values, so they live here only.
namespace support {
// Also the registry key (Windows) and the profile folder (Linux) of the program's setting.
constexpr const char kCompany[] = "Halvenmoor Systems";
constexpr const char kTelephone[] = "(614) 555-0142";
constexpr const char kFax[] = "(614) 555-0143";
constexpr const char kEmail[] = "support@halvenmoor.example";
constexpr const char kWebHost[] = "www.halvenmoor.example";
// The web line without its top-level domain: what marks a link as the maker's web site.
constexpr const char kWebHostWithoutDomain[] = "www.halvenmoor";
constexpr const char kOfficeHours[] = "8:00 AM to 5:00 PM Eastern Time (UTC-5)";
constexpr const char kStreet[] = "4410 Quarry Ridge Road";
constexpr const char kPostOfficeBox[] = "P.O. Box 2208";
constexpr const char kCityStateZip[] = "Columbus, OH 43215";
// Windows-1252 copyright sign.
constexpr const char kCopyright[] = "Copyright \xA9 2003-2008 Halvenmoor Systems, Inc.";
}  // namespace support
