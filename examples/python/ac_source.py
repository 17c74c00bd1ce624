#!/usr/bin/env python3
"""Sets up an AC power source through the Python package and measures what it
delivers: the usual start of a test program.

    ac_source.py [resource]    without a resource: a simulated ZTA200

With the driver installed, Debian's python3 finds the package; otherwise put
the package's folder on PYTHONPATH.
"""

import sys

import hvzelta


def main(arguments):
    if arguments:
        resource, options = arguments[0], "QueryInstrStatus=true"
    else:
        resource, options = "TCPIP::127.0.0.1::5025::SOCKET", "Simulate=true, DriverSetup=Model=ZTA200"
    try:
        with hvzelta.Driver(resource, id_query=True, reset=True, options=options) as drv:
            print(f"instrument model      {drv.instrument_model}")
            output = drv.output
            output.voltage_range = 155
            output.voltage_level = 115
            output.frequency = 60
            print(f"voltage level         {output.voltage_level:.1f} V")
            # Measurements need an instrument; a simulated session has none.
            if arguments:
                output.enabled = True
                print(f"measured              {output.measure(hvzelta.MeasurementType.VOLTAGE_AC):.2f} V")
                print(f"instrument errors     {drv.error_query()[1]}")
    except hvzelta.DriverError as error:
        print(f"{error.function} failed: {error.description}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
