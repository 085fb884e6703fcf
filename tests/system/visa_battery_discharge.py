"""A battery-discharge session through the VISA library's socket resource: constant current
2 A with a voltage cut-off below the cell's voltage under load, the load on, an acquisition of
1000 records 10 ms apart, and DATA:R? drained in blocks while it runs and until the logger is
empty. Checks that the cut-off is set, that the load stayed on above it, and that every record
arrives once and in order (elapsed time strictly rising, 10 ms apart); prints one line.
Exit status 3 (with the reason) when the VISA packages are missing.
    visa_battery_discharge.py HOST PORT
"""
import sys
import time

try:
    import pyvisa
    import pyvisa_py  # noqa: F401  (the pure-Python backend must be there)
except ImportError as error:
    print("VISA packages missing: %s" % error)
    sys.exit(3)

POINTS = 1000
INTERVAL = 0.01
CUTOFF = 10.0  # V; the simulated cell gives 11.8 V at 2 A


def fail(text):
    print(text)
    sys.exit(1)


host, port = sys.argv[1], sys.argv[2]
manager = pyvisa.ResourceManager("@py")
load = manager.open_resource("TCPIP::%s::%s::SOCKET" % (host, port))
load.read_termination = "\n"
load.write_termination = "\n"
load.timeout = 20000
load.write("*CLS;:ABOR;:FUNC CC;:CURR:RANG HIGH;:CURR 2")
load.write("OUTP:CUTO:VOLT %g;VOLT:STAT ON" % CUTOFF)
cutoff = load.query("OUTP:CUTO:VOLT?;VOLT:STAT?")
if cutoff != "%+.5E;1" % CUTOFF:
    fail("voltage cut-off: %s" % cutoff)
load.write("DATA:BSIZ 65536;FORM ETIM,VOLT,CURR")
load.write("TRIG:ACQ:SOUR IMM;COUN %d;INT:STAT ON;TIME %g;:SENS:APER %g"
           % (POINTS, INTERVAL, INTERVAL / 2))
load.write("OUTP ON")
load.write("INIT:ACQ")

records = []
deadline = time.monotonic() + 60
while len(records) < POINTS and time.monotonic() < deadline:
    if int(load.query("DATA:POIN?")) == 0:
        time.sleep(0.05)
        continue
    values = [float(v) for v in load.query("DATA:R? 300").split(",")]
    if len(values) % 3:
        fail("a block of %d values" % len(values))
    records += [values[i:i + 3] for i in range(0, len(values), 3)]
stayed_on = load.query("*WAI;:OUTP?")
load.write("OUTP OFF;:OUTP:CUTO:VOLT:STAT OFF")
left = int(load.query("DATA:POIN?"))
errors = load.query("SYST:ERR?")
load.close()
manager.close()

if not errors.startswith("+0,"):
    fail("error queue: %s" % errors)
if len(records) != POINTS or left:
    fail("%d records, %d left" % (len(records), left))
if stayed_on != "1" or min(r[1] for r in records) <= CUTOFF:
    fail("the load went off at %g V (cut-off %g V)" % (min(r[1] for r in records), CUTOFF))
times = [r[0] for r in records]
steps = [b - a for a, b in zip(times, times[1:])]
if any(abs(s - INTERVAL) > INTERVAL / 10 for s in steps):
    fail("records out of order or missing: steps from %g to %g s" % (min(steps), max(steps)))
print("%d records, in order" % len(records))
