"""The VISA library's VXI-11 resource (found through the portmapper) against the instrument:
the identity, the status byte, a device clear, a trigger, and the exclusive lock. Prints the
identity and the status byte and the identity again under the lock, one a line. Exit status 3 (with the reason) when the VISA
packages are missing.
    visa_vxi11.py HOST
"""
import sys

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the pure-Python backend must be there)
except ImportError as error:
    print("VISA packages missing: %s" % error)
    sys.exit(3)

manager = pyvisa.ResourceManager("@py")
instrument = manager.open_resource("TCPIP::%s::inst0::INSTR" % sys.argv[1])
instrument.read_termination = "\n"
instrument.write_termination = "\n"
instrument.timeout = 5000
print(instrument.query("*IDN?"))
instrument.write("*CLS")
# The status byte is read out of band: wait until the parser has run the *CLS.
instrument.query("*OPC?")
print(instrument.read_stb())
instrument.clear()
instrument.assert_trigger()
instrument.lock_excl(1000)
print(instrument.query("*IDN?"))
instrument.unlock()
instrument.close()
manager.close()
