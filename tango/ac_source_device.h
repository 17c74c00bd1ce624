// The Tango device class HvzeltaAcSource: one driver session per device,
// opened by init_device (and so by the Init command) and closed by
// delete_device. Attributes and commands come from the tables of
// ac_source_class.cpp; both call the driver through its C interface only.
//
// Tango serialises the calls to one device (its default "by device" model),
// so one session never sees two calls at once while separate devices of the
// same server run side by side.

#ifndef HVZELTA_TANGO_AC_SOURCE_DEVICE_H
#define HVZELTA_TANGO_AC_SOURCE_DEVICE_H

#include <tango.h>

#include <string>
#include <vector>

#include "hvzelta.h"

namespace hvzelta_tango {

// The value an attribute read hands to Tango, which keeps a pointer to it
// until the reply is sent.
struct AttributeBuffer {
  Tango::DevDouble real = 0.0;
  Tango::DevShort enumIndex = 0;
  Tango::DevBoolean boolean = false;
  std::string text;
  Tango::DevString textPointer = nullptr;
  // The instrument's range last given to Tango, if any: Tango stores the
  // minimum and maximum in the database, so they are given only when they change.
  bool limited = false;
  ViReal64 minimum = 0.0;
  ViReal64 maximum = 0.0;
};

class AcSource : public Tango::Device_5Impl {
 public:
  AcSource(Tango::DeviceClass* deviceClass, std::string& deviceName);
  ~AcSource() override;

  void init_device() override;
  void delete_device() override;
  Tango::DevState dev_state() override;
  Tango::ConstDevString dev_status() override;

  // The open session; a DevFailed telling to run Init when there is none.
  ViSession Session();
  // Throws a DevFailed with the driver's status code and description when
  // status is an error; a lost connection also leaves the device in FAULT.
  void Check(ViStatus status, const char* operation);

  const std::string& OutputName() const { return output_; }

  // The instrument reports a protection condition once (reading it clears
  // it), so the device keeps ALARM until the protection is cleared, the
  // instrument reset or the device initialised again.
  void ForgetAlarm() { alarm_.clear(); }
  AttributeBuffer& Buffer(std::size_t row) { return buffers_.at(row); }

 private:
  void Open();
  std::string DriverError(ViStatus status);
  // The protection conditions the instrument reports, as text for Status;
  // empty when there are none.
  std::string ReadAlarm();

  ViSession vi_ = VI_NULL;
  std::string output_;
  bool simulating_ = false;
  std::string fault_;   // why there is no usable session, for Status
  std::string alarm_;   // the protection condition last reported, for Status
  std::string status_;  // what dev_status hands to Tango
  std::vector<AttributeBuffer> buffers_;
};

}  // namespace hvzelta_tango

#endif
