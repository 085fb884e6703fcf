"""The VISA library's socket resource against the instrument's raw port: the identity, a CC
level set and read back, and the error queue. Prints the three answers, one a line.
Exit status 3 (with the reason) when the VISA packages are missing.
    visa_raw_socket.py HOST PORT
"""
import sys

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the pure-Python backend must be there)
except ImportError as error:
    print("VISA packages missing: %s" % error)
    sys.exit(3)

host, port = sys.argv[1], sys.argv[2]
manager = pyvisa.ResourceManager("@py")
instrument = manager.open_resource("TCPIP::%s::%s::SOCKET" % (host, port))
instrument.read_termination = "\n"
instrument.write_termination = "\n"
instrument.timeout = 5000
print(instrument.query("*IDN?"))
instrument.write("*CLS")
instrument.write("SOUR:CURR 2.5")
print(instrument.query("SOUR:CURR?"))
print(instrument.query("SYST:ERR?"))
instrument.close()
manager.close()
