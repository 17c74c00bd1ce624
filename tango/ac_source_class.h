// The Tango class of HvzeltaAcSource devices: its properties, attributes and
// commands, and the factory that makes its devices.

#ifndef HVZELTA_TANGO_AC_SOURCE_CLASS_H
#define HVZELTA_TANGO_AC_SOURCE_CLASS_H

#include <tango.h>

#include <cstddef>
#include <string>

namespace hvzelta_tango {

class AcSource;

class AcSourceClass : public Tango::DeviceClass {
 public:
  static AcSourceClass* Init(const char* name);

  // Rows of the attribute table: each device keeps one value buffer per row.
  static std::size_t AttributeCount();
  // Gives the settings whose range the instrument reports that range as
  // their minimum and maximum, so that clients see it and Tango refuses a
  // value outside it before it reaches the instrument.
  static void ApplyInstrumentLimits(AcSource& source);

 protected:
  explicit AcSourceClass(std::string& className);
  void command_factory() override;
  void attribute_factory(std::vector<Tango::Attr*>& attributes) override;
  void device_factory(const Tango::DevVarStringArray* names) override;

 private:
  static AcSourceClass* instance_;
};

}  // namespace hvzelta_tango

#endif
