// hvzelta-tango: a Tango device server of HvzeltaAcSource devices.
//   hvzelta-tango INSTANCE                  devices and properties from the Tango database
//   hvzelta-tango INSTANCE -file=FILE -ORBendPoint giop:tcp:HOST:PORT
//                                           from a property file, without a database

#include <tango.h>

#include <exception>
#include <iostream>

#include "ac_source_class.h"

// Tango asks the server for its classes through this hook. The library has a
// default of its own, so the program's must be visible to the dynamic linker.
__attribute__((visibility("default"))) void Tango::DServer::class_factory() {
  add_class(hvzelta_tango::AcSourceClass::Init("HvzeltaAcSource"));
}

int main(int argc, char* argv[]) {
  try {
    Tango::Util* util = Tango::Util::init(argc, argv);
    util->server_init();
    std::cout << "Ready to accept request" << std::endl;
    util->server_run();
    util->server_cleanup();
  } catch (const std::bad_alloc&) {
    std::cerr << "hvzelta-tango: out of memory" << std::endl;
    return 1;
  } catch (const CORBA::Exception& failure) {
    Tango::Except::print_exception(failure);
    std::cerr << "hvzelta-tango: the server did not start (see the error above)" << std::endl;
    return 1;
  }
  return 0;
}
