// The Tango class of HvzeltaAcSource devices: its properties, attributes and
// commands, and the factory that makes its devices.

#ifndef HVZELTA_TANGO_AC_SOURCE_CLASS_H
#define HVZELTA_TANGO_AC_SOURCE_CLASS_H

#include <tango.h>

#include <cstddef>
#include <string>

namespace hvzelta_tango {

class AcSourceClass : public Tango::DeviceClass {
 public:
  static AcSourceClass* Init(const char* name);

  // Rows of the attribute table: each device keeps one value buffer per row.
  static std::size_t AttributeCount();

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
