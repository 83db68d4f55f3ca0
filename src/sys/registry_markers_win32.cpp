#include "sys/registry.h"
#include "sys/registry_markers.h"
#include "sys/resource_strings.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr char kBuildForValue[] = "ZELBUILDFOR";
constexpr char kCampaignValue[] = "ZEL3CAM";
constexpr char kDefaultBuildFor[] = "Quorvane";

}  // namespace

RegistryMarkerTexts RegistryMarkerTexts::FromStringTable() {
    return {LoadResourceString(IDS_BUILD_FOR), LoadResourceString(IDS_CAMPAIGN)};
}

bool WriteRegistryMarkers() {
    return WriteRegistryMarkers(RegistryMarkerTexts::FromStringTable());
}

bool WriteRegistryMarkers(const RegistryMarkerTexts& texts) {
    std::string buildFor = TrimWhiteSpace(texts.buildFor);
    if (buildFor.empty()) buildFor = kDefaultBuildFor;
    CRegistry key(KEY_READ | KEY_WRITE);
    if (!key.OpenOrCreate()) return false;
    key.WriteString(kBuildForValue, buildFor);
    if (!texts.campaign.empty()) key.WriteString(kCampaignValue, texts.campaign);
    key.Close();
    return true;
}

}  // namespace zel
