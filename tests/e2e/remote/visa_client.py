# Drives the KVT program's remote control as a technician's script would, printing
# every answer on a line of its own: visa_client.py PORT
import socket
import sys

import pyvisa

kvt = pyvisa.ResourceManager("@py").open_resource(f"TCPIP::127.0.0.1::{sys.argv[1]}::SOCKET")
kvt.read_termination = kvt.write_termination = "\n"
kvt.timeout = 10000
print(kvt.query("*IDN?"))
kvt.write("FREQ 7.05 MHZ")
kvt.write("AM:INT:FREQ 1234;:AM:MODE BEEP")
print(kvt.query("FREQ?;AM:INT:FREQ?;:AM:MODE?"))
kvt.write("*SAV 3")
kvt.write("sour:freq 5000000")
kvt.write("*RCL 3")
print(kvt.query("FREQ?"))
print(kvt.query("MEM:PRES? 3"))
kvt.write("FREQ 99 MHZ;BOGUS")
kvt.write("MORS \"CQ\";MORS \"DE\"")
print(kvt.query("SYST:ERR?;ERR?;ERR?;ERR?;*OPC?"))
# The sweep's values are kept; OUTP OFF during the sweep ends it, then the output.
print(kvt.query("FREQ:STOP 7.2MHZ;:SWE:STEP 1kHz;TIME 10;:FREQ:STOP?;:SWE:TIME?"))
kvt.write("SWE ON")
kvt.write("OUTP OFF")
print(kvt.query("OUTP?;:SWE?"))
# The status of a bench instrument: errors waiting, the version, a limit, every error.
kvt.write("FREQ DEF")
print(kvt.query("*STB?;:SYST:VERS?;:FREQ? MAX;:SYST:ERR:ALL?"))
# A script that sends and closes at once: its last line, without LF, still runs.
with socket.create_connection(("127.0.0.1", int(sys.argv[1]))) as quick:
    quick.sendall(b"FREQ 7.1 MHZ")
