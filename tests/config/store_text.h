#pragma once

// Store files for tests, written the way docs/configuration-store.md lays
// them out: the driver's software module and driver sessions with their
// hardware assets and logical names.

#include <string>
#include <string_view>

namespace hvzelta::testing {

// The data components of a "Configurable Initial Settings" structure.
inline std::string InitialSettingsXml(std::string_view components) {
  return "<DataComponents><IviStructure><Name>Configurable Initial Settings</Name><Type>Structure</Type>"
         "<DataComponents>" +
         std::string(components) + "</DataComponents></IviStructure></DataComponents>";
}

inline std::string ModuleXml(std::string_view initialSettings = {}) {
  return "<IviSoftwareModule id='module1'><Name>HalvornZelta</Name>" + InitialSettingsXml(initialSettings) +
         "<PhysicalNames>"
         "<IviPhysicalName><Name>Output1</Name><RCName>HalvornZeltaOutput</RCName></IviPhysicalName>"
         "<IviPhysicalName><Name>OutputPhase1</Name><RCName>HalvornZeltaOutputPhase</RCName></IviPhysicalName>"
         "</PhysicalNames></IviSoftwareModule>";
}

struct SessionXml {
  std::string name = "bench";
  std::string resource;  // empty: no hardware asset
  bool rangeCheck = true;
  std::string initialSettings;       // data components of the structure
  bool hasInitialSettings = true;    // false: no "Configurable Initial Settings" at all
  std::string virtualNames;          // IviVirtualName elements

  std::string Asset() const {
    if (resource.empty()) return {};
    return "<IviHardwareAsset id='asset-" + name + "'><Name>" + name + "</Name><IOResourceDescriptor>" + resource +
           "</IOResourceDescriptor></IviHardwareAsset>";
  }

  std::string Session() const {
    std::string xml = "<IviDriverSession id='session-" + name + "'><Name>" + name + "</Name>";
    if (hasInitialSettings) xml += InitialSettingsXml(initialSettings);
    xml += "<SoftwareModule idref='module1'/>";
    if (!resource.empty()) xml += "<HardwareAsset idref='asset-" + name + "'/>";
    xml += "<VirtualNames>" + virtualNames + "</VirtualNames>";
    xml += "<Cache>true</Cache><InterchangeCheck>false</InterchangeCheck><QueryInstrStatus>false</QueryInstrStatus>";
    xml += std::string("<RangeCheck>") + (rangeCheck ? "true" : "false") + "</RangeCheck>";
    xml += "<RecordCoercions>false</RecordCoercions><Simulate>true</Simulate>";
    xml += "<DriverSetup></DriverSetup></IviDriverSession>";
    return xml;
  }
};

// A whole store; `module` empty leaves the software module out.
inline std::string StoreXml(const std::string& module, const SessionXml& session, std::string_view logicalNames = {}) {
  return "<?xml version='1.0'?>\n<IviConfigStore><SoftwareModules>" + module + "</SoftwareModules><HardwareAssets>" +
         session.Asset() + "</HardwareAssets><DriverSessions>" + session.Session() + "</DriverSessions><LogicalNames>" +
         std::string(logicalNames) + "</LogicalNames></IviConfigStore>\n";
}

}  // namespace hvzelta::testing
