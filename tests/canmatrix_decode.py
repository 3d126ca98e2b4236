#!/usr/bin/python3
"""Decodes frames with canmatrix, the reference the decoder is compared with.

Reads the database named first and frames from the file named second, one
"ID EXTENDED HEXDATA" line each; prints "NAME=VALUE" for every signal
canmatrix finds, and a line "-" after each frame.
"""
import sys

import canmatrix
import canmatrix.formats

db = canmatrix.formats.loadp_flat(sys.argv[1])
with open(sys.argv[2]) as frames:
    for line in frames:
        ident, extended, data = line.split()
        frame = db.frame_by_id(canmatrix.ArbitrationId(int(ident, 16), extended=extended == "1"))
        if frame is not None:
            for name, signal in frame.decode(bytes.fromhex(data)).items():
                print(f"{name}={float(signal.phys_value)!r}")
        print("-")
